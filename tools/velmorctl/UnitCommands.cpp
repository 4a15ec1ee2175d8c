#include "UnitCommands.h"

#include "MoveCommand.h"
#include "ProfileCatalog.h"
#include "ProfileCommands.h"
#include "StatusCommand.h"
#include "VelmorLibExtras.h"

namespace {

// Codes of a call that never reached its unit: the values played no part, and the runner says why.
bool reachedNoUnit(int32_t code)
{
    switch (code) {
    case VELMOR_ERROR_DEVICE_INDEX:
    case VELMOR_ERROR_OPEN_FAILED:
    case VELMOR_ERROR_START_COMMAND:
    case VELMOR_ERROR_NOT_INITIALISED:
    case VELMOR_ERROR_SERIAL_NOT_FOUND:
    case VELMOR_ERROR_READ_INFORMATION:
    case VELMOR_ERROR_INFORMATION_INVALID:
    case VELMOR_ERROR_FIRMWARE_UNSUPPORTED:
        return true;
    default:
        return false;
    }
}

} // namespace

UnitCommands::UnitCommands(const Invocation &invocation, int32_t index)
    : m_invocation(invocation), m_index(index)
{
}

CommandResult UnitCommands::run() const
{
    switch (m_invocation.spec->id) {
    case CommandId::On:
    case CommandId::Off:
    case CommandId::Stop:
    case CommandId::Zero:
        return simple();
    case CommandId::MoveTo:
    case CommandId::MoveBy:
    case CommandId::Home:
        return MoveCommand(m_invocation, m_index).run();
    case CommandId::Position:
        return position();
    case CommandId::Ready:
        return ready();
    case CommandId::Status:
        return StatusCommand(m_index, unitText(), ProfileCatalog::scaleOf(m_index)).run();
    case CommandId::Save:
    case CommandId::Load:
    case CommandId::Diff:
    case CommandId::Apply:
        return ProfileCommands(m_invocation, m_index, unitText()).run();
    default:
        return setting();
    }
}

CommandResult UnitCommands::simple() const
{
    switch (m_invocation.spec->id) {
    case CommandId::On:
        return CommandResult::of(motorOn(m_index), "motor of " + unitText() + " switched on");
    case CommandId::Off:
        return CommandResult::of(motorOff(m_index), "motor of " + unitText() + " switched off");
    case CommandId::Stop:
        return CommandResult::of(stopMotor(m_index), "motor of " + unitText() + " stopped");
    default:
        return CommandResult::of(zeroMotorPosition(m_index), "position of " + unitText() + " set to zero");
    }
}

CommandResult UnitCommands::position() const
{
    int32_t position = 0;
    CommandResult result = CommandResult::of(getAbsolutePosition(m_index, &position), "");
    if (result.failed())
        return result;
    const std::optional<ProfileScale> scale = ProfileCatalog::scaleOf(m_index);
    result.text = "position of " + unitText() + ": " + (scale ? scale->positionText(position) : std::to_string(position));
    result.fields.addNumber("position", static_cast<int64_t>(position));
    if (scale)
        result.fields.addExactNumber("positionInUnit", scale->inUnit(position)).addText("profileUnit", scale->unit);
    return result;
}

CommandResult UnitCommands::ready() const
{
    uint8_t ready = 0;
    CommandResult result = CommandResult::of(isMotorReady(m_index, &ready), "");
    if (!result.failed()) {
        result.text = unitText() + (ready != 0 ? " is ready" : " is not ready");
        result.fields.addBool("ready", ready != 0);
    }
    return result;
}

// A refused value is explained with the unit's range where the reason is plain from it.
CommandResult UnitCommands::setting() const
{
    CommandResult result = CommandResult::of(callSetting(), settingText());
    if (!result.failed() || reachedNoUnit(result.code))
        return result;
    const std::string reason = refusalReason();
    if (!reason.empty()) {
        result.text += ": " + reason;
        result.fields.addText("reason", reason);
    }
    return result;
}

