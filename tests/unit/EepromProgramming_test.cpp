// Rewriting a unit's identity EEPROM on an emulated bus: what each chip family is sent, that
// the new serial shows in the next listing and opens, and how failures end.
#include "Bench.h"
#include "CallTrace.h"
#include "USBFtdiDevice.h"
#include "USBFtdiSocket.h"

#include <gtest/gtest.h>

namespace {

using namespace bench;
using VelmorEmulator::openHandles;

USBEepromSettings settingsFor(const QString &serial)
{
    USBEepromSettings settings;
    settings.serialNumber = serial;
    settings.description = QStringLiteral("Bench Driver");
    settings.selfPowered = true;
    settings.maxPower = 90;
    return settings;
}

USBDevicePtr onlyDevice()
{
    const QList<USBDevicePtr> devices = USBFtdiDevice::enumerate(false);
    return devices.size() == 1 ? devices.first() : USBDevicePtr();
}

struct ProgrammingCase
{
    const char *name;
    UnitOnBus unit;
    const char *newSerial;
    const char *listedSerial;          // as the next listing shows it
    std::vector<std::string> calls;    // from the EEPROM read to the end
};

void PrintTo(const ProgrammingCase &programmingCase, std::ostream *out) { *out << programmingCase.name; }

UnitOnBus unprogrammed(UnitOnBus unit)
{
    unit.eepromProgrammed = false;
    return unit;
}

const std::string kEe = " 0 4294967295 ";

class EepromProgramming : public ::testing::TestWithParam<ProgrammingCase>
{
};

TEST_P(EepromProgramming, NewIdentityShowsInTheNextListingAndOpens)
{
    const ProgrammingCase &param = GetParam();
    set({param.unit});
    const USBDevicePtr device = onlyDevice();
    ASSERT_TRUE(device);
    VelmorEmulator::clearCalls();
    const USBResult result = device->programEeprom(settingsFor(QString::fromLatin1(param.newSerial)));
    EXPECT_EQ(result.code, 0u);
    EXPECT_EQ(result.message, "Valid");
    std::vector<std::string> lines = trace::lines();
    ASSERT_GE(lines.size(), 2u);
    const std::string opened = "FT_Open " + std::to_string(device->mainSocket()->deviceIndex());
    EXPECT_EQ(lines[0], opened);
    EXPECT_EQ(lines[1], "FT_GetDeviceInfo");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), param.calls);
    EXPECT_TRUE(openHandles().empty());

    const USBDevicePtr renamed = onlyDevice();
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->serialNumber.toStdString(), param.listedSerial);
    EXPECT_TRUE(renamed->description.startsWith(QStringLiteral("Bench Driver")));
    // the channel reads the serial from the EEPROM when it opens
    const USBResult reopened = renamed->mainSocket()->open(500000);
    EXPECT_TRUE(reopened.isOk()) << reopened.message.toStdString();
    renamed->closeAll();
    EXPECT_TRUE(openHandles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    PerChipFamily, EepromProgramming,
    ::testing::Values(
        ProgrammingCase{"FT232R", unit(Chip::FT232R, "JXah00102"), "JXbh00103", "JXbh00103",
                        {"FT_EE_Read" + kEe + "2", "FT_EE_Program" + kEe + "2 90 1 1027 24577 0", "FT_CyclePort",
                         "FT_Close"}},
        // an unprogrammed EEPROM starts from the defaults: vendor 0x0403, product 0x6001, plug and play
        ProgrammingCase{"FT232H_Unprogrammed", unprogrammed(unit(Chip::FT232H, "JXah00102")), "JXah00104", "JXah00104",
                        {"FT_EE_Read" + kEe + "5", "FT_EE_Program" + kEe + "5 90 1 1027 24577 1", "FT_CyclePort",
                         "FT_Close"}},
        // both interfaces share the EEPROM; the listing adds their letters
        ProgrammingCase{"FT2232H", unit(Chip::FT2232H, "JXbh01001"), "JXbh01002", "JXbh01002A",
                        {"FT_EE_Read" + kEe + "3", "FT_EE_Program" + kEe + "3 90 1 1027 24592 0", "FT_CyclePort",
                         "FT_Close"}},
        ProgrammingCase{"XSeries", unit(Chip::XSeries, "JXah00102"), "JXah00105", "JXah00105",
                        {"FT_EEPROM_Read 56 9", "FT_EEPROM_Program 56 9 90 1", "FT_CyclePort", "FT_Close"}}),
    [](const ::testing::TestParamInfo<ProgrammingCase> &info) { return std::string(info.param.name); });

