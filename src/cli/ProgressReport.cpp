#include "cli/ProgressReport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "cli/CliProject.h"

namespace kinetar::cli {

namespace {

constexpr int kBarWidth = 20;
// Past this many names the summary only counts the rest.
constexpr std::size_t kNamesListed = 5;

std::string Fixed(double value, int decimals)
{
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    return text.data();
}

std::string Plural(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string ClockText(double seconds)
{
    // A guess past a hundred days says nothing more; the cap also keeps the arithmetic in range.
    const auto whole = static_cast<std::int64_t>(std::ceil(std::clamp(seconds, 0.0, 8'640'000.0)));
    std::array<char, 32> text{};
    if (whole >= 3600) {
        std::snprintf(text.data(), text.size(), "%lld:%02lld:%02lld", static_cast<long long>(whole / 3600),
                      static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
    } else {
        std::snprintf(text.data(), text.size(), "%lld:%02lld", static_cast<long long>(whole / 60),
                      static_cast<long long>(whole % 60));
    }
    return text.data();
}

std::string ProgressBarText(const avi::RunProgress& progress, double framesPerSecond, std::optional<double> secondsLeft,
                            int columns)
{
    const std::int64_t total = std::max<std::int64_t>(progress.FramesTotal, 0);
    const std::int64_t done = std::clamp<std::int64_t>(progress.FramesDone, 0, total);
    const std::int64_t percent = total > 0 ? done * 100 / total : 100;
    const auto filled = static_cast<std::size_t>(percent * kBarWidth / 100);
    std::string percentText = std::to_string(percent) + "%";
    percentText.insert(0, 4 - std::min<std::size_t>(percentText.size(), 4), ' ');
    const std::string counts = " frame " + std::to_string(done) + " of " + std::to_string(total) + ", " +
                               Fixed(framesPerSecond, 1) + " fps, " +
                               (secondsLeft ? ClockText(*secondsLeft) : std::string("-:--")) + " left";
    const std::string bar =
        " [" + std::string(filled, '#') + std::string(static_cast<std::size_t>(kBarWidth) - filled, '-') + "]";
    // The cursor stays after the line's last character, so it must be one short of the width.
    if (columns > 0 && static_cast<int>(percentText.size() + bar.size() + counts.size()) >= columns) {
        return percentText + counts;
    }
    return percentText + bar + counts;
}

std::string ProgressJson(const avi::RunProgress& progress, double framesPerSecond, std::optional<double> secondsLeft)
{
    return "{\"frame\": " + std::to_string(progress.FramesDone) +
           ", \"total_frames\": " + std::to_string(progress.FramesTotal) + ", \"fps\": " + Fixed(framesPerSecond, 2) +
           ", \"seconds_left\": " + (secondsLeft ? Fixed(*secondsLeft, 1) : std::string("null")) + "}";
}

std::string LeftOutSummary(const avi::LeftOutFiles& leftOut)
{
    const auto names = [&](bool sounds, std::uint64_t count) {
        std::string text;
        std::uint64_t listed = 0;
        for (const avi::UnreadableFile& file : leftOut.Kept) {
            if (file.Sound == sounds && listed < kNamesListed) {
                text += (listed++ == 0 ? "" : ", ") +
                        (file.Path.empty() ? "(a frame without a file name)" : Printable(file.Path));
            }
        }
        if (count > listed) {
            text += " and " + std::to_string(count - listed) + " more";
        }
        return text;
    };
    std::string summary;
    if (leftOut.Pictures != 0) {
        summary = Plural(leftOut.Pictures, "picture", "pictures") +
                  (leftOut.Pictures == 1 ? " could not be read and was left empty: "
                                         : " could not be read and were left empty: ") +
                  names(false, leftOut.Pictures);
    }
    if (leftOut.Sounds != 0) {
        summary +=
            (summary.empty() ? "" : "; ") + Plural(leftOut.Sounds, "sound", "sounds") +
            (leftOut.Sounds == 1 ? " could not be read and was left out: " : " could not be read and were left out: ") +
            names(true, leftOut.Sounds);
    }
    return summary;
}

std::string RunEndJson(const RunEnd& end)
{
    std::string json = "{\"outcome\": " + JsonString(end.Outcome) + ", \"result\": " + std::to_string(end.Status) +
                       ", \"output\": " + (end.Output ? JsonString(*end.Output) : std::string("null")) +
                       ", \"frames_written\": " + std::to_string(end.FramesWritten) +
                       ", \"message\": " + JsonString(end.Message) + ", \"skipped\": [";
    for (std::size_t i = 0; i < end.LeftOut.Kept.size(); ++i) {
        json += (i == 0 ? "" : ", ") + JsonString(end.LeftOut.Kept[i].Path);
    }
    return json + "], \"skipped_count\": " + std::to_string(end.LeftOut.Pictures + end.LeftOut.Sounds) + "}";
}

}  // namespace kinetar::cli
