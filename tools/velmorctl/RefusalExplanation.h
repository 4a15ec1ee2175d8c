// Why a unit refused a setting, in words with its range, from what the library says the unit
// accepts (velmorGetLimits): "8001 mA is above the 8000 mA maximum of this unit (hardware 1.2)".
// The tool asks only after a setting failed: the library stays the judge of every value, and a
// value that fits costs nothing more.
#ifndef VELMORCTL_REFUSALEXPLANATION_H
#define VELMORCTL_REFUSALEXPLANATION_H

#include "Invocation.h"
#include "VelmorLibExtras.h"

#include <string>
#include <vector>

class RefusalExplanation
{
public:
    RefusalExplanation(const Invocation &invocation, const VelmorLimits &limits);

    // The reasons found, joined; empty when no value is outside the unit's range.
    std::string text() const;

private:
    void current(std::vector<std::string> &reasons) const;
    void speed(std::vector<std::string> &reasons) const;
    void acceleration(std::vector<std::string> &reasons) const;
    void backlash(std::vector<std::string> &reasons) const;
    void homeSettings(std::vector<std::string> &reasons) const;
    void limitSwitches(std::vector<std::string> &reasons) const;
    void pwm(std::vector<std::string> &reasons) const;
    void direction(int64_t value, std::vector<std::string> &reasons) const;
    std::string ofThisUnit() const;
    int64_t value(size_t argument) const { return m_invocation.values[argument]; }

    const Invocation &m_invocation;
    const VelmorLimits &m_limits;
};

#endif
