// One library call as the application made it: what, on which unit, its result and its duration.
#ifndef VELMORCENTER_CALLRECORD_H
#define VELMORCENTER_CALLRECORD_H

#include <QMetaType>
#include <QString>

#include <cstdint>

struct CallRecord
{
    QString call;          // "moveMotorRelative(2, 200)"
    int32_t code = 0;
    QString resultText;    // the library's words for code
    double milliseconds = 0.0;
    bool isPoll = false;   // a periodic status or count read, hidden from the log by default

    QString line() const;
};

Q_DECLARE_METATYPE(CallRecord)

#endif
