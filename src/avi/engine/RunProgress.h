#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace kinetar::avi {

// Where a run is at one of its reports, in video frames: a picture held for many frames counts
// each of them, and a skipped picture's frames count as done.
struct RunProgress {
    int Percent = 0;               // the frame's index x 100 / the video's frames, truncated
    std::int64_t FramesDone = 0;   // from 0 before the first frame up to FramesTotal
    std::int64_t FramesTotal = 0;  // the video's length in frames
};

// The speed of a run and the time it has left, from the frames its reports tell. Only work
// counts: the clock starts at the first frame's turn and waits on the user are taken out. No time
// left is told before a second of work, when one frame's cost swings the guess too far.
class RunClock {
public:
    using Clock = std::chrono::steady_clock;

    // The frames start now; reports before this leave speed and time left unknown.
    void Start(Clock::time_point now);
    bool Started() const { return m_started.has_value(); }
    // Time that was not work (a question waiting for its answer).
    void Exclude(Clock::duration waited) { m_excluded += waited; }
    void Report(std::int64_t framesDone, Clock::time_point now);

    // Frames per second of work so far; 0 before any.
    double FramesPerSecond() const;
    // Seconds the rest of framesTotal takes at that speed; none before a second of work.
    std::optional<double> SecondsLeft(std::int64_t framesTotal) const;

private:
    double WorkedSeconds() const;

    std::optional<Clock::time_point> m_started;
    Clock::time_point m_last;
    Clock::duration m_excluded{};
    std::int64_t m_framesAtStart = 0;
    std::int64_t m_framesDone = 0;
};

}  // namespace kinetar::avi
