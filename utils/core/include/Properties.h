// A keyed property record: integer keys to variants, with change notification, a hook run after
// every change, and a versioned form in a data stream. Traits names the record kind (its key enum).
#ifndef PROPERTIES_H
#define PROPERTIES_H

#include "PropertiesListener.h"
#include "StreamableVersionException.h"
#include "ValidationMessage.h"

#include <QDataStream>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>

#include <cmath>
#include <new>

template <typename Traits>
class Properties
{
public:
    enum ChangeReason : qint32 { ChangedBySetValue = 0, ChangedByRead = 2 };

    Properties() = default;
    // Copies carry the values only: listeners observe one record, not its copies.
    Properties(const Properties &other)
        : m_values(other.m_values)
    {
    }
    Properties &operator=(const Properties &other)
    {
        m_values = other.m_values;
        return *this;
    }

    virtual ~Properties()
    {
        const QSet<PropertiesListener *> listeners = m_listeners;
        for (PropertiesListener *listener : listeners)
            listener->propertiesDestroyed(this);
    }

    virtual QString name() const { return QString(); }

    virtual void write(QDataStream &stream) const
    {
        stream << s_propertiesStreamVersion;
        stream << m_values;
    }

    virtual void read(QDataStream &stream)
    {
        qint32 version = 0;
        stream >> version;
        if (version != s_propertiesStreamVersion)
            throw StreamableVersionException(QStringLiteral("..\\..\\utils\\core\\include\\Properties"), __LINE__, version);
        readValues(stream);
        // Over a copy of the keys: a hook may itself change values.
        const QList<qint32> keys = m_values.keys();
        for (qint32 key : keys) {
            notifyChanged(key, value(key));
            onValueChanged(key, ChangedByRead);
        }
    }

    virtual void onValueChanged(qint32 key, qint32 reason)
    {
        Q_UNUSED(key);
        Q_UNUSED(reason);
    }

    QVariant value(qint32 key) const { return m_values.value(key); }
    bool contains(qint32 key) const { return m_values.contains(key); }

    // Notifies even when the stored value equals the new one.
    void setValue(qint32 key, const QVariant &value)
    {
        m_values.insert(key, value);
        notifyChanged(key, value);
        onValueChanged(key, ChangedBySetValue);
    }

    void adjusted(qint32 key, const QString &text)
    {
        const QSet<PropertiesListener *> listeners = m_listeners;
        for (PropertiesListener *listener : listeners)
            listener->propertyAdjusted(key, text);
    }

    void addListener(PropertiesListener *listener) { m_listeners.insert(listener); }
    void removeListener(PropertiesListener *listener) { m_listeners.remove(listener); }

    qint32 intValue(qint32 key) const { return toInt32(value(key)); }
    double doubleValue(qint32 key) const { return toDouble(value(key)); }
    bool boolValue(qint32 key) const { return value(key).toBool(); }

    // Text is read without its spaces ("1 000" is 1000) in the default locale; text that does
    // not parse is 0.
    static double toDouble(const QVariant &variant)
    {
        if (variant.userType() == QMetaType::QString)
            return QLocale().toDouble(withoutSpaces(variant)); // 0 when it does not parse
        return variant.toDouble();
    }

    static qint32 toInt32(const QVariant &variant)
    {
        if (variant.userType() == QMetaType::QString)
            return QLocale().toInt(withoutSpaces(variant)); // 0 when it does not parse
        return truncateToInt32(variant.toDouble());
    }

    // Truncates toward zero and keeps the low 32 bits (two's complement), so an unsigned 32-bit
    // device field such as an acceleration of FF FF FF FF goes back to the device unchanged.
    // NaN and the infinities have no integer value and give 0.
    static qint32 truncateToInt32(double value)
    {
        if (!std::isfinite(value))
            return 0;
        const double twoToThe32 = 4294967296.0;
        double low = std::fmod(std::trunc(value), twoToThe32); // exact, in (-2^32, 2^32)
        if (low < 0)
            low += twoToThe32;
        return static_cast<qint32>(static_cast<quint32>(low));
    }

protected:
    // A validation repair: store the corrected value, report it, and keep its message.
    void repair(qint32 key, const QVariant &value, const QString &text, QVector<ValidationMessage> &messages)
    {
        messages.append(ValidationMessage(text, 1));
        setValue(key, value);
        adjusted(key, text);
    }

    QMap<qint32, QVariant> m_values;
    QSet<PropertiesListener *> m_listeners;

private:
    static constexpr qint32 s_propertiesStreamVersion = 1;

    static QString withoutSpaces(const QVariant &variant)
    {
        return variant.toString().remove(QLatin1Char(' '));
    }

    // A stream error leaves the values as they were. A stream that repeats a key keeps the
    // entry read last, so the record never holds one key twice.
    void readValues(QDataStream &stream)
    {
        QMap<qint32, QVariant> readMap;
        try {
            stream >> readMap;
        } catch (const std::bad_alloc &) {
            // Qt reserves room for a list inside a variant as its stored count says before
            // reading it: a damaged count asks for more memory than there is.
            stream.setStatus(QDataStream::ReadCorruptData);
        }
        if (stream.status() != QDataStream::Ok)
            return;
        QMap<qint32, QVariant> values;
        for (auto it = readMap.constBegin(); it != readMap.constEnd(); ++it)
            values.insert(it.key(), readMap.value(it.key())); // value() is the entry read last
        m_values = values;
    }

    void notifyChanged(qint32 key, const QVariant &value)
    {
        const QSet<PropertiesListener *> listeners = m_listeners;
        for (PropertiesListener *listener : listeners)
            listener->propertyChanged(key, value);
    }
};

#endif // PROPERTIES_H
