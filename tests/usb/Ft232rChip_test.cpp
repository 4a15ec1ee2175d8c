// The FT232R's control requests and bulk endpoints in front of a unit's serial line.
#include "Ft232rChip.h"

#include "FirmwareBench.h"

#include <gtest/gtest.h>

using namespace firmware_bench;
using velmor_usb::ControlAnswer;
using velmor_usb::ControlRequest;
using velmor_usb::EepromIdentity;
using velmor_usb::Ft232rChip;
using velmor_firmware::ReceivedPacket;

namespace {

using std::chrono::milliseconds;

const Bytes kStatus{0x31, 0x60};

class Ft232rChipTest : public testing::Test
{
protected:
    Ft232rChipTest()
        : m_unit(std::make_shared<Unit>(setupFor("JXah00102")))
        , m_chip(identity(), m_unit)
    {
    }

    static EepromIdentity identity()
    {
        EepromIdentity identity;
        identity.serial = "JXah00102";
        return identity;
    }

    ControlAnswer vendorOut(uint8_t request, uint16_t value, uint16_t index = 0)
    {
        ControlRequest out{0x40, request, value, index, 0, {}};
        return m_chip.control(out);
    }

    ControlAnswer vendorIn(uint8_t request, uint16_t value, uint16_t index, uint16_t length)
    {
        return m_chip.control(ControlRequest{0xC0, request, value, index, length, {}});
    }

    // The line the library sets up for an FT232R unit without flow control: 500000 baud 8E1, 2 ms.
    void setUpUnitLine()
    {
        vendorOut(0x03, 6);
        vendorOut(0x02, 0x0000);
        vendorOut(0x04, 0x0208);
        vendorOut(0x09, 2);
    }

    void send(const Bytes &bytes, TimePoint when)
    {
        m_chip.receiveOut(bytes.data(), bytes.size(), when);
    }

    std::shared_ptr<Unit> m_unit;
    Ft232rChip m_chip;
    const TimePoint m_start = Clock::now();
};

TEST_F(Ft232rChipTest, LineRequestsSetWhatTheUnitHearsWith)
{
    setUpUnitLine();
    SerialLine line = m_chip.line();
    EXPECT_EQ(line.baudRate, 500000u);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.parity, 2);
    EXPECT_EQ(line.stopBits, 0);
    EXPECT_FALSE(line.rtsCts);
    EXPECT_FALSE(line.synchronousFifo);
    EXPECT_EQ(m_chip.latencyMs(), 2);

    vendorOut(0x02, 0, 0x0100);     // RTS/CTS
    vendorOut(0x04, 0x1007);        // 7 bits, no parity, 2 stop bits
    vendorOut(0x0B, 0x40FF);        // synchronous FIFO, all pins
    line = m_chip.line();
    EXPECT_TRUE(line.rtsCts);
    EXPECT_EQ(line.dataBits, 7);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stopBits, 2);
    EXPECT_TRUE(line.synchronousFifo);
    vendorOut(0x0B, 0x0000);
    EXPECT_FALSE(m_chip.line().synchronousFifo);
}

TEST_F(Ft232rChipTest, ReadRequestsAnswerWithinTheirLength)
{
    vendorOut(0x09, 5);
    EXPECT_EQ(vendorIn(0x0A, 0, 0, 1).data, Bytes{5});
    EXPECT_EQ(vendorIn(0x05, 0, 0, 2).data, kStatus);
    EXPECT_EQ(vendorIn(0x05, 0, 0, 1).data, Bytes{0x31});

    vendorOut(0x01, 0x0303);        // DTR and RTS on
    vendorOut(0x01, 0x0200);        // RTS off, DTR as it was
    EXPECT_EQ(m_chip.modemControl(), 0x01);

    const ControlAnswer device = m_chip.control(ControlRequest{0x80, 0x06, 0x0100, 0, 8, {}});
    EXPECT_FALSE(device.stalled);
    EXPECT_EQ(device.data, (Bytes{18, 1, 0x00, 0x02, 0, 0, 0, 8}));
    EXPECT_TRUE(m_chip.control(ControlRequest{0x80, 0x06, 0x0309, 0x0409, 255, {}}).stalled);
}

TEST_F(Ft232rChipTest, EepromWordsReadWriteAndErase)
{
    EXPECT_EQ(vendorIn(0x90, 0, 1, 2).data, (Bytes{0x03, 0x04}));
    EXPECT_EQ(vendorIn(0x90, 0, 2, 2).data, (Bytes{0x01, 0x60}));
    vendorOut(0x91, 0xBEEF, 0x30);
    EXPECT_EQ(vendorIn(0x90, 0, 0x30, 2).data, (Bytes{0xEF, 0xBE}));
    EXPECT_FALSE(m_chip.eeprom().checksumValid());
    vendorOut(0x92, 0);
    EXPECT_EQ(vendorIn(0x90, 0, 1, 2).data, (Bytes{0xFF, 0xFF}));
}

TEST_F(Ft232rChipTest, TheUnitAnswersOnlyOnItsLineAndTheAnswerComesFramed)
{
    // Power-up line (9600 8N1): noise to the unit, and no answer.
    send(request(101, 20), m_start);
    EXPECT_EQ(*m_chip.answerIn(64, m_start + milliseconds(100)), kStatus);
    ASSERT_EQ(m_unit->receivedPackets().size(), 1u);
    EXPECT_EQ(m_unit->receivedPackets()[0].hearing, ReceivedPacket::Garbled);

    setUpUnitLine();
    const TimePoint sent = m_start + milliseconds(200);
    send(request(102, 20), sent);
    EXPECT_EQ(*m_chip.answerIn(64, sent + milliseconds(50)), kStatus + reply(102, 0, hex("00 80")));
    EXPECT_EQ(m_unit->receivedPackets().back().hearing, ReceivedPacket::Understood);
}

TEST_F(Ft232rChipTest, InTransfersWaitForTheLatencyTimer)
{
    setUpUnitLine();
    EXPECT_EQ(*m_chip.answerIn(64, m_start), kStatus);
    EXPECT_EQ(m_chip.nextInTime(m_start), m_start + milliseconds(2));
    EXPECT_FALSE(m_chip.answerIn(64, m_start + milliseconds(1)));
    EXPECT_EQ(*m_chip.answerIn(64, m_start + milliseconds(2)), kStatus);

    // A purge of the chip's receive buffer drops the answer on its way to the host.
    send(request(103, 20), m_start + milliseconds(10));
    vendorOut(0x00, 1);
    EXPECT_EQ(*m_chip.answerIn(64, m_start + milliseconds(60)), kStatus);
}

} // namespace
