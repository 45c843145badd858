#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "avi/engine/AviEngine.h"
#include "avi/engine/RunProgress.h"

namespace kinetar::cli {

// How render shows where it is: a line redrawn on a terminal, one JSON object a line for
// scripts, or nothing.
enum class ProgressStyle { None, Bar, Json };

// "m:ss", or "h:mm:ss" from an hour on; whole seconds rounded up, so "0:00" means done.
std::string ClockText(double seconds);

// The terminal's progress line, all in video frames:
// " 42% [########------------] frame 63 of 150, 24.5 fps, 0:03 left". The time left reads
// "-:--" while it is not known yet. The bar is left out when the line would not fit in
// `columns` (0: not known), so a narrow terminal never wraps it.
std::string ProgressBarText(const avi::RunProgress& progress, double framesPerSecond, std::optional<double> secondsLeft,
                            int columns = 0);

// {"frame": 63, "total_frames": 150, "fps": 24.5, "seconds_left": 3.1}, seconds_left null while
// not known.
std::string ProgressJson(const avi::RunProgress& progress, double framesPerSecond, std::optional<double> secondsLeft);

// The one line after skipped pictures and sounds, naming them; empty when none were.
std::string LeftOutSummary(const avi::LeftOutFiles& leftOut);

// The last JSON line of a run: how it ended, its exit status, the video written (null when none
// took the destination's name), its frames, the message shown on the terminal otherwise, and
// the files left out.
struct RunEnd {
    std::string Outcome;  // done, stopped, failed or internal-error
    int Status = 0;
    std::optional<std::string> Output;
    std::uint32_t FramesWritten = 0;
    std::string Message;
    avi::LeftOutFiles LeftOut;
};
std::string RunEndJson(const RunEnd& end);

}  // namespace kinetar::cli
