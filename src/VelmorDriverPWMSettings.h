// The PWM output settings sent with the set-PWM command; built from defaults, never read back.
#ifndef VELMORDRIVERPWMSETTINGS_H
#define VELMORDRIVERPWMSETTINGS_H

#include "Properties.h"
#include "VelmorDriverPWMSettingsTraits.h"
#include "VersionNumber.h"

#include <QByteArray>

class VelmorDriverPWMSettings : public Properties<VelmorDriverPWMSettingsTraits>, public VelmorDriverPWMSettingsTraits
{
public:
    VelmorDriverPWMSettings();

    void write(QDataStream &stream) const override;
    void read(QDataStream &stream) override;
    // Keeps each value within its limit, whichever key changed.
    void onValueChanged(qint32 key, qint32 reason) override;

    QByteArray encode(VersionNumber hardwareVersion, VersionNumber deviceVersion) const;
};

#endif // VELMORDRIVERPWMSETTINGS_H
