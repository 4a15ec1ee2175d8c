// The actions of a unit's motor-driver command set, by the numbers the library's requests carry;
// VelmorDriverCommRequest turns each into the command code of the unit's hardware. Actions 0 to
// 20 give orders and write records, 21 to 28 read.
#ifndef UNITACTION_H
#define UNITACTION_H

#include <QtGlobal>

namespace UnitAction {

enum : qint32 {
    WriteMotionConfiguration = 0,
    WriteMotorConfiguration = 1,
    Move = 2,
    WriteInputConfiguration = 3,
    WritePwmSettings = 5,
    WriteAdvancedMoveConfiguration = 6,
    MotorOn = 7,
    MotorOff = 8,
    Stop = 9,
    RelayOn = 12,
    RelayOff = 13,
    ZeroPosition = 16,
    MoveHome = 18,
    FirstRead = 21,
    ReadMotorInformation = 22,
    ReadMotionConfiguration = 23,
    ReadMotorConfiguration = 24,
    ReadAdvancedMoveConfiguration = 27,
    Last = 28
};

} // namespace UnitAction

#endif // UNITACTION_H
