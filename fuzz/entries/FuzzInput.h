// A fuzz input read from the front: choices first, bytes after. Past its end it gives zeros
// and empty byte strings, so every input is a valid script.
#ifndef VELMOR_FUZZ_FUZZINPUT_H
#define VELMOR_FUZZ_FUZZINPUT_H

#include <QByteArray>

class FuzzInput
{
public:
    explicit FuzzInput(const QByteArray &bytes)
        : m_bytes(bytes)
    {
    }

    bool atEnd() const { return m_offset >= m_bytes.size(); }

    quint8 byte()
    {
        return atEnd() ? 0 : static_cast<quint8>(m_bytes.at(m_offset++));
    }

    QByteArray bytes(int count)
    {
        const QByteArray taken = m_bytes.mid(m_offset, count);
        m_offset += taken.size();
        return taken;
    }

    QByteArray rest() { return bytes(m_bytes.size() - m_offset); }

private:
    QByteArray m_bytes;
    int m_offset = 0;
};

#endif
