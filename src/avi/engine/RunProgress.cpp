#include "avi/engine/RunProgress.h"

#include <algorithm>

namespace kinetar::avi {

void RunClock::Start(Clock::time_point now)
{
    m_started = now;
    m_last = now;
    m_excluded = {};
    m_framesAtStart = m_framesDone;
}

void RunClock::Report(std::int64_t framesDone, Clock::time_point now)
{
    m_framesDone = framesDone;
    if (m_started) {
        m_last = std::max(m_last, now);
    }
}

double RunClock::WorkedSeconds() const
{
    if (!m_started) {
        return 0;
    }
    return std::max(0.0, std::chrono::duration<double>(m_last - *m_started - m_excluded).count());
}

double RunClock::FramesPerSecond() const
{
    const double seconds = WorkedSeconds();
    const std::int64_t frames = m_framesDone - m_framesAtStart;
    return seconds > 0 && frames > 0 ? static_cast<double>(frames) / seconds : 0;
}

std::optional<double> RunClock::SecondsLeft(std::int64_t framesTotal) const
{
    if (m_framesDone >= framesTotal) {
        return 0.0;
    }
    const double rate = FramesPerSecond();
    if (WorkedSeconds() < 1 || rate <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(framesTotal - m_framesDone) / rate;
}

}  // namespace kinetar::avi
