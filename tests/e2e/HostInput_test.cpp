// Bad input from the host through the exports: null out-pointers, device indices at and beyond
// the edges, negative numbers in unsigned parameters, boolean bytes other than 0 and 1, and
// serial texts of any bytes and length. Each gives its code and touches no more than it should.
#include "Bench.h"
#include "CallTrace.h"
#include "VelmorLib.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace {

using namespace bench;
using velmor_firmware::RecordKind;
using Bytes = std::vector<uint8_t>;

// What a failed reading call answers in these tables when it wrote its out-value anyway; no
// export returns it.
constexpr int32_t kOutValueWritten = -1000;
constexpr int32_t kUntouched = 0x5A5A5A5A;

struct IndexedExport
{
    const char *name;
    std::function<int32_t(int32_t deviceIndex)> call;
};

int32_t readPosition(int32_t deviceIndex)
{
    int32_t position = kUntouched;
    const int32_t code = getAbsolutePosition(deviceIndex, &position);
    return code != VELMOR_OK && position != kUntouched ? kOutValueWritten : code;
}

int32_t readReadiness(int32_t deviceIndex)
{
    uint8_t ready = 0x5A;
    const int32_t code = isMotorReady(deviceIndex, &ready);
    return code != VELMOR_OK && ready != 0x5A ? kOutValueWritten : code;
}

// Every export that takes a device index, with arguments that are fine otherwise, in an order in
// which each succeeds on a unit that is on and still.
const std::vector<IndexedExport> &indexedExports()
{
    static const std::vector<IndexedExport> exports = {
        {"motorOff", [](int32_t i) { return motorOff(i); }},
        {"motorOn", [](int32_t i) { return motorOn(i); }},
        {"stopMotor", [](int32_t i) { return stopMotor(i); }},
        {"zeroMotorPosition", [](int32_t i) { return zeroMotorPosition(i); }},
        {"moveMotorAbsolute", [](int32_t i) { return moveMotorAbsolute(i, 5); }},
        {"moveMotorRelative", [](int32_t i) { return moveMotorRelative(i, 1); }},
        {"moveMotorHome", [](int32_t i) { return moveMotorHome(i); }},
        {"getAbsolutePosition", readPosition},
        {"isMotorReady", readReadiness},
        {"setMotorSpeed", [](int32_t i) { return setMotorSpeed(i, 400, 0); }},
        {"setMotorAcceleration", [](int32_t i) { return setMotorAcceleration(i, 0); }},
        {"setMotorCurrent", [](int32_t i) { return setMotorCurrent(i, 1000, 1); }},
        {"setBacklashCompensation", [](int32_t i) { return setBacklashCompensation(i, 1, 0, 5); }},
        {"setHomeSettings", [](int32_t i) { return setHomeSettings(i, 0, 0, 0, 0, 0); }},
        {"setLimitSwitches", [](int32_t i) { return setLimitSwitches(i, 1, 1, 2, 1); }},
        {"setPWM", [](int32_t i) { return setPWM(i, 10); }},
        {"setPWMStepMode", [](int32_t i) { return setPWMStepMode(i); }},
        {"setRelay", [](int32_t i) { return setRelay(i, 1); }},
    };
    return exports;
}

void expectNothingOpened(const std::string &label)
{
    EXPECT_EQ(trace::countOf("FT_Open"), 0u) << label;
    EXPECT_TRUE(VelmorEmulator::openHandles().empty()) << label;
}

const RecordKind kRecords[] = {RecordKind::MotionConfiguration, RecordKind::MotorConfiguration,
                               RecordKind::InputConfiguration, RecordKind::PwmSettings,
                               RecordKind::AdvancedMoveConfiguration};

std::vector<Bytes> recordsOf(size_t unit)
{
    std::vector<Bytes> records;
    for (RecordKind kind : kRecords)
        records.push_back(VelmorEmulator::unit(unit).recordBytes(kind));
    return records;
}

// Two units of hardware 1.2 with firmware 4.0; the second one's page holds a 16-byte serial
// with Latin-1 letters.
class HostInput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UnitOnBus second = ft232r("JXah001020002", 4, 0);
        second.firmware.storedSerial = "JXah001020002\xC9xy";
        set({ft232r("JXah001020001", 4, 0), second});
        ASSERT_EQ(initialise(), VELMOR_OK);
        ASSERT_EQ(getDeviceCount(&m_count), VELMOR_OK);
        ASSERT_EQ(m_count, 2);
    }

    int32_t m_count = 0;
};

