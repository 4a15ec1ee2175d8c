// The physical unit a unit's loaded profile gives its positions in, with full steps per that
// unit and its travel limits; full steps, without limits, for a unit without a profile.
#ifndef VELMORCENTER_UNITSCALE_H
#define VELMORCENTER_UNITSCALE_H

#include <QMetaType>
#include <QString>

#include <optional>

struct UnitScale
{
    QString name;                   // the profile's name of the unit, "" when it has none
    QString unit;                   // "mm"; empty: full steps
    double stepsPerUnit = 1.0;      // full steps per unit
    std::optional<double> travelMin;    // in the unit
    std::optional<double> travelMax;

    bool isSteps() const { return unit.isEmpty(); }
    bool hasLimits() const { return travelMin.has_value() || travelMax.has_value(); }
    double toUnit(double steps) const { return steps / stepsPerUnit; }
    // Whole full steps nearest to `value` in the unit, held within what a move takes.
    int toSteps(double value) const;
    // Decimals that show one full step.
    int decimals() const;
    // " mm", or " steps" for full steps.
    QString suffix() const;
    // "12.500 mm", or "2500 full steps".
    QString format(double steps) const;
    // "-5 mm to 120 mm", "from -5 mm", "up to 120 mm"; "" without limits.
    QString travelText() const;
};

Q_DECLARE_METATYPE(UnitScale)

#endif
