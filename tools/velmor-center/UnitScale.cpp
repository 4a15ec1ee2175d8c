#include "UnitScale.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

int UnitScale::toSteps(double value) const
{
    const double steps = std::round(value * stepsPerUnit);
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return steps <= lowest ? std::numeric_limits<int>::min()
         : steps >= highest ? std::numeric_limits<int>::max()
                            : int(steps);
}

int UnitScale::decimals() const
{
    if (isSteps() || stepsPerUnit <= 1.0)
        return 0;
    return std::min(6, int(std::ceil(std::log10(stepsPerUnit) - 1e-9)));
}

QString UnitScale::suffix() const
{
    return isSteps() ? QCoreApplication::translate("UnitScale", " steps") : QStringLiteral(" ") + unit;
}

QString UnitScale::format(double steps) const
{
    if (isSteps())
        return QCoreApplication::translate("UnitScale", "%1 full steps").arg(steps, 0, 'f', 0);
    return QStringLiteral("%1 %2").arg(toUnit(steps), 0, 'f', decimals()).arg(unit);
}

QString UnitScale::travelText() const
{
    const auto limit = [this](double value) { return QStringLiteral("%1 %2").arg(value).arg(unit); };
    if (travelMin && travelMax)
        return QCoreApplication::translate("UnitScale", "%1 to %2").arg(limit(*travelMin), limit(*travelMax));
    if (travelMin)
        return QCoreApplication::translate("UnitScale", "from %1").arg(limit(*travelMin));
    if (travelMax)
        return QCoreApplication::translate("UnitScale", "up to %1").arg(limit(*travelMax));
    return QString();
}
