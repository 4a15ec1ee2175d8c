// A major.minor version pair, ordered by major then minor: hardware versions come from serial
// numbers, firmware versions from the bootloader's information page.
#ifndef VERSIONNUMBER_H
#define VERSIONNUMBER_H

#include <QHashFunctions>
#include <cstdint>

struct VersionNumber
{
    quint32 major = 0;
    quint32 minor = 0;

    constexpr VersionNumber() = default;
    constexpr VersionNumber(quint32 major, quint32 minor)
        : major(major)
        , minor(minor)
    {
    }

    friend constexpr bool operator==(VersionNumber a, VersionNumber b) { return a.major == b.major && a.minor == b.minor; }
    friend constexpr bool operator!=(VersionNumber a, VersionNumber b) { return !(a == b); }
    friend constexpr bool operator<(VersionNumber a, VersionNumber b)
    {
        return a.major < b.major || (a.major == b.major && a.minor < b.minor);
    }
    friend constexpr bool operator>(VersionNumber a, VersionNumber b) { return b < a; }
    friend constexpr bool operator<=(VersionNumber a, VersionNumber b) { return !(b < a); }
    friend constexpr bool operator>=(VersionNumber a, VersionNumber b) { return !(a < b); }
};

// Hardware versions key the command map by major * 100 + minor.
inline uint qHash(VersionNumber version, uint seed = 0)
{
    return ::qHash(version.major * 100u + version.minor, seed);
}

#endif // VERSIONNUMBER_H
