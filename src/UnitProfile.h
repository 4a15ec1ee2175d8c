// A unit's profile: its name, the physical unit positions are given in with full steps per
// that unit, travel limits in it (either side optional), and the unit's settings, each
// optional. Written as a versioned JSON document, one per unit, keyed by the unit's serial.
#ifndef UNITPROFILE_H
#define UNITPROFILE_H

#include <QByteArray>
#include <QString>
#include <optional>

struct ProfileSettings
{
    std::optional<qint64> speed;
    std::optional<qint64> stepMode;
    std::optional<qint64> acceleration;
    std::optional<qint64> current;
    std::optional<qint64> currentFlag;
    std::optional<qint64> backlashEnabled;
    std::optional<qint64> backlashDirection;
    std::optional<qint64> backlashAmount;
    std::optional<qint64> homeDirection;
    std::optional<qint64> homeFlagA;
    std::optional<qint64> homeFlagB;
    std::optional<qint64> homeValueA;
    std::optional<qint64> homeValueB;
    std::optional<qint64> input1;
    std::optional<qint64> type1;
    std::optional<qint64> input2;
    std::optional<qint64> type2;
    std::optional<qint64> pwm;
    std::optional<bool> pwmStepMode;
    std::optional<qint64> relay;
};

class UnitProfile
{
public:
    static constexpr int kVersion = 1;

    QString serialNumber;
    QString name;
    QString unit = QStringLiteral("steps");
    double stepsPerUnit = 1.0;
    std::optional<double> travelMin;
    std::optional<double> travelMax;
    ProfileSettings settings;

    // The profile a document holds; nothing, with `error` saying where and why ("line 3: ..."),
    // when it does not parse, is of a newer version, or holds a value of the wrong kind.
    static std::optional<UnitProfile> fromJson(const QByteArray &text, QString *error);
    QByteArray toJson() const;

    // Travel limits in full steps.
    std::optional<double> travelMinSteps() const;
    std::optional<double> travelMaxSteps() const;
    // Whether a move from `current` to `target` (full steps) stays within the travel limits,
    // or at least comes closer to them from outside.
    bool allowsMove(double current, double target) const;
};

#endif // UNITPROFILE_H
