#include "MoveCommand.h"

#include "ExitStatus.h"
#include "InterruptGuard.h"
#include "ProfileCatalog.h"
#include "Reporter.h"
#include "VelmorLib.h"

#include <algorithm>
#include <cstdio>
#include <limits>

MoveCommand::MoveCommand(const Invocation &invocation, int32_t index)
    : m_invocation(invocation), m_index(index), m_scale(ProfileCatalog::scaleOf(index))
{
    if (m_invocation.spec->id == CommandId::Home)
        return;
    if (m_scale && !m_invocation.inSteps) {
        if (!m_scale->toSteps(m_invocation.quantity, &m_steps))
            m_problem = m_scale->limitText(m_invocation.quantity)
                + " is beyond the full steps a move takes (-2147483648 to 2147483647)";
    } else if (m_invocation.fractional) {
        m_problem = m_invocation.quantityText + " is not a whole number of full steps: " + unitText()
            + " has no loaded profile that gives its positions in another unit";
    } else {
        m_steps = static_cast<int32_t>(m_invocation.values[0]);
    }
}

CommandResult MoveCommand::run() const
{
    if (!m_problem.empty()) {
        CommandResult result = CommandResult::of(VELMOR_ERROR_ARGUMENT, "");
        result.text += ": " + m_problem;
        result.fields.addText("reason", m_problem);
        return result;
    }
    if (!m_invocation.wait) {
        const int32_t code = startMove();
        return code == VELMOR_ERROR_ARGUMENT ? refused(code) : CommandResult::of(code, startedText());
    }
    return startAndWait();
}

CommandResult MoveCommand::refused(int32_t code) const
{
    CommandResult result = CommandResult::of(code, "");
    if (!m_scale || m_invocation.spec->id == CommandId::Home)
        return result;
    int64_t target = m_steps;
    if (m_invocation.spec->id == CommandId::MoveBy) {
        int32_t start = 0;
        if (getAbsolutePosition(m_index, &start) != VELMOR_OK)
            return result;
        target += start;
    }
    const std::string reason = m_scale->beyondTravel(target);
    if (!reason.empty()) {
        result.text += ": " + reason;
        result.fields.addText("reason", reason).addNumber("target", target);
    }
    return result;
}

int32_t MoveCommand::startMove() const
{
    switch (m_invocation.spec->id) {
    case CommandId::MoveTo:
        return moveMotorAbsolute(m_index, m_steps);
    case CommandId::MoveBy:
        return moveMotorRelative(m_index, m_steps);
    default:
        return moveMotorHome(m_index);
    }
}

// The guard is up before the move starts, so that an interrupt at any point after it stops the
// motor.
CommandResult MoveCommand::startAndWait() const
{
    InterruptGuard guard;
    int32_t start = 0;
    int32_t code = getAbsolutePosition(m_index, &start);
    if (code == VELMOR_OK)
        code = startMove();
    if (code == VELMOR_ERROR_ARGUMENT)
        return refused(code);
    if (code != VELMOR_OK)
        return CommandResult::of(code, "");
    if (InterruptGuard::raised())
        return interrupted(start);
    const MotionWait wait(m_index, Reporter::subject(m_invocation), start, target(start));
    return ended(wait.run(m_invocation.timeoutSeconds));
}

CommandResult MoveCommand::ended(const WaitOutcome &outcome) const
{
    switch (outcome.end) {
    case WaitOutcome::End::Ready:
        return reached(outcome.position);
    case WaitOutcome::End::TimedOut:
        return timedOut(outcome.position);
    case WaitOutcome::End::Interrupted:
        return interrupted(outcome.position);
    case WaitOutcome::End::Failed:
        break;
    }
    return CommandResult::of(outcome.code, "");
}

CommandResult MoveCommand::reached(int32_t position) const
{
    std::string text;
    if (m_invocation.spec->id == CommandId::Home)
        text = unitText() + " is home, at position " + positionText(position);
    else
        text = unitText() + " reached position " + positionText(position);
    CommandResult result = CommandResult::of(VELMOR_OK, text);
    result.fields = waitFields(position, false, false);
    if (m_scale)
        result.fields.addExactNumber("positionInUnit", m_scale->inUnit(position)).addText("profileUnit", m_scale->unit);
    return result;
}

CommandResult MoveCommand::timedOut(int32_t position) const
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", m_invocation.timeoutSeconds);
    CommandResult result = CommandResult::of(VELMOR_OK, "");
    result.exitStatus = ExitStatus::s_timedOut;
    result.text = std::string("timed out after ") + seconds + " s; the motor is still moving (position "
        + std::to_string(position) + ")";
    result.fields = waitFields(position, true, false);
    return result;
}

CommandResult MoveCommand::interrupted(int32_t position) const
{
    const int32_t stopCode = stopMotor(m_index);
    if (stopCode == VELMOR_OK)
        getAbsolutePosition(m_index, &position);
    CommandResult result = CommandResult::of(stopCode, "");
    result.exitStatus = ExitStatus::s_interrupted;
    if (stopCode == VELMOR_OK)
        result.text = "interrupted; stopped the motor at position " + std::to_string(position);
    else
        result.text = "interrupted; stopping the motor failed: " + CommandResult::textOf(stopCode) + " (code "
            + std::to_string(stopCode) + ")";
    result.fields = waitFields(position, false, true);
    result.fields.addBool("stopped", stopCode == VELMOR_OK);
    return result;
}

JsonObject MoveCommand::waitFields(int32_t position, bool timedOut, bool interrupted)
{
    JsonObject fields;
    fields.addBool("waited", true).addNumber("position", static_cast<int64_t>(position));
    fields.addBool("timed_out", timedOut).addBool("interrupted", interrupted);
    return fields;
}

std::optional<int32_t> MoveCommand::target(int32_t start) const
{
    switch (m_invocation.spec->id) {
    case CommandId::MoveTo:
        return m_steps;
    case CommandId::MoveBy: {
        const int64_t end = static_cast<int64_t>(start) + m_steps;
        return static_cast<int32_t>(std::clamp<int64_t>(end, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    }
    default:
        return std::nullopt;
    }
}

std::string MoveCommand::startedText() const
{
    switch (m_invocation.spec->id) {
    case CommandId::MoveTo:
        return unitText() + " moving to position " + positionText(m_steps);
    case CommandId::MoveBy:
        if (m_scale)
            return unitText() + " moving by " + m_scale->positionText(m_steps);
        return unitText() + " moving by " + std::to_string(m_steps) + " steps";
    default:
        return unitText() + " moving home";
    }
}

std::string MoveCommand::unitText() const
{
    return "unit " + m_invocation.unit;
}

std::string MoveCommand::positionText(int64_t steps) const
{
    return m_scale ? m_scale->positionText(steps) : std::to_string(steps);
}
