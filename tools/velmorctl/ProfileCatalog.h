// The profiles the library loaded for this run, as velmorctl needs them: which units have one
// and what each says of positions. The library stays the one that enforces travel limits; this
// only lets velmorctl speak in the profile's unit.
#ifndef VELMORCTL_PROFILECATALOG_H
#define VELMORCTL_PROFILECATALOG_H

#include "ProfileScale.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class ProfileCatalog
{
public:
    // Loads the default folders (velmorLoadProfiles(NULL)); returns each file left out,
    // "PATH: line N: why".
    static std::vector<std::string> load();
    // The profile of the unit listed (or held) at `index`; nothing for a unit without one,
    // found without a call on the unit when no profile is loaded.
    static std::optional<ProfileScale> scaleOf(int32_t index);
    // Where a unit's own profile file is looked for: VELMOR_PROFILES when it names a folder,
    // else velmorlib/units in the user's configuration folder.
    static std::string userFolder();
    // The scale a profile document gives; nothing when it does not parse.
    static std::optional<ProfileScale> scaleFromJson(const std::string &json);

    // A text the library writes into a buffer (velmorReadProfile and its kind), read whole: the
    // call runs again with a buffer of the size it asked for. Only for calls that change nothing.
    static int32_t readText(const std::function<int32_t(char *, uint32_t, uint32_t *)> &call, std::string *text);

private:
    static std::map<std::string, ProfileScale> s_scales;    // by serial number in lower case
    static bool s_readsUnits;   // a loaded file velmorctl could not read: ask the library per unit
};

#endif
