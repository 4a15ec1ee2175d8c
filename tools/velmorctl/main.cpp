// velmorctl: the command-line host application of VelmorLib.
#include "FtdiLibrary.h"
#include "USBDeviceIdentity.h"
#include "USBFtdiDevice.h"
#include "VelmorLib.h"

#include <cstdio>
#include <cstring>

namespace {

const char *chipName(quint32 usbId)
{
    switch (usbId & 0xFFFF) {
    case 0x6001: return "FT232R";
    case 0x6010: return "FT2232H";
    case 0x6011: return "FT4232H";
    case 0x6014: return "FT232H";
    case 0x6015: return "X-series";
    default: return "unknown";
    }
}

int listUnits()
{
    initialise();
    int32_t count = 0;
    const int32_t result = getDeviceCount(&count);
    if (result != VELMOR_OK) {
        std::fprintf(stderr, "velmorctl: counting the units failed (code %d)\n", result);
        return result;
    }
    std::printf("%d supported unit%s\n", count, count == 1 ? "" : "s");
    int index = 0;
    for (const USBDevicePtr &device : USBFtdiDevice::enumerate(true)) {
        const VersionNumber version = hardwareVersion(*device);
        const bool supported = version == VersionNumber(1, 1) || version == VersionNumber(1, 2)
                               || version == VersionNumber(10, 1) || version == VersionNumber(27, 1);
        char indexText[16] = "-";
        if (supported)
            std::snprintf(indexText, sizeof indexText, "%d", ++index);
        std::printf("%-5s %-16s %-9s hardware %u.%u%s\n", indexText, device->serialNumber.toLatin1().constData(),
                    chipName(device->usbId), version.major, version.minor, supported ? "" : " (not supported)");
    }
    return VELMOR_OK;
}

void printUsage(std::FILE *stream)
{
    std::fprintf(stream, "usage: velmorctl list\n"
                         "  list    count the attached supported units and list every unit on the bus\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "list") == 0)
        return listUnits();
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    printUsage(stderr);
    return 64;
}