TEST_F(HostInput, NullOutPointersAreRefusedBeforeAnythingIsTouched)
{
    const std::pair<const char *, std::function<int32_t()>> calls[] = {
        {"getDeviceCount", [] { return getDeviceCount(nullptr); }},
        {"getDeviceIndex", [] { return getDeviceIndex("JXah001020001", nullptr); }},
        {"getDeviceIndex of no serial", [] { return getDeviceIndex(nullptr, nullptr); }},
        {"getAbsolutePosition", [] { return getAbsolutePosition(1, nullptr); }},
        {"isMotorReady", [] { return isMotorReady(1, nullptr); }},
    };
    for (const auto &call : calls) {
        VelmorEmulator::clearCalls();
        EXPECT_EQ(call.second(), VELMOR_ERROR_ARGUMENT) << call.first;
        EXPECT_TRUE(VelmorEmulator::calls().empty()) << call.first;
    }
    EXPECT_TRUE(VelmorEmulator::receivedPackets(0).empty());
}

TEST_F(HostInput, IndicesOutsideTheListGive1AndOpenNothing)
{
    const int32_t indices[] = {INT32_MIN, -1, 0, m_count + 1, 99, 100, INT32_MAX};
    for (const IndexedExport &entry : indexedExports()) {
        for (int32_t index : indices) {
            VelmorEmulator::clearCalls();
            const std::string label = std::string(entry.name) + " at " + std::to_string(index);
            EXPECT_EQ(entry.call(index), VELMOR_ERROR_DEVICE_INDEX) << label;
            expectNothingOpened(label);
        }
    }
    EXPECT_TRUE(VelmorEmulator::receivedPackets(0).empty());
    EXPECT_TRUE(VelmorEmulator::receivedPackets(1).empty());
}

TEST_F(HostInput, TheLastIndexOpensItsOwnUnitOnly)
{
    for (const IndexedExport &entry : indexedExports()) {
        VelmorEmulator::clearCalls();
        EXPECT_EQ(entry.call(m_count), VELMOR_OK) << entry.name;
        const auto opens = trace::callsTo("FT_Open");
        ASSERT_EQ(opens.size(), 1u) << entry.name;
        EXPECT_EQ(VelmorEmulator::unitOfInterface(opens[0].interfaceIndex), m_count - 1) << entry.name;
        EXPECT_TRUE(VelmorEmulator::openHandles().empty()) << entry.name;
    }
    EXPECT_TRUE(VelmorEmulator::receivedPackets(0).empty());
}

// Before initialise every index, good or not, gives 27 and opens nothing.
TEST(HostInputBeforeInitialise, EveryIndexGives27)
{
    set({ft232r("JXah001020001", 4, 0), ft232r("JXah001020002", 4, 0)});
    for (const IndexedExport &entry : indexedExports()) {
        for (int32_t index : {INT32_MIN, 0, 1, 2, 100, INT32_MAX}) {
            VelmorEmulator::clearCalls();
            const std::string label = std::string(entry.name) + " at " + std::to_string(index);
            EXPECT_EQ(entry.call(index), VELMOR_ERROR_NOT_INITIALISED) << label;
            expectNothingOpened(label);
        }
    }
}

// With more units than indices, 99 is the last index that opens one.
TEST(HostInputOnAFullBus, IndicesFrom100OnGive1EvenWithUnitsThere)
{
    std::vector<UnitOnBus> units;
    for (int number = 1; number <= 101; ++number) {
        const std::string digits = std::to_string(10000 + number).substr(1);
        units.push_back(ft232r("JXah00102" + digits, 4, 0));
    }
    set(units);
    ASSERT_EQ(initialise(), VELMOR_OK);
    int32_t count = 0;
    ASSERT_EQ(getDeviceCount(&count), VELMOR_OK);
    ASSERT_EQ(count, 101);

    EXPECT_EQ(motorOn(99), VELMOR_OK);
    const auto opens = trace::callsTo("FT_Open");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(VelmorEmulator::unitOfInterface(opens[0].interfaceIndex), 98);
    for (const IndexedExport &entry : indexedExports()) {
        for (int32_t index : {100, 101, 102}) {
            VelmorEmulator::clearCalls();
            const std::string label = std::string(entry.name) + " at " + std::to_string(index);
            EXPECT_EQ(entry.call(index), VELMOR_ERROR_DEVICE_INDEX) << label;
            expectNothingOpened(label);
        }
    }
}

