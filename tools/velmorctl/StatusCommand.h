// status: what a unit is, its motor status, every setting read back and the values it accepts,
// read through the companion API.
#ifndef VELMORCTL_STATUSCOMMAND_H
#define VELMORCTL_STATUSCOMMAND_H

#include "CommandResult.h"
#include "ProfileScale.h"
#include "VelmorLibExtras.h"

#include <optional>
#include <string>

class StatusCommand
{
public:
    StatusCommand(int32_t index, std::string unitText, std::optional<ProfileScale> scale);

    CommandResult run() const;

private:
    struct Readings
    {
        VelmorUnitInfo info;
        VelmorMotorStatus motor;
        VelmorMotionSettings motion;
        VelmorMotorSettings motorSettings;
        VelmorMoveSettings move;
        VelmorLimits limits;
    };

    // 0, or the code of the first read that failed.
    int32_t read(Readings &readings) const;
    std::string text(const Readings &readings) const;
    JsonObject fields(const Readings &readings) const;
    std::string profileText(const Readings &readings) const;
    static std::string readiness(const VelmorMotorStatus &motor);

    int32_t m_index;
    std::string m_unitText;
    std::optional<ProfileScale> m_scale;    // the unit's loaded profile
};

#endif
