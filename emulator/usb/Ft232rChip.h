// An FT232R as the host sees it over USB: its EEPROM and descriptors, the answers to FTDI's
// vendor control requests, and its two bulk endpoints, carrying bytes to and from the serial
// line of the unit behind it. The unit only hears bytes sent with the line settings it expects.
#ifndef VELMOR_USB_FT232RCHIP_H
#define VELMOR_USB_FT232RCHIP_H

#include "Eeprom.h"
#include "InPacketFramer.h"
#include "Unit.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmor_usb {

using velmor_firmware::TimePoint;

struct ControlRequest
{
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    std::vector<uint8_t> data;      // an OUT request's data stage
};

struct ControlAnswer
{
    bool stalled = false;
    std::vector<uint8_t> data;      // an IN request's data stage, at most its length
};

class Ft232rChip
{
public:
    Ft232rChip(const EepromIdentity &identity, std::shared_ptr<velmor_firmware::Unit> unit);

    ControlAnswer control(const ControlRequest &request);
    // Bytes the host sent on the OUT endpoint.
    void receiveOut(const uint8_t *bytes, size_t count, TimePoint now);
    // The IN transfer the chip sends now for a request of `requested` bytes, or nothing while it
    // still holds back: it sends once a packet's worth of data is ready or its latency timer runs
    // out.
    std::optional<std::vector<uint8_t>> answerIn(size_t requested, TimePoint now);
    // When answerIn may next have something to send.
    TimePoint nextInTime(TimePoint now) const;

    const Eeprom &eeprom() const;
    velmor_firmware::SerialLine line() const;
    uint8_t latencyMs() const;
    uint8_t modemControl() const;               // DTR bit 0, RTS bit 1
    const velmor_firmware::Unit *unit() const;

private:
    struct PendingByte
    {
        TimePoint readyTime;
        uint8_t value;
    };

    ControlAnswer vendorRequest(const ControlRequest &request);
    ControlAnswer standardRequest(const ControlRequest &request) const;
    void schedule(const velmor_firmware::Transmission &transmission);
    size_t readyCount(TimePoint now) const;

    Eeprom m_eeprom;
    std::shared_ptr<velmor_firmware::Unit> m_unit;
    velmor_firmware::SerialLine m_line;
    uint8_t m_latencyMs = 16;
    uint8_t m_modemControl = 0;
    uint8_t m_bitMask = 0;
    uint8_t m_bitMode = 0;
    ModemStatus m_status;
    std::deque<PendingByte> m_toHost;
    TimePoint m_lastInSent;
};

} // namespace velmor_usb

#endif
