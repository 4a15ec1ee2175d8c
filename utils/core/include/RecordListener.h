// Observer of a whole record: told when a record was loaded from a stream (or had its channel
// functions replaced) and when it is destroyed. The record pointer is only an identity to compare.
#ifndef RECORDLISTENER_H
#define RECORDLISTENER_H

class RecordListener
{
public:
    virtual ~RecordListener() = default;
    virtual void recordLoaded(const void *record) = 0;
    virtual void recordDestroyed(const void *record) = 0;
};

#endif // RECORDLISTENER_H
