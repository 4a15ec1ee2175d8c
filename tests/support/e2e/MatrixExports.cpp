#include "MatrixExports.h"

#include "VelmorLib.h"

#include <stdexcept>

namespace matrix {

namespace {

constexpr uint8_t kUntouchedReady = 77;

Outcome plain(int32_t code)
{
    return Outcome{code, kUntouched};
}

Outcome countDevices()
{
    int32_t count = int32_t(kUntouched);
    const int32_t code = getDeviceCount(&count);
    return Outcome{code, count};
}

Outcome findUnit()
{
    int32_t index = int32_t(kUntouched);
    const int32_t code = getDeviceIndex("JXah00102", &index);
    return Outcome{code, index};
}

Outcome readPosition()
{
    int32_t position = int32_t(kUntouched);
    const int32_t code = getAbsolutePosition(1, &position);
    return Outcome{code, position};
}

Outcome readReadiness()
{
    uint8_t ready = kUntouchedReady;
    const int32_t code = isMotorReady(1, &ready);
    return Outcome{code, ready == kUntouchedReady ? kUntouched : int64_t(ready)};
}

Exchange exchange(const std::string &name, uint8_t commandCode, bool replyCarriesData, Stage stage = Stage::FirstRequest)
{
    Exchange result;
    result.name = name;
    result.commandCode = commandCode;
    result.replyCarriesData = replyCarriesData;
    result.stage = stage;
    return result;
}

// A read that fetches a record, then the write of the changed record.
std::vector<Exchange> readThenWrite(const std::string &record, uint8_t readCode, uint8_t writeCode)
{
    return {exchange("read " + record, readCode, true), exchange("write " + record, writeCode, false, Stage::SecondRequest)};
}

std::vector<Exchange> motorInformationThen(const std::string &second, uint8_t secondCode)
{
    return {exchange("motor information", 0x41, true), exchange(second, secondCode, false, Stage::SecondRequest)};
}

// getDeviceIndex reads the information once more after opening; on first use the handshake
// has sent each of these requests once before.
std::vector<Exchange> ownInformationRead()
{
    std::vector<Exchange> exchanges = {exchange("own information read: information", 20, true),
                                       exchange("own information read: prepare page", 21, false),
                                       exchange("own information read: page", 18, true)};
    for (Exchange &each : exchanges)
        each.firstUseSkip = 1;
    return exchanges;
}

ExportUnderTest motorCall(const std::string &name, std::function<Outcome()> call, int32_t firstFailure,
                          int32_t secondFailure, std::vector<Exchange> exchanges,
                          ExportUnderTest::OutValue outValue = ExportUnderTest::NoOut)
{
    ExportUnderTest result;
    result.name = name;
    result.call = std::move(call);
    result.firstFailure = firstFailure;
    result.secondFailure = secondFailure;
    result.exchanges = std::move(exchanges);
    result.outValue = outValue;
    return result;
}

std::vector<ExportUnderTest> buildExports()
{
    std::vector<ExportUnderTest> exports;
    ExportUnderTest counting;
    counting.name = "getDeviceCount";
    counting.kind = ExportUnderTest::Counts;
    counting.call = countDevices;
    counting.outValue = ExportUnderTest::Count;
    exports.push_back(counting);

    ExportUnderTest finding;
    finding.name = "getDeviceIndex";
    finding.kind = ExportUnderTest::FindsBySerial;
    finding.call = findUnit;
    finding.outValue = ExportUnderTest::Index;
    finding.exchanges = ownInformationRead();
    exports.push_back(finding);

    exports.push_back(motorCall("motorOn", [] { return plain(motorOn(1)); }, VELMOR_ERROR_MOTOR_ON_FAILED, 0,
                                {exchange("motor on", 0x27, false)}));
    exports.push_back(motorCall("getAbsolutePosition", readPosition, VELMOR_ERROR_READ_FAILED, 0,
                                {exchange("motor information", 0x41, true)}, ExportUnderTest::Position));
    exports.push_back(motorCall("isMotorReady", readReadiness, VELMOR_ERROR_READ_FAILED, 0,
                                {exchange("motor information", 0x41, true)}, ExportUnderTest::Ready));
    exports.push_back(motorCall("moveMotorRelative", [] { return plain(moveMotorRelative(1, 10)); },
                                VELMOR_ERROR_READ_FAILED, VELMOR_ERROR_MOVE_FAILED, motorInformationThen("move", 0x22)));
    exports.push_back(motorCall("setMotorSpeed", [] { return plain(setMotorSpeed(1, 400, 0)); },
                                VELMOR_ERROR_READ_MOTION_CONFIGURATION, VELMOR_ERROR_WRITE_MOTION_CONFIGURATION,
                                readThenWrite("motion configuration", 0x42, 0x20)));
    exports.push_back(motorCall("setMotorCurrent", [] { return plain(setMotorCurrent(1, 1000, 1)); },
                                VELMOR_ERROR_READ_MOTOR_CONFIGURATION, VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION,
                                readThenWrite("motor configuration", 0x43, 0x21)));
    exports.push_back(motorCall("setBacklashCompensation", [] { return plain(setBacklashCompensation(1, 1, 0, 5)); },
                                VELMOR_ERROR_READ_FAILED, VELMOR_ERROR_WRITE_BACKLASH,
                                readThenWrite("advanced move configuration", 0x46, 0x26)));
    exports.push_back(motorCall("setRelay", [] { return plain(setRelay(1, 1)); }, VELMOR_ERROR_SET_RELAY_FAILED, 0,
                                {exchange("relay on", 0x2C, false)}));
    exports.push_back(motorCall("moveMotorHome", [] { return plain(moveMotorHome(1)); }, VELMOR_ERROR_READ_FAILED,
                                VELMOR_ERROR_MOVE_FAILED, motorInformationThen("move home", 0x32)));
    exports.push_back(motorCall("setHomeSettings", [] { return plain(setHomeSettings(1, 0, 1, 0, 100, 200)); },
                                VELMOR_ERROR_READ_FAILED, VELMOR_ERROR_WRITE_HOME_SETTINGS,
                                readThenWrite("advanced move configuration", 0x46, 0x26)));
    exports.push_back(motorCall("setLimitSwitches", [] { return plain(setLimitSwitches(1, 1, 3, 2, 6)); },
                                VELMOR_ERROR_WRITE_INPUT_CONFIGURATION, 0, {exchange("write input configuration", 0x23, false)}));
    exports.push_back(motorCall("setPWMStepMode", [] { return plain(setPWMStepMode(1)); },
                                VELMOR_ERROR_SET_PWM_STEP_MODE_FAILED, 0, {exchange("write PWM settings", 0x25, false)}));
    exports.push_back(motorCall("motorOff", [] { return plain(motorOff(1)); }, VELMOR_ERROR_MOTOR_OFF_FAILED, 0,
                                {exchange("motor off", 0x28, false)}));
    exports.push_back(motorCall("stopMotor", [] { return plain(stopMotor(1)); }, VELMOR_ERROR_STOP_FAILED, 0,
                                {exchange("stop", 0x29, false)}));
    exports.push_back(motorCall("moveMotorAbsolute", [] { return plain(moveMotorAbsolute(1, 25)); },
                                VELMOR_ERROR_READ_FAILED, VELMOR_ERROR_MOVE_FAILED, motorInformationThen("move", 0x22)));
    exports.push_back(motorCall("setMotorAcceleration", [] { return plain(setMotorAcceleration(1, 5)); },
                                VELMOR_ERROR_READ_MOTION_CONFIGURATION, VELMOR_ERROR_WRITE_MOTION_CONFIGURATION,
                                readThenWrite("motion configuration", 0x42, 0x20)));
    exports.push_back(motorCall("setPWM", [] { return plain(setPWM(1, 20)); }, VELMOR_ERROR_SET_PWM_FAILED, 0,
                                {exchange("write PWM settings", 0x25, false)}));
    exports.push_back(motorCall("zeroMotorPosition", [] { return plain(zeroMotorPosition(1)); }, VELMOR_ERROR_ZERO_FAILED,
                                0, {exchange("zero position", 0x30, false)}));
    return exports;
}

const std::vector<ExportUnderTest> &allExports()
{
    static const std::vector<ExportUnderTest> exports = buildExports();
    return exports;
}

} // namespace

int32_t ExportUnderTest::codeFor(Stage stage) const
{
    if (kind == Counts)
        return VELMOR_OK;
    if (kind == FindsBySerial)
        return stage == Stage::Untouched ? int32_t(VELMOR_OK) : int32_t(VELMOR_ERROR_SERIAL_NOT_FOUND);
    switch (stage) {
    case Stage::Listing: return VELMOR_ERROR_DEVICE_INDEX;
    case Stage::Opening: return VELMOR_ERROR_OPEN_FAILED;
    case Stage::StartCommand: return VELMOR_ERROR_START_COMMAND;
    case Stage::Information: return VELMOR_ERROR_READ_INFORMATION;
    case Stage::InvalidInformation: return VELMOR_ERROR_INFORMATION_INVALID;
    case Stage::FirstRequest: return firstFailure;
    case Stage::SecondRequest: return secondFailure;
    case Stage::Untouched: return VELMOR_OK;
    }
    return -1;
}

std::optional<int64_t> ExportUnderTest::expectedOut(Stage stage, int32_t code) const
{
    switch (outValue) {
    case NoOut: return std::nullopt;
    case Count: return stage == Stage::Listing ? 0 : 1;
    case Index: return code == VELMOR_OK ? 1 : -1;
    case Position: return code == VELMOR_OK ? 0 : kUntouched;
    case Ready: return code == VELMOR_OK ? 1 : kUntouched;
    }
    return std::nullopt;
}

const ExportUnderTest &exportNamed(const std::string &name)
{
    for (const ExportUnderTest &candidate : allExports()) {
        if (candidate.name == name)
            return candidate;
    }
    throw std::invalid_argument("no export under test named " + name);
}

std::vector<const ExportUnderTest *> representativeExports()
{
    std::vector<const ExportUnderTest *> result;
    for (const char *name : {"getDeviceCount", "getDeviceIndex", "motorOn", "getAbsolutePosition", "isMotorReady",
                             "moveMotorRelative", "setMotorSpeed", "setMotorCurrent", "setBacklashCompensation",
                             "setRelay"})
        result.push_back(&exportNamed(name));
    return result;
}

std::vector<const ExportUnderTest *> exportsWithExchanges()
{
    std::vector<const ExportUnderTest *> result;
    for (const ExportUnderTest &candidate : allExports()) {
        if (!candidate.exchanges.empty())
            result.push_back(&candidate);
    }
    return result;
}

} // namespace matrix
