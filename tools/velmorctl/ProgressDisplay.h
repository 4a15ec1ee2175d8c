// Shows a waited move on standard error: on a terminal a one-line bar redrawn in place, else
// a plain line at most every half second.
#ifndef VELMORCTL_PROGRESSDISPLAY_H
#define VELMORCTL_PROGRESSDISPLAY_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class ProgressDisplay
{
public:
    using Clock = std::chrono::steady_clock;

    // label: "move-to unit 1"; target: none for a move home.
    ProgressDisplay(std::string label, int32_t start, std::optional<int32_t> target);
    ~ProgressDisplay();

    void show(Clock::time_point now, int32_t position, double stepsPerSecond);
    // Ends the bar's line; plain lines need no ending.
    void finish();

private:
    std::string barLine(int32_t position, double stepsPerSecond) const;
    std::string plainLine(int32_t position, double stepsPerSecond) const;
    std::string positionText(int32_t position) const;

    std::string m_label;
    int32_t m_start;
    std::optional<int32_t> m_target;
    bool m_terminal;
    bool m_drawn = false;
    size_t m_lastWidth = 0;
    std::optional<Clock::time_point> m_lastPlainLine;
};

#endif
