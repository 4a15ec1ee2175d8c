// velmor-usb-peer: one emulated unit behind an FT232R, offered to a virtual machine over usbredir.
// It listens on a Unix socket for the machine's usb-redir chardev, serves one connection, and
// when the machine lets go prints the unit's final state, one "key value" a line.
//
// Usage: velmor-usb-peer --socket PATH --serial SERIAL [--firmware MAJOR.MINOR] [--trace]
#include "Ft232rChip.h"
#include "RedirPeer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Options
{
    std::string socketPath;
    std::string serial;
    uint16_t firmwareMajor = 2;
    uint16_t firmwareMinor = 1;
    bool trace = false;
};

bool parseFirmware(const std::string &text, Options &options)
{
    unsigned major = 0;
    unsigned minor = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%u.%u%c", &major, &minor, &end) != 2 || major > 0xFFFF || minor > 0xFFFF)
        return false;
    options.firmwareMajor = static_cast<uint16_t>(major);
    options.firmwareMinor = static_cast<uint16_t>(minor);
    return true;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--trace")
            options.trace = true;
        else if (argument == "--socket" && hasValue)
            options.socketPath = argv[++i];
        else if (argument == "--serial" && hasValue)
            options.serial = argv[++i];
        else if (argument == "--firmware" && hasValue) {
            if (!parseFirmware(argv[++i], options))
                return false;
        } else
            return false;
    }
    return !options.socketPath.empty() && !options.serial.empty();
}

int acceptOneConnection(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (listener < 0)
        return -1;
    ::unlink(path.c_str());
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0) {
        ::close(listener);
        return -1;
    }
    const int connection = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    ::unlink(path.c_str());
    return connection;
}

void printFinalState(const velmor_usb::Ft232rChip &chip, const std::string &serial)
{
    using velmor_firmware::ReceivedPacket;
    const velmor_firmware::Unit &unit = *chip.unit();
    const velmor_firmware::MotorState motor = unit.motorState();
    size_t understood = 0;
    size_t notUnderstood = 0;
    for (const ReceivedPacket &packet : unit.receivedPackets())
        ++(packet.hearing == ReceivedPacket::Understood ? understood : notUnderstood);
    const velmor_firmware::SerialLine line = chip.line();
    std::printf("serial %s\n", serial.c_str());
    std::printf("firmware-running %d\n", unit.runState() == velmor_firmware::RunState::Firmware ? 1 : 0);
    std::printf("motor-on %d\n", motor.motorOn ? 1 : 0);
    std::printf("position %d\n", static_cast<int>(motor.position));
    std::printf("step-mode %u\n", motor.stepMode);
    std::printf("relay-on %d\n", motor.relayOn ? 1 : 0);
    std::printf("packets-understood %zu\n", understood);
    std::printf("packets-not-understood %zu\n", notUnderstood);
    std::printf("baud %u\n", line.baudRate);
    std::printf("latency %u\n", chip.latencyMs());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: velmor-usb-peer --socket PATH --serial SERIAL [--firmware MAJOR.MINOR] [--trace]\n");
        return 64;
    }
    velmor_firmware::UnitSetup setup;
    setup.usbSerial = options.serial;
    setup.firmwareMajor = options.firmwareMajor;
    setup.firmwareMinor = options.firmwareMinor;
    velmor_usb::EepromIdentity identity;
    identity.serial = options.serial;
    velmor_usb::Ft232rChip chip(identity, std::make_shared<velmor_firmware::Unit>(setup));

    const int connection = acceptOneConnection(options.socketPath);
    if (connection < 0) {
        std::perror("velmor-usb-peer: socket");
        return 1;
    }
    velmor_usb::RedirPeer(connection, chip, options.trace).run();
    printFinalState(chip, options.serial);
    return 0;
}
