// The bootloader's information page as it sits in the unit's flash: a header, the unit's name,
// its stored serial, version numbers (big-endian) and, in format 2, a list of labelled entries.
#ifndef VELMOR_FIRMWARE_INFORMATIONPAGE_H
#define VELMOR_FIRMWARE_INFORMATIONPAGE_H

#include "UnitSetup.h"

#include <cstdint>
#include <vector>

namespace velmor_firmware {

class InformationPage
{
public:
    // Exactly `setup.pageSize` bytes; what does not fit is cut off.
    static std::vector<uint8_t> build(const UnitSetup &setup);

private:
    static void appendText(std::vector<uint8_t> &page, const std::string &text, size_t width);
    static void appendEntries(std::vector<uint8_t> &page, const std::vector<InformationEntry> &entries);
};

} // namespace velmor_firmware

#endif
