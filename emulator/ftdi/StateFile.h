// The file in which the emulator keeps its default bench between processes. Every access holds
// an exclusive lock on a lock file beside it, and a new text replaces the old one whole (written
// aside, then renamed over it), so that processes at work at once never see half a file.
#ifndef VELMOR_EMULATOR_STATEFILE_H
#define VELMOR_EMULATOR_STATEFILE_H

#include <functional>
#include <optional>
#include <string>

namespace VelmorEmulator {

class StateFile
{
public:
    static constexpr const char *s_variable = "VELMOR_EMULATOR_STATE";
    static constexpr const char *s_fileName = "velmor-emulator-state";
    // Anything longer is no file the emulator wrote.
    static constexpr size_t s_largestText = 1 << 20;

    // VELMOR_EMULATOR_STATE when set ("off" in any letter case: none), else the file beside the emulator's own
    // libftd2xx.so; none when that cannot be found. None on Windows (StateFileWindows.cpp).
    static std::optional<std::string> configuredPath();

    explicit StateFile(std::string path);
    const std::string &path() const { return m_path; }

    // The file's text (none: missing, unreadable or too long), under the lock.
    std::optional<std::string> read() const;

    // Under one hold of the lock: `change` gets the file's text as read() would and answers the
    // text to put in its place, or none to leave the file as it is. False when the lock or the
    // write failed; the file is then as it was.
    using Change = std::function<std::optional<std::string>(const std::optional<std::string> &)>;
    bool update(const Change &change) const;
    // Why the last update failed, as the system said it.
    const std::string &problem() const { return m_problem; }

private:
    int lock() const;
    std::optional<std::string> readUnlocked() const;
    bool replaceUnlocked(const std::string &text) const;

    std::string m_path;
    mutable std::string m_problem;
};

} // namespace VelmorEmulator

#endif
