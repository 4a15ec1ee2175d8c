// A log that keeps its newest entries only: an emulator left running for a day keeps its memory
// flat, while a test still sees everything a call or a session made.
#ifndef VELMOR_FIRMWARE_BOUNDEDLOG_H
#define VELMOR_FIRMWARE_BOUNDEDLOG_H

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

namespace velmor_firmware {

template <typename Entry>
class BoundedLog
{
public:
    explicit BoundedLog(size_t capacity) : m_capacity(capacity) {}

    void append(Entry entry)
    {
        if (m_entries.size() == m_capacity)
            m_entries.pop_front();
        m_entries.push_back(std::move(entry));
    }

    std::vector<Entry> entries() const { return std::vector<Entry>(m_entries.begin(), m_entries.end()); }
    size_t size() const { return m_entries.size(); }
    void clear() { m_entries.clear(); }

private:
    size_t m_capacity;
    std::deque<Entry> m_entries;
};

} // namespace velmor_firmware

#endif
