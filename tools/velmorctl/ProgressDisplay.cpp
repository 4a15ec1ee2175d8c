#include "ProgressDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include "Terminal.h"

namespace {
constexpr std::chrono::milliseconds s_plainLineInterval(500);
constexpr int s_barWidth = 30;
} // namespace

ProgressDisplay::ProgressDisplay(std::string label, int32_t start, std::optional<int32_t> target)
    : m_label(std::move(label)), m_start(start), m_target(target), m_terminal(Terminal::isStandardError())
{
}

ProgressDisplay::~ProgressDisplay()
{
    finish();
}

void ProgressDisplay::show(Clock::time_point now, int32_t position, double stepsPerSecond)
{
    if (m_terminal) {
        std::string line = barLine(position, stepsPerSecond);
        const size_t width = line.size();
        if (width < m_lastWidth)
            line.append(m_lastWidth - width, ' ');
        m_lastWidth = width;
        std::fprintf(stderr, "\r%s", line.c_str());
        m_drawn = true;
    } else if (!m_lastPlainLine || now - *m_lastPlainLine >= s_plainLineInterval) {
        std::fprintf(stderr, "%s\n", plainLine(position, stepsPerSecond).c_str());
        m_lastPlainLine = now;
    }
    std::fflush(stderr);
}

void ProgressDisplay::finish()
{
    if (m_drawn) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        m_drawn = false;
    }
}

std::string ProgressDisplay::barLine(int32_t position, double stepsPerSecond) const
{
    std::string bar;
    if (m_target) {
        const double span = std::fabs(static_cast<double>(*m_target) - m_start);
        const double done = span == 0.0 ? 1.0 : std::fabs(static_cast<double>(position) - m_start) / span;
        const int filled = static_cast<int>(std::clamp(done, 0.0, 1.0) * s_barWidth);
        bar = "[" + std::string(filled, '#') + std::string(s_barWidth - filled, '-') + "] ";
    }
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.0f", stepsPerSecond);
    return m_label + " " + bar + positionText(position) + "  " + rate + " steps/s";
}

std::string ProgressDisplay::plainLine(int32_t position, double stepsPerSecond) const
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.0f", stepsPerSecond);
    return m_label + ": " + positionText(position) + ", " + rate + " steps/s";
}

std::string ProgressDisplay::positionText(int32_t position) const
{
    std::string text = "position " + std::to_string(position);
    if (m_target)
        text += ", target " + std::to_string(*m_target);
    else
        text += ", homing";
    return text;
}
