#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "cli/ProgressReport.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::cli {
namespace {

using namespace std::chrono_literals;

project::FrameRecord Picture(std::uint32_t durationMs, std::uint32_t crossfadeMs)
{
    project::FrameRecord record{};
    project::SetText(record.PictureFileName, "/p.jpg");
    record.Duration = durationMs;
    record.Crossfade = crossfadeMs;
    return record;
}

TEST(ProgressBarText, CountsVideoFramesWhateverThePicturesHold)
{
    // (pictures, duration, crossfade, rate): the bar's total is the video's frames, so it ends at
    // exactly 100 % and a full bar, never past them.
    const struct {
        int pictures;
        std::uint32_t durationMs;
        std::uint32_t crossfadeMs;
        project::FrameRate rate;
        std::int64_t frames;
        const char* halfway;
    } rows[] = {
        {3, 0, 0, {8, 1}, 3, " 33% [######--------------] frame 1 of 3"},
        {3, 3000, 500, {25, 1}, 225, " 49% [#########-----------] frame 112 of 225"},
        {15, 3000, 500, {30000, 1001}, 1349, " 49% [#########-----------] frame 674 of 1349"},
        {2, 2002, 0, {24000, 1001}, 96, " 50% [##########----------] frame 48 of 96"},
        {1, 86'400'000, 0, {60, 1}, 5'184'000, " 50% [##########----------] frame 2592000 of 5184000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.frames);
        const std::vector<project::FrameRecord> records(static_cast<std::size_t>(row.pictures),
                                                        Picture(row.durationMs, row.crossfadeMs));
        const std::int64_t total = project::VideoFrameCount(records, row.rate);
        EXPECT_EQ(total, row.frames);
        const std::string halfway = ProgressBarText({.FramesDone = total / 2, .FramesTotal = total}, 10, 2.0);
        EXPECT_EQ(halfway.substr(0, std::string(row.halfway).size()), row.halfway);
        const std::string end = ProgressBarText({.FramesDone = total, .FramesTotal = total}, 10, 0.0);
        EXPECT_EQ(end.substr(0, 31), "100% [####################] fra") << end;
    }
}

TEST(ProgressBarText, StaysInItsBoundsWhenTheReportsDoNot)
{
    // Reports past the end or a video of no frames must not overfill the bar or go negative.
    const struct {
        std::int64_t done;
        std::int64_t total;
        std::optional<double> left;
        int columns;
        const char* line;
    } rows[] = {
        {450, 150, 0.0, 0, "100% [####################] frame 150 of 150, 25.0 fps, 0:00 left"},
        {-5, 150, std::nullopt, 0, "  0% [--------------------] frame 0 of 150, 25.0 fps, -:-- left"},
        {0, 0, 0.0, 0, "100% [####################] frame 0 of 0, 25.0 fps, 0:00 left"},
        {1, 150, 3725.2, 0, "  0% [--------------------] frame 1 of 150, 25.0 fps, 1:02:06 left"},
        // The bar is dropped before the line could wrap on a narrow terminal.
        {75, 150, 3.0, 60, " 50% frame 75 of 150, 25.0 fps, 0:03 left"},
        {75, 150, 3.0, 80, " 50% [##########----------] frame 75 of 150, 25.0 fps, 0:03 left"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ProgressBarText({.FramesDone = row.done, .FramesTotal = row.total}, 25, row.left, row.columns),
                  row.line);
    }
}

TEST(ClockText, RoundsUpToWholeSeconds)
{
    const std::pair<double, const char*> rows[] = {
        {0, "0:00"},       {0.2, "0:01"}, {59.5, "1:00"},        {3599, "59:59"},
        {3600, "1:00:00"}, {-3, "0:00"},  {1e300, "2400:00:00"},
    };
    for (const auto& [seconds, text] : rows) {
        EXPECT_EQ(ClockText(seconds), text) << seconds;
    }
}

TEST(RunClock, TellsTimeLeftFromTheFirstSecondOfWorkWithWaitsLeftOut)
{
    const auto start = avi::RunClock::Clock::time_point{} + 100s;
    avi::RunClock clock;
    clock.Report(0, start - 5s);  // before the start: not work
    clock.Start(start);
    clock.Report(10, start + 500ms);
    EXPECT_EQ(clock.SecondsLeft(100), std::nullopt);  // half a second of work tells too little
    EXPECT_DOUBLE_EQ(clock.FramesPerSecond(), 20);
    clock.Exclude(3s);  // a question waited on the user
    clock.Report(40, start + 5s);
    EXPECT_DOUBLE_EQ(clock.FramesPerSecond(), 20);
    ASSERT_TRUE(clock.SecondsLeft(100).has_value());
    EXPECT_DOUBLE_EQ(*clock.SecondsLeft(100), 3);
    clock.Report(100, start + 8s);
    EXPECT_EQ(clock.SecondsLeft(100), 0.0);
}

TEST(ProgressJson, OneObjectALineForScripts)
{
    EXPECT_EQ(ProgressJson({.Percent = 49, .FramesDone = 74, .FramesTotal = 150}, 24.456, 3.04),
              R"({"frame": 74, "total_frames": 150, "fps": 24.46, "seconds_left": 3.0})");
    EXPECT_EQ(ProgressJson({.FramesDone = 1, .FramesTotal = 150}, 0, std::nullopt),
              R"({"frame": 1, "total_frames": 150, "fps": 0.00, "seconds_left": null})");
    EXPECT_EQ(RunEndJson({.Outcome = "internal-error",
                          .Status = 9,
                          .Output = std::nullopt,
                          .FramesWritten = 2,
                          .Message = "internal error: \"x\"",
                          .LeftOut = {.Kept = {{.Message = "m", .Path = "/a\x1b.jpg"}}, .Pictures = 3}}),
              R"({"outcome": "internal-error", "result": 9, "output": null, "frames_written": 2, )"
              R"("message": "internal error: \"x\"", "skipped": ["/a\u001b.jpg"], "skipped_count": 3})");
}

TEST(LeftOutSummary, NamesWhatWasLeftOutOnOneLine)
{
    const auto picture = [](const char* path) { return avi::UnreadableFile{.Message = "m", .Path = path}; };
    const auto sound = [](const char* path) {
        return avi::UnreadableFile{.Message = "m", .Path = path, .Sound = true};
    };
    const struct {
        std::vector<avi::UnreadableFile> leftOut;
        const char* summary;
    } rows[] = {
        {{}, ""},
        {{picture("/a.jpg")}, "1 picture could not be read and was left empty: /a.jpg"},
        {{picture("/a.jpg"), sound("/s.mp3"), picture("/b\x1b[2J.png")},
         "2 pictures could not be read and were left empty: /a.jpg, /b\\x1b[2J.png; "
         "1 sound could not be read and was left out: /s.mp3"},
        {{picture("1"), picture("2"), picture("3"), picture("4"), picture("5"), picture("6"), picture("7")},
         "7 pictures could not be read and were left empty: 1, 2, 3, 4, 5 and 2 more"},
        {{picture(""), picture("/b.png")},
         "2 pictures could not be read and were left empty: (a frame without a file name), /b.png"},
    };
    for (const auto& row : rows) {
        avi::LeftOutFiles leftOut;
        for (const avi::UnreadableFile& file : row.leftOut) {
            leftOut.Add(file);
        }
        EXPECT_EQ(LeftOutSummary(leftOut), row.summary);
    }
    // A million left out are counted; a hundred of each kind are kept for their names.
    avi::LeftOutFiles many;
    for (int i = 0; i < 1'000'000; ++i) {
        many.Add(i % 2 == 0 ? picture("p") : sound("s"));
    }
    EXPECT_EQ(many.Kept.size(), 2 * avi::LeftOutFiles::kKept);
    EXPECT_EQ(LeftOutSummary(many),
              "500000 pictures could not be read and were left empty: p, p, p, p, p and 499995 more; "
              "500000 sounds could not be read and were left out: s, s, s, s, s and 499995 more");
}

}  // namespace
}  // namespace kinetar::cli
