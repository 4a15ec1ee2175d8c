#include "Bootloader.h"

#include "ByteOrder.h"
#include "InformationPage.h"

namespace velmor_firmware {

Bootloader::Bootloader(const UnitSetup &setup)
    : m_setup(setup)
{
}

Answer Bootloader::answer(uint8_t opcode) const
{
    switch (opcode) {
    case Information: return information();
    case PrepareRead: return Answer();
    case ReadPage: return page();
    default: return Answer::of(Answer::NotRecognised);
    }
}

// Older bootloaders answer with the page size alone; newer ones mark the long form with FF and
// add a flags byte.
Answer Bootloader::information() const
{
    std::vector<uint8_t> data;
    if (m_setup.longInformationReply)
        data.push_back(0xFF);
    byte_order::appendBig16(data, m_setup.pageSize);
    if (m_setup.longInformationReply)
        data.push_back(m_setup.informationFlagBit & 0x01);
    return Answer::withData(data);
}

// The page is followed by two FF bytes that mark it as read out whole.
Answer Bootloader::page() const
{
    std::vector<uint8_t> data = InformationPage::build(m_setup);
    data.push_back(0xFF);
    data.push_back(0xFF);
    return Answer::withData(data);
}

} // namespace velmor_firmware
