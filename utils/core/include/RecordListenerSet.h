// The record listeners of one record, not owned. A copied record starts with no listeners:
// listeners observe one record, not its copies.
#ifndef RECORDLISTENERSET_H
#define RECORDLISTENERSET_H

#include "RecordListener.h"

#include <QSet>

class RecordListenerSet
{
public:
    RecordListenerSet() = default;
    RecordListenerSet(const RecordListenerSet &) {}
    RecordListenerSet &operator=(const RecordListenerSet &) { return *this; }

    void add(RecordListener *listener) { m_listeners.insert(listener); }
    void remove(RecordListener *listener) { m_listeners.remove(listener); }

    // Each loop runs over a copy, so a listener may add or remove listeners while it is called.
    void notifyLoaded(const void *record) const
    {
        const QSet<RecordListener *> listeners = m_listeners;
        for (RecordListener *listener : listeners)
            listener->recordLoaded(record);
    }

    void notifyDestroyed(const void *record) const
    {
        const QSet<RecordListener *> listeners = m_listeners;
        for (RecordListener *listener : listeners)
            listener->recordDestroyed(record);
    }

private:
    QSet<RecordListener *> m_listeners;
};

#endif // RECORDLISTENERSET_H
