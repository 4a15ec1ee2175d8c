// The inside of a unit (Unit's private data and the work it does), shared by Unit.cpp and the
// saving and restoring of a unit's state in UnitSaving.cpp.
#ifndef VELMOR_FIRMWARE_UNITPRIVATE_H
#define VELMOR_FIRMWARE_UNITPRIVATE_H

#include "Answer.h"
#include "Bootloader.h"
#include "BoundedLog.h"
#include "FaultSchedule.h"
#include "Motor.h"
#include "MotorDriverCommandSet.h"
#include "PacketFramer.h"
#include "StoredRecords.h"
#include "Unit.h"
#include "UnitModel.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace velmor_firmware {

class StateText;

struct Unit::Private
{
    explicit Private(const UnitSetup &unitSetup)
        : setup(unitSetup)
        , model(setup.usbSerial, setup.firmwareMajor, setup.firmwareMinor)
        , bootloader(setup)
        , records(model)
        , motor(model.fullStepMode())
        , commands(model, records, motor)
    {
        commands.followMotionConfiguration(false, TimePoint());
    }

    TimePoint advanceTo(TimePoint now);
    TimePoint notBefore(TimePoint now) const { return std::max(now, latest); }
    RunState runState(TimePoint now) const;
    bool understands(const SerialLine &line) const;

    void record(const HostFrame &frame, TimePoint arrival);
    void recordRaw(ReceivedPacket::Hearing hearing, std::vector<uint8_t> bytes, TimePoint arrival);
    void handle(const HostFrame &frame, TimePoint arrival, std::vector<Transmission> &sent);
    std::optional<Answer> carryOut(const HostFrame &frame, TimePoint arrival);
    Answer answerPacket(const HostFrame &frame, TimePoint arrival);
    void powerCycle(TimePoint now);

    void save(StateText &state, TimePoint now) const;
    void restore(const StateText &state, TimePoint now);
    static UnitSetup setupOf(const StateText &state);

    UnitSetup setup;
    UnitModel model;
    Bootloader bootloader;
    StoredRecords records;
    Motor motor;
    MotorDriverCommandSet commands;
    PacketFramer framer;
    FaultSchedule faults;
    // A session of a few thousand requests fits whole.
    BoundedLog<ReceivedPacket> received{8192};
    bool unplugged = false;
    std::optional<TimePoint> firmwareUpAt;      // none: in the bootloader
    bool firmwareUp = false;
    TimePoint latest;
};

} // namespace velmor_firmware

#endif