TEST(EepromProgrammingFailures, EndWithTheFailingStatusAndAClosedHandle)
{
    struct Case
    {
        UnitOnBus unit;
        const char *failing;           // nullptr: no injected failure
        const char *message;
        std::vector<std::string> tail; // the calls after FT_GetDeviceInfo
    };
    const std::vector<Case> cases = {
        {ft232r(), "FT_Open", "Communication error", {}},
        {ft232r(), "FT_GetDeviceInfo", "Communication error", {"FT_Close"}},
        {ft232r(), "FT_EE_Read", "Communication error", {"FT_EE_Read" + kEe + "2", "FT_Close"}},
        // an FT232R is programmed only over a successful read
        {unprogrammed(ft232r()), nullptr, "EEPROM not programmed", {"FT_EE_Read" + kEe + "2", "FT_Close"}},
        {ft232r(), "FT_EE_Program", "Communication error",
         {"FT_EE_Read" + kEe + "2", "FT_EE_Program" + kEe + "2 90 1 1027 24577 0", "FT_Close"}},
        {unit(Chip::XSeries, "JXah00102"), "FT_EEPROM_Program", "Communication error",
         {"FT_EEPROM_Read 56 9", "FT_EEPROM_Program 56 9 90 1", "FT_Close"}},
        {ft232r(), "FT_CyclePort", "Communication error",
         {"FT_EE_Read" + kEe + "2", "FT_EE_Program" + kEe + "2 90 1 1027 24577 0", "FT_CyclePort", "FT_Close"}},
        // no EEPROM routine for this chip: nothing is written and nothing is reported as done
        {unit(Chip::FT4232H, "JXah00102"), nullptr, "Unsupported devices", {"FT_Close"}},
    };
    for (const Case &testCase : cases) {
        const std::string label = std::string(testCase.failing ? testCase.failing : "none") + " on " + testCase.unit.serial;
        set({testCase.unit});
        const USBDevicePtr device = onlyDevice();
        ASSERT_TRUE(device) << label;
        VelmorEmulator::clearCalls();
        if (testCase.failing)
            VelmorEmulator::failCall(testCase.failing, FT_IO_ERROR, 0, 1);
        const USBResult result = device->programEeprom(settingsFor(QStringLiteral("JXbh00109")));
        EXPECT_EQ(result.code, 2u) << label;
        EXPECT_EQ(result.message.toStdString(), testCase.message) << label;
        EXPECT_TRUE(openHandles().empty()) << label;
        std::vector<std::string> lines = trace::lines();
        if (testCase.failing && std::string(testCase.failing) == "FT_Open") {
            EXPECT_EQ(lines, std::vector<std::string>({"FT_Open 0"})) << label;
            continue;
        }
        ASSERT_GE(lines.size(), 2u) << label;
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), testCase.tail) << label;
    }
}

TEST(EepromProgrammingTexts, AreCutToTheirFieldsAndEndBeforeCharactersOutsideLatin1)
{
    set({ft232r()});
    const USBDevicePtr device = onlyDevice();
    ASSERT_TRUE(device);
    USBEepromSettings settings;
    settings.serialNumber = QStringLiteral("JXbh00103") + QChar(0x4e2d) + QStringLiteral("999");
    settings.description = QString(70, QLatin1Char('d'));
    ASSERT_TRUE(device->programEeprom(settings).isOk());
    const USBDevicePtr renamed = onlyDevice();
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->serialNumber, QStringLiteral("JXbh00103"));
    EXPECT_EQ(renamed->description, QString(63, QLatin1Char('d')));

    settings.serialNumber = QStringLiteral("JXbh00103\u00e91234567890");  // Latin-1, 20 characters
    ASSERT_TRUE(renamed->programEeprom(settings).isOk());
    EXPECT_EQ(onlyDevice()->serialNumber, QStringLiteral("JXbh00103\u00e9123456"));
}

} // namespace
