// Observer of a property record's values. Not owned by the record; the record passed to
// propertiesDestroyed is only an identity to compare, it is being destroyed.
#ifndef PROPERTIESLISTENER_H
#define PROPERTIESLISTENER_H

#include <QString>
#include <QVariant>

class PropertiesListener
{
public:
    virtual ~PropertiesListener() = default;
    virtual void propertyChanged(qint32 key, const QVariant &value) = 0;
    virtual void propertyAdjusted(qint32 key, const QString &text) = 0;
    virtual void propertiesDestroyed(const void *properties) = 0;
};

#endif // PROPERTIESLISTENER_H
