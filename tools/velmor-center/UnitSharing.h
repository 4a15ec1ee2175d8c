// Whether the application shares the units with other programs through velmord, the program
// that owns the units and serves every program's calls, or opens them itself.
#ifndef VELMORCENTER_UNITSHARING_H
#define VELMORCENTER_UNITSHARING_H

#include <QMetaType>
#include <QString>

struct UnitSharing
{
    bool velmordRuns = false;
    // The application's calls go to velmord: the selected unit, held through velmord, stays
    // open to other programs. False while velmord runs but the selected unit was held here
    // before velmord took the calls; selecting it again moves the hold to velmord.
    bool throughVelmord = false;
    QString socket;                 // velmord's socket, where it runs
    int programs = 0;               // the programs velmord serves, this one included

    bool operator==(const UnitSharing &other) const
    {
        return velmordRuns == other.velmordRuns && throughVelmord == other.throughVelmord && socket == other.socket
            && programs == other.programs;
    }
    bool operator!=(const UnitSharing &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(UnitSharing)

#endif
