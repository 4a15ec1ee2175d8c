#include "InformationPage.h"

#include "ByteOrder.h"

namespace velmor_firmware {

namespace {
constexpr uint8_t s_header[3] = {0x35, 0x72, 0xD1};
constexpr uint8_t s_entryMark = 0x01;
constexpr uint8_t s_endOfEntries = 0x00;
} // namespace

std::vector<uint8_t> InformationPage::build(const UnitSetup &setup)
{
    std::vector<uint8_t> page(s_header, s_header + 3);
    page.push_back(static_cast<uint8_t>(setup.pageFormat));
    appendText(page, setup.name, 40);
    appendText(page, setup.storedSerial.empty() ? setup.usbSerial : setup.storedSerial, 16);
    byte_order::appendBig16(page, setup.numbers[0]);
    byte_order::appendBig16(page, setup.numbers[1]);
    byte_order::appendBig16(page, setup.firmwareMajor);
    byte_order::appendBig16(page, setup.firmwareMinor);
    for (int i = 2; i < 5; ++i)
        byte_order::appendBig16(page, setup.numbers[i]);
    if (setup.pageFormat == 2) {
        byte_order::appendBig16(page, setup.numbers[5]);
        appendEntries(page, setup.entries);
    }
    page.resize(setup.pageSize, 0);
    return page;
}

void InformationPage::appendText(std::vector<uint8_t> &page, const std::string &text, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        page.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void InformationPage::appendEntries(std::vector<uint8_t> &page, const std::vector<InformationEntry> &entries)
{
    for (const InformationEntry &entry : entries) {
        page.push_back(s_entryMark);
        appendText(page, entry.label, 16);
        for (uint16_t number : entry.numbers)
            byte_order::appendBig16(page, number);
    }
    page.push_back(s_endOfEntries);
}

} // namespace velmor_firmware
