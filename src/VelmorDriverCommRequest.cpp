#include "VelmorDriverCommRequest.h"

#include "Assert.h"
#include "HardwareModel.h"
#include "UnitAction.h"

#include <mutex>

QHash<VersionNumber, QHash<qint32, quint8>> VelmorDriverCommRequest::s_commandMap;

namespace {

constexpr qint32 kLastAction = UnitAction::Last;
constexpr qint32 kFirstReadAction = UnitAction::FirstRead;

bool hardwareLacksAction(VersionNumber hardware, qint32 action)
{
    const HardwareModel &model = HardwareModel::of(hardware);
    if (action == UnitAction::RelayOn || action == UnitAction::RelayOff)
        return !model.hasRelay;
    if (action == 19 || action == 20)
        return !model.hasActions19And20;
    return action >= kFirstReadAction && model.readReplyLengths[size_t(action - kFirstReadAction)] == 0;
}

// Actions 0 to 20 are coded from 0x20 on, the read actions 21 to 28 from 0x40 on.
quint8 codeOfAction(qint32 action)
{
    return static_cast<quint8>(action < kFirstReadAction ? 0x20 + action : 0x40 + (action - kFirstReadAction));
}

struct StatusText
{
    quint8 status;
    USBResult::Code code;
    const char *message;
};

const StatusText kStatusTexts[] = {
    {1, USBResult::Error, "Instruction was not recognised by target device"},
    {2, USBResult::Error, "Target device is busy"},
    {100, USBResult::Error, "Motor is busy"},
    {101, USBResult::Error, "Motor is turned off"},
    {102, USBResult::Error, "Motor driver over-current (phase A)"},
    {103, USBResult::Error, "Motor driver over-current (phase B)"},
    {104, USBResult::Error, "Motor short-circuit"},
    {105, USBResult::Error, "Motor driver over-temperature"},
    {106, USBResult::Error, "Motor at start"},
    {107, USBResult::Error, "Motor at end"},
    {108, USBResult::Error, "Motor supply voltage too low or too high"},
    {109, USBResult::Error, "Both end limits are activated"},
    {110, USBResult::Error, "Measuring already in progress"},
    {200, USBResult::Warning, "Some values for the motion configuration were out of range"},
    {201, USBResult::Warning, "Some values for the motor supply configuration were out of range"},
    {202, USBResult::Warning, "Some values for the interface configuration were out of range"},
};

} // namespace

VelmorDriverCommRequest::VelmorDriverCommRequest(VersionNumber descriptor, VersionNumber firmwareVersion, qint32 action)
    : m_action(action)
{
    fillCommandMap();
    VELMOR_ASSERT(s_commandMap.contains(descriptor) && s_commandMap[descriptor].contains(action));
    m_expectedReplyLength = replyLength(descriptor, firmwareVersion, action);
    m_commandCode = s_commandMap.value(descriptor).value(action);
}

bool VelmorDriverCommRequest::supports(VersionNumber descriptor, qint32 action)
{
    fillCommandMap();
    const auto actions = s_commandMap.constFind(descriptor);
    return actions != s_commandMap.constEnd() && actions->contains(action);
}

void VelmorDriverCommRequest::fillCommandMap()
{
    // Filled once and never changed afterwards, so readers need no lock.
    static std::once_flag s_filled;
    std::call_once(s_filled, [] {
        for (VersionNumber hardware : HardwareModel::supportedVersions()) {
            QHash<qint32, quint8> actions;
            for (qint32 action = 0; action <= kLastAction; ++action) {
                if (!hardwareLacksAction(hardware, action))
                    actions.insert(action, codeOfAction(action));
            }
            s_commandMap.insert(hardware, actions);
        }
    });
}

qint32 VelmorDriverCommRequest::replyLength(VersionNumber descriptor, VersionNumber firmwareVersion, qint32 action)
{
    return HardwareModel::of(descriptor).replyLength(action, firmwareVersion);
}

void VelmorDriverCommRequest::setPayload(const QByteArray &data)
{
    m_payload = data;
}

bool VelmorDriverCommRequest::isRaw() const
{
    return false;
}

quint8 VelmorDriverCommRequest::commandCode() const
{
    return m_commandCode;
}

QByteArray VelmorDriverCommRequest::payload() const
{
    return m_payload;
}

USBResult VelmorDriverCommRequest::checkStatus(quint8 status) const
{
    if (status == 0)
        return USBResult();
    for (const StatusText &row : kStatusTexts) {
        if (row.status == status)
            return USBResult(QString::fromLatin1(row.message), row.code);
    }
    return USBResult(QStringLiteral("Instruction stream was corrupted (unexpected return value [%1])").arg(status),
                     USBResult::Error);
}

qint32 VelmorDriverCommRequest::expectedReplyLength() const
{
    return m_expectedReplyLength;
}
