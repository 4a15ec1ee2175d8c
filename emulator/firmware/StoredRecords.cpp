#include "StoredRecords.h"

#include "ByteOrder.h"
#include "MotionConfigurationRecord.h"

#include <algorithm>

namespace velmor_firmware {

namespace {
constexpr uint8_t s_noInputFunction = 0xFF;
constexpr uint8_t s_inputFormatByte = 4;
constexpr uint8_t s_defaultInputSetting13 = 5;
constexpr size_t s_motorInformationLength = 14;
} // namespace

StoredRecords::StoredRecords(const UnitModel &model)
    : m_model(model)
{
    m_records[RecordKind::MotionConfiguration] =
        MotionConfigurationRecord::defaults(model.motionConfigurationLength(), model.fullStepMode()).bytes();
    m_records[RecordKind::MotorConfiguration] = defaultMotorConfiguration();
    m_records[RecordKind::InputConfiguration] = defaultInputConfiguration();
    m_records[RecordKind::AdvancedMoveConfiguration] = defaultAdvancedMoveConfiguration();
    m_records[RecordKind::PwmSettings] = std::vector<uint8_t>(model.pwmSettingsLength(), 0);
    m_records[RecordKind::MotorInformation] = std::vector<uint8_t>(s_motorInformationLength, 0);
    m_records[RecordKind::Block21] = std::vector<uint8_t>(model.readLength(21), 0);
    m_records[RecordKind::Block26] = std::vector<uint8_t>(model.readLength(26), 0);
    m_records[RecordKind::Block28] = std::vector<uint8_t>(model.readLength(28), 0);
}

const std::vector<RecordKind> &StoredRecords::allKinds()
{
    static const std::vector<RecordKind> s_kinds = {
        RecordKind::MotionConfiguration, RecordKind::MotorConfiguration, RecordKind::InputConfiguration,
        RecordKind::AdvancedMoveConfiguration, RecordKind::PwmSettings, RecordKind::MotorInformation,
        RecordKind::Block21, RecordKind::Block26, RecordKind::Block28};
    return s_kinds;
}

size_t StoredRecords::length(RecordKind kind) const
{
    return m_records.at(kind).size();
}

const std::vector<uint8_t> &StoredRecords::bytes(RecordKind kind) const
{
    return m_records.at(kind);
}

bool StoredRecords::store(RecordKind kind, const std::vector<uint8_t> &bytes)
{
    std::vector<uint8_t> &record = m_records.at(kind);
    if (bytes.size() != record.size())
        return false;
    record = bytes;
    return true;
}

// Scaled value A 1.000, current, word 100, current flag off, byte 2, scaled value B 0.500
// [, extended flag off].
std::vector<uint8_t> StoredRecords::defaultMotorConfiguration() const
{
    std::vector<uint8_t> bytes(m_model.motorConfigurationLength(), 0);
    byte_order::putLittle16(bytes, 0, 1000);
    byte_order::putLittle16(bytes, 2, std::min(s_defaultCurrent, m_model.maximumCurrent()));
    byte_order::putLittle16(bytes, 4, 100);
    bytes[7] = 2;
    byte_order::putLittle16(bytes, 8, 500);
    return bytes;
}

// No channel assigned, every setting 0, the format byte, and setting 13 at 5 where the unit has it.
std::vector<uint8_t> StoredRecords::defaultInputConfiguration() const
{
    const size_t channels = static_cast<size_t>(m_model.inputChannelCount());
    std::vector<uint8_t> bytes(m_model.inputConfigurationLength(), 0);
    std::fill(bytes.begin(), bytes.begin() + static_cast<long>(channels), s_noInputFunction);
    bytes[channels + 10] = s_inputFormatByte;
    if (bytes.size() > channels + 14)
        bytes[channels + 14] = s_defaultInputSetting13;
    return bytes;
}

// Backlash off, homing mode 1, everything else 0.
std::vector<uint8_t> StoredRecords::defaultAdvancedMoveConfiguration()
{
    std::vector<uint8_t> bytes(11, 0);
    bytes[4] = 1;
    return bytes;
}

} // namespace velmor_firmware