int32_t UnitCommands::callSetting() const
{
    switch (m_invocation.spec->id) {
    case CommandId::Speed:
        return setMotorSpeed(m_index, int32Value(0), int32Value(1));
    case CommandId::Accel:
        return setMotorAcceleration(m_index, int32Value(0));
    case CommandId::Current:
        return setMotorCurrent(m_index, int32Value(0), uint8Value(1));
    case CommandId::Backlash:
        return setBacklashCompensation(m_index, uint8Value(0), uint32Value(1), int32Value(2));
    case CommandId::HomeSettings:
        return setHomeSettings(m_index, uint32Value(0), uint8Value(1), uint8Value(2), uint32Value(3), uint32Value(4));
    case CommandId::Limits:
        return setLimitSwitches(m_index, int32Value(0), uint32Value(1), int32Value(2), uint32Value(3));
    case CommandId::Pwm:
        return setPWM(m_index, int32Value(0));
    case CommandId::PwmStepMode:
        return setPWMStepMode(m_index);
    case CommandId::Relay:
        return setRelay(m_index, uint8Value(0));
    default:
        return VELMOR_ERROR_ARGUMENT;
    }
}

// The library's words for the values the unit's range rules out; empty when none is.
std::string UnitCommands::refusalReason() const
{
    const char *function = settingFunction();
    if (function == nullptr)
        return std::string();
    const std::vector<int64_t> &arguments = m_invocation.values;
    char text[256];
    if (velmorExplainRefusal(m_index, function, arguments.data(), static_cast<int32_t>(arguments.size()), text, sizeof text)
        != VELMOR_OK)
        return std::string();
    return text;
}

// The exported function a setting calls, as velmorExplainRefusal names it; null for a setting
// that no range rules.
const char *UnitCommands::settingFunction() const
{
    switch (m_invocation.spec->id) {
    case CommandId::Speed: return "setMotorSpeed";
    case CommandId::Accel: return "setMotorAcceleration";
    case CommandId::Current: return "setMotorCurrent";
    case CommandId::Backlash: return "setBacklashCompensation";
    case CommandId::HomeSettings: return "setHomeSettings";
    case CommandId::Limits: return "setLimitSwitches";
    case CommandId::Pwm: return "setPWM";
    default: return nullptr;
    }
}

std::string UnitCommands::settingText() const
{
    const std::string unit = unitText();
    switch (m_invocation.spec->id) {
    case CommandId::Speed:
        return "speed of " + unit + " set to " + value(0) + " steps/s, step mode " + value(1);
    case CommandId::Accel:
        return "acceleration of " + unit + " set to " + value(0) + " steps/s^2";
    case CommandId::Current:
        return "current of " + unit + " set to " + value(0) + " mA, current flag " + value(1);
    case CommandId::Backlash:
        return "backlash compensation of " + unit + " set: enabled " + value(0) + ", direction " + value(1)
            + ", amount " + value(2) + " steps";
    case CommandId::HomeSettings:
        return "home settings of " + unit + " set: direction " + value(0) + ", flag B " + value(1) + ", flag A "
            + value(2) + ", value A " + value(3) + ", value B " + value(4);
    case CommandId::Limits:
        return "limit switches of " + unit + " set: input " + value(0) + " type " + value(1) + ", input " + value(2)
            + " type " + value(3);
    case CommandId::Pwm:
        return "PWM value of " + unit + " set to " + value(0);
    case CommandId::PwmStepMode:
        return "PWM output of " + unit + " set to step mode";
    default:
        return "relay of " + unit + " switched " + (m_invocation.values[0] != 0 ? "on" : "off");
    }
}

std::string UnitCommands::unitText() const
{
    return "unit " + m_invocation.unit;
}

std::string UnitCommands::value(size_t argument) const
{
    return std::to_string(m_invocation.values[argument]);
}

// The parser has checked every value against the range of its parameter's type.
int32_t UnitCommands::int32Value(size_t argument) const
{
    return static_cast<int32_t>(m_invocation.values[argument]);
}

uint32_t UnitCommands::uint32Value(size_t argument) const
{
    return static_cast<uint32_t>(m_invocation.values[argument]);
}

uint8_t UnitCommands::uint8Value(size_t argument) const
{
    return static_cast<uint8_t>(m_invocation.values[argument]);
}
