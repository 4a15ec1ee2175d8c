// Opening and identifying units through the exports, as a session at a bench.
#include "Bench.h"
#include "VelmorLib.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using namespace bench;
using velmor_firmware::ReceivedPacket;

std::vector<ReceivedPacket> understood(size_t unit)
{
    std::vector<ReceivedPacket> packets;
    for (const ReceivedPacket &packet : VelmorEmulator::receivedPackets(unit)) {
        if (packet.hearing == ReceivedPacket::Understood)
            packets.push_back(packet);
    }
    return packets;
}

TEST(Identification, FirstCallStartsTheFirmwareReadsItsPageThenSendsTheCommand)
{
    set({ft232r("JXah00102", 2, 1)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(motorOn(1), VELMOR_OK);
    const auto firstCall = std::chrono::steady_clock::now() - start;
    EXPECT_GE(firstCall, std::chrono::milliseconds(650));

    const std::vector<ReceivedPacket> packets = understood(0);
    ASSERT_EQ(packets.size(), 5u);
    EXPECT_TRUE(packets[0].raw);
    EXPECT_EQ(packets[0].bytes, std::vector<uint8_t>({0x03}));
    EXPECT_GE(packets[1].arrival - packets[0].arrival, std::chrono::milliseconds(600));
    const uint8_t codes[] = {20, 21, 18, 0x27};
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(packets[i].commandCode, codes[i - 1]);
        EXPECT_EQ(packets[i].id, 101u + i) << "packet " << i;
    }
    EXPECT_EQ(packets[4].bytes, std::vector<uint8_t>({0x05, 0x69, 0, 0, 0, 0x27, 0, 0}));
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());

    // later calls skip the handshake
    EXPECT_EQ(stopMotor(1), VELMOR_OK);
    const std::vector<ReceivedPacket> later = understood(0);
    ASSERT_EQ(later.size(), 6u);
    EXPECT_EQ(later[5].commandCode, 0x29);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST(Identification, OpenDeviceResultCodes)
{
    set({ft232r("JXah00102", 5, 0), ft232r("JXah00101", 2, 0), ft232r("JXah01001", 1, 0)});
    EXPECT_EQ(motorOff(1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_TRUE(VelmorEmulator::calls().empty());
    initialise();
    EXPECT_EQ(motorOff(0), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(motorOff(-3), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(motorOff(4), VELMOR_ERROR_DEVICE_INDEX);
    // firmware 5.0 on hardware 1.2 passes the handshake, then every call gives 31
    EXPECT_EQ(motorOff(1), VELMOR_ERROR_FIRMWARE_UNSUPPORTED);
    EXPECT_EQ(motorOff(1), VELMOR_ERROR_FIRMWARE_UNSUPPORTED);
    // a unit another process holds does not open
    VelmorEmulator::failCall("FT_Open", 3, 0, 1);
    EXPECT_EQ(motorOff(2), VELMOR_ERROR_OPEN_FAILED);
    EXPECT_EQ(motorOff(2), VELMOR_OK);
    // the start command cannot be written
    VelmorEmulator::failCall("FT_Write", 4, 0, 1);
    EXPECT_EQ(motorOff(3), VELMOR_ERROR_START_COMMAND);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST(Identification, FailedInformationReadGives29OnceThen31UntilInitialise)
{
    set({ft232r("JXah00102", 2, 1)});
    initialise();
    VelmorEmulator::UnitFault silence;
    silence.kind = VelmorEmulator::UnitFault::Silence;
    silence.commandCode = 20;
    VelmorEmulator::addUnitFault(0, silence);
    EXPECT_EQ(zeroMotorPosition(1), VELMOR_ERROR_READ_INFORMATION);
    EXPECT_EQ(zeroMotorPosition(1), VELMOR_ERROR_FIRMWARE_UNSUPPORTED);
    initialise();
    EXPECT_EQ(zeroMotorPosition(1), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST(Identification, BadInformationReplyAndInvalidPage)
{
    set({ft232r("JXah00102", 2, 1), ft232r("JXah00101", 2, 0)});
    VelmorEmulator::UnitFault threeBytes;
    threeBytes.kind = VelmorEmulator::UnitFault::Reply;
    threeBytes.commandCode = 20;
    threeBytes.data = {0x01, 0x00, 0x00};
    VelmorEmulator::addUnitFault(0, threeBytes);
    VelmorEmulator::UnitSetup &setup = const_cast<VelmorEmulator::UnitSetup &>(VelmorEmulator::unit(1).setup());
    setup.storedSerial = "XYZ";
    initialise();
    EXPECT_EQ(motorOn(1), VELMOR_ERROR_READ_INFORMATION);
    EXPECT_EQ(motorOn(2), VELMOR_ERROR_INFORMATION_INVALID);
}

TEST(Identification, DeviceIndexByStoredSerial)
{
    set({ft232r("JXah00102", 2, 1), ft232r("JXah00101", 2, 0)});
    int32_t index = 5;
    EXPECT_EQ(getDeviceIndex("JXAH00101", &index), VELMOR_ERROR_SERIAL_NOT_FOUND);  // before initialise
    EXPECT_EQ(index, -1);
    initialise();
    VelmorEmulator::failCall("FT_Open", 3, 0, 1);  // the unit at position 1 does not open
    EXPECT_EQ(getDeviceIndex("jxAH00101", &index), VELMOR_OK);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(getDeviceIndex("JXah09999", &index), VELMOR_ERROR_SERIAL_NOT_FOUND);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(getDeviceIndex(nullptr, &index), VELMOR_ERROR_SERIAL_NOT_FOUND);
    EXPECT_EQ(getDeviceIndex("JXah00102", nullptr), VELMOR_ERROR_ARGUMENT);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

} // namespace
