// One emulated unit on a test bench, talked to with byte strings on a clock the test moves.
#ifndef FIRMWAREBENCH_H
#define FIRMWAREBENCH_H

#include "firmware/Unit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace firmware_bench {

using Bytes = std::vector<uint8_t>;
using velmor_firmware::Clock;
using velmor_firmware::SerialLine;
using velmor_firmware::TimePoint;
using velmor_firmware::Unit;
using velmor_firmware::UnitSetup;

// "05 69 00" -> bytes
inline Bytes hex(const std::string &text)
{
    Bytes bytes;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair)
        bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
    return bytes;
}

inline std::string hexOf(const Bytes &bytes)
{
    std::string text;
    char buffer[4];
    for (uint8_t byte : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", byte);
        text += buffer;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

// Byte strings joined, for the answers to several packets.
inline Bytes operator+(Bytes first, const Bytes &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

inline Bytes request(uint32_t id, uint8_t code, const Bytes &payload = {})
{
    Bytes bytes{0x05, uint8_t(id), uint8_t(id >> 8), uint8_t(id >> 16), uint8_t(id >> 24), code,
                uint8_t(payload.size()), uint8_t(payload.size() >> 8)};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

inline Bytes reply(uint32_t id, uint8_t status, const Bytes &data = {})
{
    Bytes bytes{0x05, uint8_t(id), uint8_t(id >> 8), uint8_t(id >> 16), uint8_t(id >> 24), status,
                uint8_t(data.size()), uint8_t(data.size() >> 8)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

inline UnitSetup setupFor(const std::string &serial, uint16_t firmwareMajor = 2, uint16_t firmwareMinor = 1)
{
    UnitSetup setup;
    setup.usbSerial = serial;
    setup.firmwareMajor = firmwareMajor;
    setup.firmwareMinor = firmwareMinor;
    return setup;
}

// Hardware 1.1, 1.2, 10.1 and 27.1, as their serial numbers name them.
inline std::string serialOf(const std::string &hardware)
{
    if (hardware == "1.1") return "JXah00101";
    if (hardware == "1.2") return "JXah00102";
    if (hardware == "10.1") return "JXah01001";
    if (hardware == "27.1") return "JXbp02701";
    return hardware;
}

class Bench
{
public:
    explicit Bench(const UnitSetup &setup = UnitSetup())
        : m_unit(setup)
        , m_line(m_unit.expectedLine())
        , m_now(Clock::now())
    {
    }

    Unit &unit() { return m_unit; }
    TimePoint now() const { return m_now; }
    void wait(int milliseconds) { m_now += std::chrono::milliseconds(milliseconds); }
    void setLine(const SerialLine &line) { m_line = line; }

    // All the unit sends back, in order.
    Bytes send(const Bytes &bytes)
    {
        Bytes answered;
        for (const velmor_firmware::Transmission &sent : m_unit.receive(bytes.data(), bytes.size(), m_now, m_line))
            answered.insert(answered.end(), sent.bytes.begin(), sent.bytes.end());
        return answered;
    }

    Bytes ask(uint32_t id, uint8_t code, const Bytes &payload = {}) { return send(request(id, code, payload)); }

    // The answer's status byte and data, checked to be a well-formed reply to `id`.
    std::pair<int, Bytes> exchange(uint8_t code, const Bytes &payload = {})
    {
        const uint32_t id = m_nextId++;
        const Bytes answer = ask(id, code, payload);
        if (answer.size() < 8 || answer[0] != 0x05 || answer[1] != uint8_t(id)) {
            ADD_FAILURE() << "no proper reply to code " << int(code) << ": " << hexOf(answer);
            return {-1, {}};
        }
        return {answer[5], Bytes(answer.begin() + 8, answer.end())};
    }
    int status(uint8_t code, const Bytes &payload = {}) { return exchange(code, payload).first; }
    Bytes data(uint8_t code) { return exchange(code).second; }

    // The start command and the firmware's boot time.
    void boot()
    {
        send({0x03});
        wait(int(m_unit.setup().bootMilliseconds));
    }

private:
    Unit m_unit;
    SerialLine m_line;
    TimePoint m_now;
    uint32_t m_nextId = 101;
};

} // namespace firmware_bench

#endif