TEST_F(HostInput, NegativeNumbersInUnsignedParametersAreOutOfRange)
{
    const uint32_t minusOne = static_cast<uint32_t>(-1);
    const uint32_t mostNegative = static_cast<uint32_t>(INT32_MIN);
    struct Case
    {
        const char *name;
        std::function<int32_t()> call;
        bool refusedBeforeOpening;
    };
    const Case cases[] = {
        {"backlash direction -1", [=] { return setBacklashCompensation(1, 1, minusOne, 10); }, true},
        {"backlash direction INT32_MIN", [=] { return setBacklashCompensation(1, 1, mostNegative, 10); }, true},
        {"home direction -1", [=] { return setHomeSettings(1, minusOne, 0, 0, 0, 0); }, true},
        {"home value A -1", [=] { return setHomeSettings(1, 0, 0, 0, minusOne, 0); }, true},
        {"home value B -1", [=] { return setHomeSettings(1, 0, 0, 0, 0, minusOne); }, true},
        {"home value A INT32_MIN", [=] { return setHomeSettings(1, 0, 0, 0, mostNegative, 0); }, true},
        {"switch type 1 -1", [=] { return setLimitSwitches(1, 1, minusOne, 2, 1); }, false},
        {"switch type 2 -1", [=] { return setLimitSwitches(1, 1, 1, 2, minusOne); }, false},
        {"switch type 2 INT32_MIN", [=] { return setLimitSwitches(1, 1, 1, 2, mostNegative); }, false},
        {"switch input 1 -1", [=] { return setLimitSwitches(1, -1, 1, 2, 1); }, false},
        {"switch input 2 INT32_MIN", [=] { return setLimitSwitches(1, 1, 1, INT32_MIN, 1); }, false},
    };
    ASSERT_EQ(motorOn(1), VELMOR_OK);  // the handshake, once
    const std::vector<Bytes> before = recordsOf(0);
    for (const Case &testCase : cases) {
        VelmorEmulator::clearCalls();
        EXPECT_EQ(testCase.call(), VELMOR_ERROR_ARGUMENT) << testCase.name;
        if (testCase.refusedBeforeOpening)
            expectNothingOpened(testCase.name);
        EXPECT_TRUE(VelmorEmulator::openHandles().empty()) << testCase.name;
        EXPECT_EQ(recordsOf(0), before) << testCase.name;
    }
}

TEST_F(HostInput, BooleanBytesOtherThanZeroCountAsTrue)
{
    struct Case
    {
        const char *name;
        std::function<int32_t(uint8_t)> call;
        std::function<int()> held;
    };
    const auto recordByte = [](RecordKind kind, size_t offset) {
        return [=] { return int(VelmorEmulator::unit(0).recordBytes(kind).at(offset)); };
    };
    const Case cases[] = {
        {"current flag", [](uint8_t b) { return setMotorCurrent(1, 1000, b); }, recordByte(RecordKind::MotorConfiguration, 6)},
        {"backlash enabled", [](uint8_t b) { return setBacklashCompensation(1, b, 0, 5); },
         recordByte(RecordKind::AdvancedMoveConfiguration, 0)},
        {"home flag A", [](uint8_t b) { return setHomeSettings(1, 0, 0, b, 0, 0); },
         recordByte(RecordKind::AdvancedMoveConfiguration, 5)},
        {"home flag B", [](uint8_t b) { return setHomeSettings(1, 0, b, 0, 0, 0); },
         recordByte(RecordKind::AdvancedMoveConfiguration, 6)},
        {"relay", [](uint8_t b) { return setRelay(1, b); }, [] { return int(VelmorEmulator::unit(0).motorState().relayOn); }},
    };
    for (const Case &testCase : cases) {
        for (const std::pair<uint8_t, int> &value : {std::pair<uint8_t, int>{0, 0}, {255, 1}, {0, 0}, {2, 1}, {128, 1}}) {
            const std::string label = std::string(testCase.name) + " " + std::to_string(value.first);
            EXPECT_EQ(testCase.call(value.first), VELMOR_OK) << label;
            EXPECT_EQ(testCase.held(), value.second) << label;
        }
    }
}

