// A profile against a unit: the unit's own profile read from it, a profile's settings applied
// to it with a report per setting, and the settings that differ. Built on the library's own
// functions, each of which takes the lock for itself.
#ifndef PROFILEAPPLICATION_H
#define PROFILEAPPLICATION_H

#include "UnitProfile.h"

#include <QByteArray>
#include <cstdint>

namespace ProfileApplication {

// The unit's profile as JSON; the code of a read that failed otherwise.
int32_t read(int32_t deviceIndex, QByteArray *json);

struct ApplyOptions
{
    bool fix = false;     // a value the unit refuses goes as the nearest value it accepts
    bool dryRun = false;  // nothing is written: the report says what would be
};
// Writes the settings that differ, in the order the unit takes them; the report (JSON) names
// each setting: "applied", "unchanged", "fixed" (with the value written), "refused" (with the
// unit's range) or "failed" (with the call's result code). Returns 0, or the code of the first
// setting refused or failed.
int32_t apply(int32_t deviceIndex, const UnitProfile &profile, const ApplyOptions &options, QByteArray *report);
// The settings of the profile that the unit does not hold now (JSON); the code of a read that
// failed otherwise.
int32_t diff(int32_t deviceIndex, const UnitProfile &profile, QByteArray *report);

} // namespace ProfileApplication

#endif // PROFILEAPPLICATION_H
