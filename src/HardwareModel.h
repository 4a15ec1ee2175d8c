// What each hardware version of the unit can do and how its records are laid out: the one place
// the library looks a hardware version up. A version the library does not support (a serial
// number that does not parse gives 0.0) answers as the smallest unit: no relay, four inputs,
// 500 mA, the short record layouts.
#ifndef HARDWAREMODEL_H
#define HARDWAREMODEL_H

#include "VersionNumber.h"

#include <QList>
#include <array>
#include <optional>

struct HardwareModel
{
    static const HardwareModel &of(VersionNumber hardware);
    static QList<VersionNumber> supportedVersions();

    // The replies' lengths of the read actions 21 to 28; 0 where the hardware lacks the action.
    using ReadReplyLengths = std::array<qint32, 8>;
    // A read action whose reply grows with the firmware.
    struct LongerReply
    {
        qint32 action;
        VersionNumber firmwareFrom;
        qint32 length;
    };

    VersionNumber version;
    QList<qint32> acceptedFirmwareMajors;
    qint32 maximumCurrent;              // mA
    qint32 maximumStepRate;             // steps per second: speed times 2 to the step mode
    int inputChannels;
    quint32 fullStepMode;               // the step mode that counts whole steps
    bool hasRelay;
    bool hasAlternateSpeed;
    bool hasActions19And20;
    bool longMotionLayout;
    bool knowsMoveKind3;                // without it, a move of kind 3 is sent as kind 0
    bool secondPwmValue;
    VersionNumber longMotorLayoutFrom;  // the firmware from which the motor record has 11 bytes
    std::optional<VersionNumber> inputSetting13From;  // the firmware from which the input record carries it
    bool inputSettings14And15;
    std::optional<VersionNumber> pwmStepModeFrom;     // the firmware from which the PWM record carries it
    ReadReplyLengths readReplyLengths;
    QList<LongerReply> longerReplies;

    // The reply length of a read action (21 to 28) on this hardware with this firmware.
    qint32 replyLength(qint32 action, VersionNumber firmware) const;
};

#endif // HARDWAREMODEL_H
