#include "USBFtdiEeprom.h"

#include "FtdiLibraryLoader.h"

#include <cstring>

namespace {

constexpr int kLongestDescription = 63;
constexpr int kLongestSerial = 16;
constexpr DWORD kXSeriesRecordSize = 56;
static_assert(sizeof(FT_EEPROM_X_SERIES) == kXSeriesRecordSize, "X-series EEPROM record as D2XX lays it out");

// Larger than any string D2XX reads into or programs from them.
struct EepromStrings
{
    char manufacturer[64] = {};
    char manufacturerId[64] = {};
    char description[64] = {};
    char serialNumber[64] = {};
};

// At most `longest` characters; the text ends at the first character Latin-1 has no byte for.
void putText(char (&destination)[64], const QString &text, int longest)
{
    std::memset(destination, 0, sizeof destination);
    const int length = std::min(text.size(), longest);
    for (int i = 0; i < length; ++i) {
        const ushort character = text.at(i).unicode();
        if (character > 0xFF)
            break;
        destination[i] = static_cast<char>(character);
    }
}

void putIdentity(EepromStrings &strings, const USBEepromSettings &settings)
{
    putText(strings.description, settings.description, kLongestDescription);
    putText(strings.serialNumber, settings.serialNumber, kLongestSerial);
}

void prepareProgramData(FT_PROGRAM_DATA &data, EepromStrings &strings, DWORD version)
{
    std::memset(&data, 0, sizeof data);
    data.Signature1 = 0x00000000;
    data.Signature2 = 0xFFFFFFFF;
    data.Version = version;
    data.Manufacturer = strings.manufacturer;
    data.ManufacturerId = strings.manufacturerId;
    data.Description = strings.description;
    data.SerialNumber = strings.serialNumber;
}

// What an unprogrammed FT232H or FT2232H starts from.
void fillDefaults(FT_PROGRAM_DATA &data, EepromStrings &strings)
{
    strings = EepromStrings();
    prepareProgramData(data, strings, data.Version);
    std::strcpy(strings.manufacturer, "FTDI");
    std::strcpy(strings.manufacturerId, "FT");
    data.VendorId = 0x0403;
    data.ProductId = 0x6001;
    data.MaxPower = 500;
    data.PnP = 1;
}

FT_STATUS programProgramData(FT_HANDLE handle, DWORD version, bool highSpeedChip, const USBEepromSettings &settings)
{
    EepromStrings strings;
    FT_PROGRAM_DATA data;
    prepareProgramData(data, strings, version);
    const FT_STATUS read = ftdi().FT_EE_Read(handle, &data);
    if (highSpeedChip && read == FT_EEPROM_NOT_PROGRAMMED)
        fillDefaults(data, strings);
    else if (read != FT_OK)
        return read;
    putIdentity(strings, settings);
    data.MaxPower = settings.maxPower;
    data.SelfPowered = settings.selfPowered ? 1 : 0;
    if (highSpeedChip) {
        data.USBVersionEnable = 1;
        data.USBVersion = 0x0200;
        data.USBVersionEnable5 = 1;
        data.USBVersion5 = 0x0200;
    }
    return ftdi().FT_EE_Program(handle, &data);
}

FT_STATUS programXSeries(FT_HANDLE handle, const USBEepromSettings &settings)
{
    EepromStrings strings;
    FT_EEPROM_X_SERIES record;
    std::memset(&record, 0, sizeof record);
    record.common.deviceType = FT_DEVICE_X_SERIES;
    const FT_STATUS read = ftdi().FT_EEPROM_Read(handle, &record, kXSeriesRecordSize, strings.manufacturer,
                                                 strings.manufacturerId, strings.description, strings.serialNumber);
    if (read != FT_OK)
        return read;
    putIdentity(strings, settings);
    record.common.MaxPower = settings.maxPower;
    record.common.SelfPowered = settings.selfPowered ? 1 : 0;
    return ftdi().FT_EEPROM_Program(handle, &record, kXSeriesRecordSize, strings.manufacturer,
                                    strings.manufacturerId, strings.description, strings.serialNumber);
}

FT_STATUS programByChip(FT_HANDLE handle, FT_DEVICE chipType, const USBEepromSettings &settings)
{
    switch (chipType) {
    case FT_DEVICE_232R: return programProgramData(handle, 2, false, settings);
    case FT_DEVICE_2232H: return programProgramData(handle, 3, true, settings);
    case FT_DEVICE_232H: return programProgramData(handle, 5, true, settings);
    case FT_DEVICE_X_SERIES: return programXSeries(handle, settings);
    default: return FT_NOT_SUPPORTED;
    }
}

} // namespace

USBResult USBFtdiEeprom::program(quint32 deviceIndex, const USBEepromSettings &settings)
{
    FT_HANDLE handle = nullptr;
    const FT_STATUS opened = ftdi().FT_Open(static_cast<int>(deviceIndex), &handle);
    if (opened != FT_OK)
        return USBResult::fromFtStatus(opened);
    FT_DEVICE chipType = FT_DEVICE_UNKNOWN;
    DWORD id = 0;
    char serial[16] = {};
    char description[64] = {};
    FT_STATUS status = ftdi().FT_GetDeviceInfo(handle, &chipType, &id, serial, description, nullptr);
    if (status == FT_OK)
        status = programByChip(handle, chipType, settings);
    if (status == FT_OK)
        status = ftdi().FT_CyclePort(handle);
    ftdi().FT_Close(handle);
    return USBResult::fromFtStatus(status);
}
