#include "Ft232rChip.h"

#include "BaudDivisor.h"
#include "Descriptors.h"
#include "WireTiming.h"

#include <algorithm>

namespace velmor_usb {

namespace {

constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kTypeVendor = 0x40;

constexpr uint8_t kGetStatus = 0x00;
constexpr uint8_t kGetDescriptor = 0x06;

// FTDI's vendor requests.
constexpr uint8_t kReset = 0x00;
constexpr uint8_t kModemControl = 0x01;
constexpr uint8_t kSetFlowControl = 0x02;
constexpr uint8_t kSetBaudRate = 0x03;
constexpr uint8_t kSetData = 0x04;
constexpr uint8_t kGetModemStatus = 0x05;
constexpr uint8_t kSetLatencyTimer = 0x09;
constexpr uint8_t kGetLatencyTimer = 0x0A;
constexpr uint8_t kSetBitMode = 0x0B;
constexpr uint8_t kReadPins = 0x0C;
constexpr uint8_t kReadEeprom = 0x90;
constexpr uint8_t kWriteEeprom = 0x91;
constexpr uint8_t kEraseEeprom = 0x92;

constexpr uint16_t kResetSio = 0;
constexpr uint16_t kPurgeToHost = 1;
constexpr uint8_t kRtsCtsFlow = 0x01;
constexpr uint8_t kSynchronousFifoMode = 0x40;

ControlAnswer answer(std::vector<uint8_t> data, uint16_t length)
{
    if (data.size() > length)
        data.resize(length);
    return ControlAnswer{false, std::move(data)};
}

ControlAnswer stall()
{
    return ControlAnswer{true, {}};
}

uint8_t lowByte(uint16_t word)
{
    return static_cast<uint8_t>(word & 0xFF);
}

uint8_t highByte(uint16_t word)
{
    return static_cast<uint8_t>(word >> 8);
}

} // namespace

Ft232rChip::Ft232rChip(const EepromIdentity &identity, std::shared_ptr<velmor_firmware::Unit> unit)
    : m_eeprom(identity)
    , m_unit(std::move(unit))
{
    m_line.baudRate = 9600;
    m_line.dataBits = 8;
}

ControlAnswer Ft232rChip::control(const ControlRequest &request)
{
    switch (request.requestType & kTypeMask) {
    case kTypeVendor: return vendorRequest(request);
    case kTypeStandard: return standardRequest(request);
    default: return stall();
    }
}

ControlAnswer Ft232rChip::standardRequest(const ControlRequest &request) const
{
    if ((request.requestType & kDirectionIn) == 0)
        return answer({}, 0);     // features and halts: nothing the chip keeps
    if (request.request == kGetDescriptor) {
        const std::vector<uint8_t> descriptor = Descriptors::forRequest(m_eeprom, request.value);
        return descriptor.empty() ? stall() : answer(descriptor, request.length);
    }
    if (request.request == kGetStatus)
        return answer({0, 0}, request.length);
    return stall();
}

ControlAnswer Ft232rChip::vendorRequest(const ControlRequest &request)
{
    switch (request.request) {
    case kReset:
        if (request.value == kResetSio || request.value == kPurgeToHost)
            m_toHost.clear();
        return answer({}, 0);
    case kModemControl: {
        const uint8_t mask = highByte(request.value);
        m_modemControl = static_cast<uint8_t>((m_modemControl & ~mask) | (lowByte(request.value) & mask));
        return answer({}, 0);
    }
    case kSetFlowControl:
        m_line.rtsCts = (highByte(request.index) & kRtsCtsFlow) != 0;
        return answer({}, 0);
    case kSetBaudRate:
        m_line.baudRate = BaudDivisor(request.value, request.index).baudRate();
        return answer({}, 0);
    case kSetData:
        m_line.dataBits = lowByte(request.value);
        m_line.parity = (request.value >> 8) & 0x07;
        m_line.stopBits = (request.value >> 11) & 0x03;
        return answer({}, 0);
    case kGetModemStatus: return answer({m_status.modemLines, m_status.lineStatus}, request.length);
    case kSetLatencyTimer:
        m_latencyMs = std::max<uint8_t>(1, lowByte(request.value));
        return answer({}, 0);
    case kGetLatencyTimer: return answer({m_latencyMs}, request.length);
    case kSetBitMode:
        m_bitMask = lowByte(request.value);
        m_bitMode = highByte(request.value);
        m_line.synchronousFifo = m_bitMode == kSynchronousFifoMode;
        return answer({}, 0);
    case kReadPins: return answer({m_bitMask}, request.length);
    case kReadEeprom: {
        const uint16_t word = m_eeprom.readWord(request.index);
        return answer({lowByte(word), highByte(word)}, request.length);
    }
    case kWriteEeprom:
        m_eeprom.writeWord(request.index, request.value);
        return answer({}, 0);
    case kEraseEeprom:
        m_eeprom.erase();
        return answer({}, 0);
    default:
        // Event and error characters, and whatever else the host sets: accepted, no effect.
        return answer(std::vector<uint8_t>(request.length, 0), request.length);
    }
}

void Ft232rChip::receiveOut(const uint8_t *bytes, size_t count, TimePoint now)
{
    if (!m_unit || count == 0)
        return;
    const TimePoint arrival = now + VelmorEmulator::wireTime(count, m_line.baudRate);
    for (const velmor_firmware::Transmission &transmission : m_unit->receive(bytes, count, arrival, m_line))
        schedule(transmission);
}

void Ft232rChip::schedule(const velmor_firmware::Transmission &transmission)
{
    TimePoint start = transmission.sendTime;
    if (!m_toHost.empty())
        start = std::max(start, m_toHost.back().readyTime);
    for (size_t k = 0; k < transmission.bytes.size(); ++k) {
        const TimePoint ready = start + VelmorEmulator::wireTime(k + 1, m_line.baudRate);
        m_toHost.push_back(PendingByte{ready, transmission.bytes[k]});
    }
}

size_t Ft232rChip::readyCount(TimePoint now) const
{
    size_t count = 0;
    while (count < m_toHost.size() && m_toHost[count].readyTime <= now)
        ++count;
    return count;
}

std::optional<std::vector<uint8_t>> Ft232rChip::answerIn(size_t requested, TimePoint now)
{
    const size_t room = std::min(InPacketFramer::dataRoom(requested), InPacketFramer::kPacketSize - InPacketFramer::kStatusSize);
    const size_t ready = readyCount(now);
    const bool timerRanOut = now >= m_lastInSent + std::chrono::milliseconds(m_latencyMs);
    if (ready < room && !timerRanOut)
        return std::nullopt;
    const size_t taken = std::min(ready, room);
    std::vector<uint8_t> data;
    for (size_t i = 0; i < taken; ++i)
        data.push_back(m_toHost[i].value);
    m_toHost.erase(m_toHost.begin(), m_toHost.begin() + static_cast<long>(taken));
    m_lastInSent = now;
    return InPacketFramer::frame(data, m_status);
}

TimePoint Ft232rChip::nextInTime(TimePoint now) const
{
    TimePoint next = m_lastInSent + std::chrono::milliseconds(m_latencyMs);
    const size_t fullPacket = InPacketFramer::kPacketSize - InPacketFramer::kStatusSize;
    if (m_toHost.size() >= fullPacket)
        next = std::min(next, m_toHost[fullPacket - 1].readyTime);
    return std::max(next, now);
}

const Eeprom &Ft232rChip::eeprom() const
{
    return m_eeprom;
}

velmor_firmware::SerialLine Ft232rChip::line() const
{
    return m_line;
}

uint8_t Ft232rChip::latencyMs() const
{
    return m_latencyMs;
}

uint8_t Ft232rChip::modemControl() const
{
    return m_modemControl;
}

const velmor_firmware::Unit *Ft232rChip::unit() const
{
    return m_unit.get();
}

} // namespace velmor_usb
