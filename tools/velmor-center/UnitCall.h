// The library call that carries out a request: the exported function, the call as the log
// names it, and the call itself. The worker's alone.
#ifndef VELMORCENTER_UNITCALL_H
#define VELMORCENTER_UNITCALL_H

#include "UnitAction.h"

#include <QString>

#include <cstdint>

class UnitCall
{
public:
    explicit UnitCall(const UnitAction &action);

    // "moveMotorRelative(2, 200)"
    QString text() const;
    int32_t run() const;
    // Whether the library can say which of the values the unit's ranges rule out.
    bool isRangeRuled() const { return m_export.rangeRuled; }
    // velmorExplainRefusal for this call: *reasons gets the library's words, empty when every
    // value is within the unit's ranges.
    int32_t explainRefusal(QString *reasons) const;
    // That call as the log names it: "velmorExplainRefusal(2, \"setMotorSpeed\", {2000, 5})".
    QString refusalText() const;

private:
    struct Export
    {
        const char *name;
        bool rangeRuled;    // velmorExplainRefusal knows it
        int32_t (*call)(int32_t index, const QVector<qint64> &values);
    };

    static const Export &exportOf(UnitAction::Intent intent);
    QString valuesText() const;

    const UnitAction m_action;
    const Export &m_export;
};

#endif
