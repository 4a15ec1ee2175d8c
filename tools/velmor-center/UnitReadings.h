// The library's records and result codes in the application's terms: what the window shows of
// a unit, read by the worker.
#ifndef VELMORCENTER_UNITREADINGS_H
#define VELMORCENTER_UNITREADINGS_H

#include "ProfileRequest.h"
#include "UnitRanges.h"
#include "UnitScale.h"
#include "UnitSettings.h"
#include "UnitStatus.h"
#include "VelmorLibExtras.h"

#include <QCoreApplication>
#include <QString>

class UnitReadings
{
    Q_DECLARE_TR_FUNCTIONS(UnitReadings)

public:
    // The library's words for a result code: "opening the unit failed".
    static QString resultText(int32_t code);
    // "opening the unit failed (code 3)"
    static QString resultWithCode(int32_t code);
    static UnitRanges ranges(const VelmorLimits &limits);
    static UnitSettings settings(const VelmorMotionSettings &motion, const VelmorMotorSettings &motor,
                                 const VelmorMoveSettings &move);
    static UnitStatus status(const VelmorMotorStatus &motor);
    // The name, unit and travel limits of a profile as velmorReadProfile gives it.
    static UnitScale scale(const QByteArray &profile);
    // The rows of velmorApplyProfile's report (Load) or velmorDiffProfile's (Compare), and the
    // reason a profile was taken in no part.
    static void fillOutcome(const QByteArray &report, ProfileOutcome *outcome);
};

#endif
