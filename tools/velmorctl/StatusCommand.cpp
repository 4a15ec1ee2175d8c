#include "StatusCommand.h"

#include "UnitInfoText.h"
#include "VelmorLib.hpp"

#include <cstdio>

namespace {

std::string number(int64_t value)
{
    return std::to_string(value);
}

std::string onOff(int32_t flag)
{
    return flag != 0 ? "on" : "off";
}

} // namespace

StatusCommand::StatusCommand(int32_t index, std::string unitText, std::optional<ProfileScale> scale)
    : m_index(index), m_unitText(std::move(unitText)), m_scale(std::move(scale))
{
}

CommandResult StatusCommand::run() const
{
    using velmor::sized;
    Readings readings{sized<VelmorUnitInfo>(), sized<VelmorMotorStatus>(), sized<VelmorMotionSettings>(),
                      sized<VelmorMotorSettings>(), sized<VelmorMoveSettings>(), sized<VelmorLimits>()};
    CommandResult result = CommandResult::of(read(readings), "");
    if (result.failed())
        return result;
    result.text = text(readings);
    result.fields = fields(readings);
    return result;
}

int32_t StatusCommand::read(Readings &readings) const
{
    int32_t code = velmorGetUnitInfo(m_index, &readings.info);
    if (code == VELMOR_OK)
        code = velmorGetMotorStatus(m_index, &readings.motor);
    if (code == VELMOR_OK)
        code = velmorReadMotionSettings(m_index, &readings.motion);
    if (code == VELMOR_OK)
        code = velmorReadMotorSettings(m_index, &readings.motorSettings);
    if (code == VELMOR_OK)
        code = velmorReadMoveSettings(m_index, &readings.move);
    if (code == VELMOR_OK)
        code = velmorGetLimits(m_index, &readings.limits);
    return code;
}

std::string StatusCommand::readiness(const VelmorMotorStatus &motor)
{
    if (motor.moveGate == VELMOR_OK)
        return "ready";
    return CommandResult::textOf(motor.moveGate);
}

std::string StatusCommand::text(const Readings &r) const
{
    const VelmorLimits &limits = r.limits;
    char location[16];
    std::snprintf(location, sizeof location, "0x%04x", static_cast<unsigned>(r.info.locationId));
    return m_unitText + ": " + r.info.serialNumber + " on " + velmorChipName(r.info.chipType) + " at location "
        + location + ", hardware " + UnitInfoText::hardware(r.info) + ", firmware " + UnitInfoText::firmware(r.info)
        + ", stored serial " + r.info.storedSerialNumber + profileText(r)
        + "\n  position " + number(r.motor.position) + " full steps"
        + (m_scale ? ", " + m_scale->quantity(r.motor.position) : std::string()) + " (counter " + number(r.motor.rawPosition)
        + " at step mode " + number(r.motor.stepMode) + "), " + readiness(r.motor)
        + "\n  speed " + number(r.motion.speed) + " steps/s, step mode " + number(r.motion.stepMode)
        + ", acceleration " + number(r.motion.acceleration) + " steps/s^2 ("
        + (r.motion.accelerationMode != 0 ? "ramped" : "no ramp") + "), alternate speed "
        + number(r.motion.alternateSpeed) + " steps/s (" + onOff(r.motion.alternateSpeedEnabled) + ")"
        + "\n  current " + number(r.motorSettings.current) + " mA, current flag " + number(r.motorSettings.currentFlag)
        + "\n  backlash compensation " + onOff(r.move.backlashEnabled) + ", direction "
        + number(r.move.backlashDirection) + ", " + number(r.move.backlashAmount) + " steps"
        + "\n  homing direction " + number(r.move.homeDirection) + ", flag A " + number(r.move.homeFlagA)
        + ", flag B " + number(r.move.homeFlagB) + ", value A " + number(r.move.homeValueA) + ", value B "
        + number(r.move.homeValueB)
        + "\n  accepts: current " + number(limits.minimumCurrent) + " to " + number(limits.maximumCurrent)
        + " mA, step rate up to " + number(limits.maximumStepRate) + " steps/s, step mode up to "
        + number(limits.largestStepMode) + ", limit-switch inputs 1 to " + number(limits.inputChannels)
        + ", home values up to " + number(limits.largestHomeValue) + ", PWM up to " + number(limits.pwmLimit)
        + (limits.hasRelay != 0 ? ", a relay" : ", no relay");
}

