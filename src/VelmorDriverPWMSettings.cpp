#include "VelmorDriverPWMSettings.h"

#include "HardwareModel.h"
#include "LittleEndian.h"

namespace {
const qint32 s_streamVersion = 1;
const qint32 s_defaultLimit = 100;
} // namespace

VelmorDriverPWMSettings::VelmorDriverPWMSettings()
{
    setValue(PwmValue, 0);
    setValue(PwmLimit, s_defaultLimit);
    setValue(PwmStepMode, 0);
    setValue(SecondValue, 0);
    setValue(SecondLimit, s_defaultLimit);
    setValue(PwmSetting5, 0);
}

void VelmorDriverPWMSettings::onValueChanged(qint32 key, qint32 reason)
{
    Q_UNUSED(key);
    Q_UNUSED(reason);
    // Each setValue below runs this hook again, which then finds the value within its limit.
    if (intValue(PwmLimit) < intValue(PwmValue))
        setValue(PwmValue, intValue(PwmLimit));
    if (intValue(SecondLimit) < intValue(SecondValue))
        setValue(SecondValue, intValue(SecondLimit));
}

QByteArray VelmorDriverPWMSettings::encode(VersionNumber hardwareVersion, VersionNumber deviceVersion) const
{
    QByteArray bytes;
    LittleEndian::append8(bytes, intValue(PwmValue));
    const HardwareModel &model = HardwareModel::of(hardwareVersion);
    if (model.pwmStepModeFrom && deviceVersion >= *model.pwmStepModeFrom)
        LittleEndian::append8(bytes, intValue(PwmStepMode));
    if (model.secondPwmValue)
        LittleEndian::append8(bytes, intValue(SecondValue));
    return bytes;
}

void VelmorDriverPWMSettings::write(QDataStream &stream) const
{
    stream << s_streamVersion;
    Properties::write(stream);
}

void VelmorDriverPWMSettings::read(QDataStream &stream)
{
    qint32 version = 0;
    stream >> version;
    if (version != s_streamVersion)
        throw StreamableVersionException(QStringLiteral("src\\VelmorDriverPWMSettings"), __LINE__, version);
    Properties::read(stream);
    const struct {
        Key key;
        qint32 value;
    } defaults[] = {{PwmStepMode, 0}, {PwmLimit, s_defaultLimit}, {SecondValue, 0}, {PwmSetting5, 0},
                    {SecondLimit, s_defaultLimit}};
    for (const auto &entry : defaults)
        if (!contains(entry.key))
            setValue(entry.key, entry.value);
}
