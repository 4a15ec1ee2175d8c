// move-to, move-by and home: start the move and, with --wait, follow it until the motor is
// ready again. An interrupt during the wait stops the motor.
#ifndef VELMORCTL_MOVECOMMAND_H
#define VELMORCTL_MOVECOMMAND_H

#include "CommandResult.h"
#include "Invocation.h"
#include "MotionWait.h"
#include "ProfileScale.h"

#include <optional>

class MoveCommand
{
public:
    MoveCommand(const Invocation &invocation, int32_t index);

    CommandResult run() const;

private:
    int32_t startMove() const;
    CommandResult startAndWait() const;
    CommandResult ended(const WaitOutcome &outcome) const;
    CommandResult reached(int32_t position) const;
    CommandResult timedOut(int32_t position) const;
    CommandResult interrupted(int32_t position) const;
    // The members of the JSON object of a waited move.
    static JsonObject waitFields(int32_t position, bool timedOut, bool interrupted);
    std::optional<int32_t> target(int32_t start) const;
    std::string startedText() const;
    std::string unitText() const;
    // "400" without a profile, "2 mm (400 steps)" with one
    std::string positionText(int64_t steps) const;
    // A move the library refused: why, in words, when the profile's travel limits say it.
    CommandResult refused(int32_t code) const;

    const Invocation &m_invocation;
    int32_t m_index;
    // The loaded profile of the unit; the number typed is in its unit unless --steps.
    std::optional<ProfileScale> m_scale;
    int32_t m_steps = 0;            // the position or distance in full steps
    std::string m_problem;          // why the number typed gives no full steps
};

#endif