// The profile's line, after what the unit is: empty for a unit without a loaded profile.
std::string StatusCommand::profileText(const Readings &) const
{
    if (!m_scale)
        return std::string();
    char steps[64];
    std::snprintf(steps, sizeof steps, "%.10g", m_scale->stepsPerUnit);
    return "\n  profile " + (m_scale->name.empty() ? std::string("(no name)") : "\"" + m_scale->name + "\"")
        + ": positions in " + m_scale->unit + ", " + steps + " full steps per " + m_scale->unit + ", travel limits "
        + m_scale->travelText();
}

JsonObject StatusCommand::fields(const Readings &r) const
{
    JsonObject info;
    info.addText("serial", r.info.serialNumber).addText("description", r.info.description)
        .addText("chip", velmorChipName(r.info.chipType)).addNumber("location", int64_t(r.info.locationId))
        .addText("hardware", UnitInfoText::hardware(r.info)).addText("firmware", UnitInfoText::firmware(r.info))
        .addText("storedSerial", r.info.storedSerialNumber);
    JsonObject motor;
    motor.addNumber("position", int64_t(r.motor.position)).addNumber("positionInSteps", r.motor.positionInSteps)
        .addNumber("rawPosition", int64_t(r.motor.rawPosition)).addNumber("stepMode", int64_t(r.motor.stepMode))
        .addNumber("readyByte", int64_t(r.motor.ready)).addBool("ready", r.motor.moveGate == VELMOR_OK)
        .addNumber("moveGate", int64_t(r.motor.moveGate));
    JsonObject motion;
    motion.addNumber("speed", int64_t(r.motion.speed)).addNumber("stepMode", int64_t(r.motion.stepMode))
        .addNumber("acceleration", int64_t(r.motion.acceleration))
        .addBool("ramped", r.motion.accelerationMode != 0)
        .addNumber("alternateSpeed", int64_t(r.motion.alternateSpeed))
        .addBool("alternateSpeedEnabled", r.motion.alternateSpeedEnabled != 0);
    JsonObject current;
    current.addNumber("milliamperes", int64_t(r.motorSettings.current))
        .addNumber("flag", int64_t(r.motorSettings.currentFlag));
    JsonObject move;
    move.addBool("backlashEnabled", r.move.backlashEnabled != 0)
        .addNumber("backlashDirection", int64_t(r.move.backlashDirection))
        .addNumber("backlashAmount", int64_t(r.move.backlashAmount))
        .addNumber("homeDirection", int64_t(r.move.homeDirection)).addNumber("homeFlagA", int64_t(r.move.homeFlagA))
        .addNumber("homeFlagB", int64_t(r.move.homeFlagB)).addNumber("homeValueA", int64_t(r.move.homeValueA))
        .addNumber("homeValueB", int64_t(r.move.homeValueB));
    JsonObject limits;
    limits.addNumber("minimumCurrent", int64_t(r.limits.minimumCurrent))
        .addNumber("maximumCurrent", int64_t(r.limits.maximumCurrent))
        .addNumber("maximumStepRate", int64_t(r.limits.maximumStepRate))
        .addNumber("largestStepMode", int64_t(r.limits.largestStepMode))
        .addNumber("largestAcceleration", int64_t(r.limits.largestAcceleration))
        .addNumber("inputChannels", int64_t(r.limits.inputChannels)).addBool("relay", r.limits.hasRelay != 0)
        .addNumber("pwmLimit", int64_t(r.limits.pwmLimit));
    JsonObject fields;
    if (m_scale) {
        JsonObject profile;
        profile.addText("name", m_scale->name).addText("unit", m_scale->unit)
            .addExactNumber("stepsPerUnit", m_scale->stepsPerUnit);
        if (m_scale->travelMin)
            profile.addExactNumber("travelMin", *m_scale->travelMin);
        else
            profile.addNull("travelMin");
        if (m_scale->travelMax)
            profile.addExactNumber("travelMax", *m_scale->travelMax);
        else
            profile.addNull("travelMax");
        profile.addExactNumber("position", m_scale->inUnit(r.motor.position));
        fields.addObject("profile", profile);
    }
    return fields.addObject("info", info).addObject("motor", motor).addObject("motion", motion)
        .addObject("current", current).addObject("move", move).addObject("limits", limits);
}
