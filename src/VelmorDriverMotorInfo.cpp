#include "VelmorDriverMotorInfo.h"

#include "HardwareModel.h"
#include "Assert.h"
#include "LittleEndian.h"

VelmorDriverMotorInfo::VelmorDriverMotorInfo(const QByteArray &data)
{
    VELMOR_ASSERT(data.count() == 14);
    m_firstWord = LittleEndian::read32(data, 0);
    m_position = static_cast<qint32>(LittleEndian::read32(data, 4)); // two's complement
    m_stepMode = LittleEndian::read8(data, 8);
    m_flag9 = LittleEndian::read8(data, 9);
    m_flag10 = LittleEndian::read8(data, 10);
    m_ready = LittleEndian::read8(data, 11);
    m_flag12 = LittleEndian::read8(data, 12);
    m_flag13 = LittleEndian::read8(data, 13);
}

VelmorDriverMotorInfo::~VelmorDriverMotorInfo()
{
    m_recordListeners.notifyDestroyed(this);
}

// Step mode n counts in 1/2^(k - n) steps, k being the hardware's full-step mode.
double VelmorDriverMotorInfo::positionInSteps(VersionNumber hardwareVersion) const
{
    const quint32 fullStepMode = HardwareModel::of(hardwareVersion).fullStepMode;
    if (m_stepMode > fullStepMode)
        return 0.0;
    return m_position / static_cast<double>(1u << (fullStepMode - m_stepMode));
}