// The unit's records hold speed, current and backlash in 16 bits, the step mode and the PWM
// value in 8, the acceleration in tenths in 32, all unsigned. A value outside its field would
// reach the unit cut to the field's width, where it can pass for another valid value: such a
// write fails as the unit's refusal would, and the unit keeps its records.
TEST_F(HostInput, ValuesTheRecordFieldsCannotHoldFailTheWrite)
{
    const std::pair<const char *, std::function<int32_t()>> refused[] = {
        {"speed 65936", [] { return setMotorSpeed(1, 65536 + 400, 0); }},
        {"speed -1", [] { return setMotorSpeed(1, -1, 0); }},
        {"step mode 256", [] { return setMotorSpeed(1, 400, 256); }},
        {"step mode -1", [] { return setMotorSpeed(1, 400, -1); }},
        {"acceleration 429496730", [] { return setMotorAcceleration(1, 429496730); }},
        {"acceleration INT32_MAX", [] { return setMotorAcceleration(1, INT32_MAX); }},
        {"acceleration -429496729", [] { return setMotorAcceleration(1, -429496729); }},
        {"acceleration INT32_MIN", [] { return setMotorAcceleration(1, INT32_MIN); }},
        {"current 66536", [] { return setMotorCurrent(1, 65536 + 1000, 0); }},
        {"current -64536", [] { return setMotorCurrent(1, -64536, 1); }},
        {"backlash 65541", [] { return setBacklashCompensation(1, 1, 0, 65536 + 5); }},
        {"backlash -1", [] { return setBacklashCompensation(1, 1, 0, -1); }},
        {"PWM -256", [] { return setPWM(1, -256); }},
        {"PWM INT32_MIN", [] { return setPWM(1, INT32_MIN); }},
    };
    const std::map<std::string, int32_t> failureOf = {
        {"speed", VELMOR_ERROR_WRITE_MOTION_CONFIGURATION}, {"step", VELMOR_ERROR_WRITE_MOTION_CONFIGURATION},
        {"acceleration", VELMOR_ERROR_WRITE_MOTION_CONFIGURATION}, {"current", VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION},
        {"backlash", VELMOR_ERROR_WRITE_BACKLASH}, {"PWM", VELMOR_ERROR_SET_PWM_FAILED}};
    ASSERT_EQ(motorOn(1), VELMOR_OK);  // the handshake, once
    const std::vector<Bytes> before = recordsOf(0);
    for (const auto &call : refused) {
        const std::string name = call.first;
        EXPECT_EQ(call.second(), failureOf.at(name.substr(0, name.find(' ')))) << name;
        EXPECT_EQ(recordsOf(0), before) << name;
    }

    // the largest values that fit still go through
    EXPECT_EQ(setBacklashCompensation(1, 1, 0, 65535), VELMOR_OK);
    EXPECT_EQ(VelmorEmulator::unit(0).recordBytes(RecordKind::AdvancedMoveConfiguration)[3], 0xFF);
    EXPECT_EQ(setMotorAcceleration(1, 1000000), VELMOR_OK);
    EXPECT_EQ(VelmorEmulator::unit(0).recordBytes(RecordKind::MotionConfiguration),
              Bytes({before[0][0], before[0][1], before[0][2], before[0][3], before[0][4], 0x80, 0x96, 0x98, 0, 1,
                     before[0][10]}));
    EXPECT_EQ(setPWM(1, 300), VELMOR_OK);  // the PWM record holds it at its limit
    EXPECT_EQ(VelmorEmulator::unit(0).recordBytes(RecordKind::PwmSettings), Bytes({100, 0}));
}

struct SerialCase
{
    const char *label;
    std::optional<std::string> text;  // none: a null pointer
    int32_t code;
    int32_t index;
};

std::string everyByteButZero()
{
    std::string text;
    for (int byte = 1; byte <= 255; ++byte)
        text.push_back(static_cast<char>(byte));
    return text;
}

TEST_F(HostInput, SerialTextsOfAnyBytesAndLength)
{
    const int32_t notFound = VELMOR_ERROR_SERIAL_NOT_FOUND;
    const SerialCase cases[] = {
        {"null", std::nullopt, notFound, -1},
        {"empty", std::string(), notFound, -1},
        {"one byte", std::string("J"), notFound, -1},
        {"exact", std::string("JXah001020001"), VELMOR_OK, 1},
        {"other case", std::string("jXAH001020001"), VELMOR_OK, 1},
        {"one byte short", std::string("JXah00102000"), notFound, -1},
        {"trailing space", std::string("JXah001020001 "), notFound, -1},
        {"trailing 0x01", std::string("JXah001020001\x01"), notFound, -1},
        {"trailing 0xFF", std::string("JXah001020001\xFF"), notFound, -1},
        {"leading space", std::string(" JXah001020001"), notFound, -1},
        {"16 bytes with Latin-1", std::string("JXah001020002\xC9xy"), VELMOR_OK, 2},
        {"16 bytes in other case", std::string("jxAH001020002\xE9XY"), VELMOR_OK, 2},
        {"15 of the 16 bytes", std::string("JXah001020002\xC9x"), notFound, -1},
        {"17 bytes", std::string("JXah001020002\xC9xyz"), notFound, -1},
        {"the USB serial of a unit whose page says otherwise", std::string("JXah001020002"), notFound, -1},
        {"every byte from 0x01 to 0xFF", everyByteButZero(), notFound, -1},
        {"not UTF-8", std::string("\xC3\x28\xA0\xA1\xF0\x28\x8C\xBC"), notFound, -1},
        {"4096 bytes", std::string(4096, 'J'), notFound, -1},
        {"1 MB starting with a serial", std::string("JXah001020001") + std::string(1 << 20, 'x'), notFound, -1},
    };
    for (const SerialCase &testCase : cases) {
        int32_t index = kUntouched;
        const char *text = testCase.text ? testCase.text->c_str() : nullptr;
        EXPECT_EQ(getDeviceIndex(text, &index), testCase.code) << testCase.label;
        EXPECT_EQ(index, testCase.index) << testCase.label;
        EXPECT_TRUE(VelmorEmulator::openHandles().empty()) << testCase.label;
    }
}

} // namespace
