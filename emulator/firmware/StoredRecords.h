// The unit's records as it keeps them: plain bytes in its own layouts, with factory defaults.
#ifndef VELMOR_FIRMWARE_STOREDRECORDS_H
#define VELMOR_FIRMWARE_STOREDRECORDS_H

#include "RecordKind.h"
#include "UnitModel.h"

#include <cstdint>
#include <map>
#include <vector>

namespace velmor_firmware {

class StoredRecords
{
public:
    static constexpr uint16_t s_defaultCurrent = 1000;     // mA, or the unit's maximum below that

    explicit StoredRecords(const UnitModel &model);

    static const std::vector<RecordKind> &allKinds();
    // The length the unit keeps the record in.
    size_t length(RecordKind kind) const;
    const std::vector<uint8_t> &bytes(RecordKind kind) const;
    // `bytes` must have the record's length.
    bool store(RecordKind kind, const std::vector<uint8_t> &bytes);

private:
    std::vector<uint8_t> defaultMotorConfiguration() const;
    std::vector<uint8_t> defaultInputConfiguration() const;
    static std::vector<uint8_t> defaultAdvancedMoveConfiguration();

    const UnitModel &m_model;
    std::map<RecordKind, std::vector<uint8_t>> m_records;
};

} // namespace velmor_firmware

#endif
