#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "project/FrameRecordReader.h"
#include "project/Slideshow.h"
#include "support/TestFiles.h"

namespace kinetar::project {
namespace {

std::vector<FrameRecord> Durations(const std::vector<std::uint32_t>& milliseconds)
{
    std::vector<FrameRecord> records(milliseconds.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].Duration = milliseconds[i];
    }
    return records;
}

TEST(Timeline, PicturesStartAtTheRoundedExactSumOfTheDurationsBeforeThem)
{
    const FrameRate ntsc{30000, 1001};
    const struct {
        const char* name;
        FrameRate rate;
        std::vector<std::uint32_t> durations;
        std::vector<std::int64_t> starts;  // each picture's first frame, then the video's length
    } rows[] = {
        {"whole frames as before", {8, 1}, {0, 0, 0}, {0, 1, 2, 3}},
        {"seconds at 25", {25, 1}, {3000, 1000, 40}, {0, 75, 100, 101}},
        {"halves round up", {25, 1}, {20, 20, 20}, {0, 1, 2, 3}},  // 0.5, 1.0, 1.5 frames
        {"tiny durations still show", {25, 1}, {1, 1, 1, 1000}, {0, 1, 2, 3, 25}},
        {"a zero counts one frame at the rate", ntsc, {0, 1001, 0}, {0, 1, 31, 32}},
        {"no drift at 29.97", ntsc, {1000, 1000, 1000}, {0, 30, 60, 90}},  // 29.97, 59.94, 89.91
        {"a third of a second", {30, 1}, {333, 333, 334}, {0, 10, 20, 30}},
        {"rounding is of the sum, not of each", {10, 1}, {149, 149, 149}, {0, 1, 3, 4}},  // 1.49 2.98 4.47
        {"fractional rate 12.5", {25, 2}, {120, 120}, {0, 2, 3}},                         // 1.5, 3.0
        {"longest durations", {60, 1}, {kMaxMilliseconds, kMaxMilliseconds}, {0, 5'184'000, 10'368'000}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Timeline timeline(row.rate);
        std::vector<std::int64_t> starts{timeline.Frames()};
        for (const std::uint32_t duration : row.durations) {
            starts.push_back(timeline.Advance(duration));
        }
        EXPECT_EQ(starts, row.starts);
        EXPECT_EQ(VideoFrameCount(Durations(row.durations), row.rate), row.starts.back());
    }
}

TEST(Timeline, AThousandPicturesOf1001MillisecondsAt2997AreExactly30000Frames)
{
    EXPECT_EQ(VideoFrameCount(Durations(std::vector<std::uint32_t>(1000, 1001)), {30000, 1001}), 30000);
    EXPECT_EQ(VideoFrameCount(Durations(std::vector<std::uint32_t>(100'000, 40)), {25, 1}), 100'000);
}

TEST(SoundRecords, TakeNoVideoTimeAndAreCuedWhereTheNextPictureStarts)
{
    // Pictures of 1 s at 25 fps; S marks a sound record.
    const struct {
        const char* name;
        std::string layout;
        std::int64_t frames;
        std::vector<SoundCue> cues;
    } rows[] = {
        {"no sound", "PPP", 75, {}},
        {"sound first", "SPP", 50, {{0, 0}}},
        {"sound between", "PSP", 50, {{1, 25}}},
        {"sound last: at the end", "PPS", 50, {{2, 50}}},
        {"two together", "SSP", 25, {{0, 0}, {1, 0}}},
        {"only sound", "S", 0, {{0, 0}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<FrameRecord> records;
        for (const char kind : row.layout) {
            records.push_back(kind == 'S' ? NewSoundRecord("/music/song.flac") : NewFrameRecord("/p.bmp"));
            records.back().Duration = 1000;
        }
        EXPECT_EQ(VideoFrameCount(records, {25, 1}), row.frames);
        EXPECT_EQ(SoundCues(records, {25, 1}), row.cues);
        // The same from the file, read a block at a time.
        const test::TempDir dir;
        const std::string path = dir.File("p.AVIprj");
        ASSERT_TRUE(WriteProjectHeader(path, NewProjectHeader()));
        ASSERT_TRUE(WriteFrameRecords(path, 0, records));
        const TimelineSummary summary =
            SummariseTimeline(FrameRecordReader(path, FrameRecordReader::Reading::InBlocks), {25, 1});
        EXPECT_EQ(summary.VideoFrames, row.frames);
        EXPECT_EQ(summary.Cues, row.cues);
    }
}

TEST(SoundRecords, SoundsStartAtTheirCueOrWhenTheOneBeforeEnds)
{
    const FrameRate ntsc{30000, 1001};
    const struct {
        const char* name;
        FrameRate rate;
        std::vector<SoundCue> cues;
        std::vector<std::int64_t> lengths;
        std::vector<std::int64_t> starts;  // then where the last one ends
    } rows[] = {
        {"none", {25, 1}, {}, {}, {0}},
        {"at frame 25 of 25 fps", {25, 1}, {{0, 25}}, {1000}, {48000, 49000}},
        {"cued together play in turn", {25, 1}, {{0, 0}, {1, 0}}, {96000, 500}, {0, 96000, 96500}},
        {"a later cue after the first ended waits for its cue", {25, 1}, {{0, 0}, {3, 50}}, {100}, {0, 96000, 96000}},
        {"29.97: frame 30 is 1.001 s", ntsc, {{0, 30}}, {0}, {48048, 48048}},
        {"rounded to the nearest sample", ntsc, {{0, 1}}, {0}, {1602, 1602}},  // 1601.6
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SoundStarts(row.cues, row.lengths, row.rate), row.starts);
    }
}

TEST(SoundRecords, AbsurdLengthsHoldAtTheLargestNumberInsteadOfWrapping)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const FrameRate fastest{2147483647, 1};
    const FrameRate slowest{1, 4294967295};
    // A file may hold any duration: 1,100 of the longest at the fastest rate pass 2^63 frames.
    EXPECT_EQ(VideoFrameCount(Durations(std::vector<std::uint32_t>(1100, 0xFFFFFFFF)), fastest), kMax);
    const struct {
        const char* name;
        std::int64_t got;
        std::int64_t expected;
    } rows[] = {
        {"the last frame at the slowest rate", SampleAtFrame(kMax, slowest), kMax},
        {"a sound that ends past the largest", SoundStarts(std::vector<SoundCue>{{0, kMax}}, {{kMax}}, slowest).back(),
         kMax},
        {"milliseconds of the largest", SampleMilliseconds(kMax), kMax / 48 + 1},  // ...807 / 48 rounds up
        {"half a millisecond rounds up", SampleMilliseconds(24), 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.got, row.expected) << row.name;
    }
}

TEST(FrameRate, TextsReadAsExactFractions)
{
    const struct {
        const char* text;
        FrameRate rate;
        const char* shown;  // FormatFrameRate of the rate
    } rows[] = {
        {"25", {25, 1}, "25"},
        {"29.970", {30000, 1001}, "29.97"},
        {"23.976", {24000, 1001}, "23.976"},
        {"12.5", {25, 2}, "12.5"},
        {"50/2", {25, 1}, "25"},
        {"10/3", {10, 3}, "10/3"},
        {"2147483647", {2147483647, 1}, "2147483647"},
    };
    for (const char* refused : {"2147483648", "1/4294967296", "0", "0.0", "1/0", "", ".", "1.2.3", "1/2/3", "-25",
                                "2.5/2", "25fps", "0.0000000001"}) {
        EXPECT_EQ(ParseFrameRate(refused), std::nullopt) << refused;
    }
    EXPECT_EQ(FormatFrameRate({60000, 2002}), "29.97");  // as another program may store it
    for (const auto& row : rows) {
        EXPECT_EQ(ParseFrameRate(row.text), row.rate) << row.text;
        EXPECT_EQ(FormatFrameRate(row.rate), row.shown) << row.text;
    }
}

TEST(Seconds, DecimalsAreWholeMilliseconds)
{
    const struct {
        const char* text;
        std::optional<std::uint32_t> milliseconds;
    } rows[] = {
        {"3", 3000},       {"0.5", 500},      {"2.002", 2002},  {".25", 250},          {"4.", 4000},
        {"0.0004", 0},     {"0.0005", 1},     {"1.9999", 2000}, {"86400", 86'400'000}, {"86400.0004", 86'400'000},
        {"86400.001", {}}, {"999999999", {}}, {"-1", {}},       {"1e3", {}},           {"", {}},
        {".", {}},         {"1,5", {}},       {"1.2.3", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseSeconds(row.text), row.milliseconds);
    }
    for (const std::uint32_t milliseconds : {0U, 3000U, 500U, 2002U, 1010U, 86'400'000U}) {
        EXPECT_EQ(ParseSeconds(FormatSeconds(milliseconds)), milliseconds) << FormatSeconds(milliseconds);
    }
    EXPECT_EQ(FormatSeconds(2500), "2.5");
    EXPECT_EQ(FormatSeconds(40), "0.04");
}

TEST(VideoLengthText, MinutesSecondsAndTenthsBesideTheFrames)
{
    EXPECT_EQ(VideoLengthText(1, {8, 1}), "0:00.1 \u2014 1 frame");
    EXPECT_EQ(VideoLengthText(107892, {30000, 1001}), "1:00:00.0 \u2014 107,892 frames");
}

TEST(FitMode, AFitByteThisProgramDoesNotKnowFollowsTheStretchByte)
{
    FrameRecord record;
    record.Fit = 9;
    record.Stretch = 7;
    EXPECT_EQ(GetFit(record), FitMode::Stretch);
}

}  // namespace
}  // namespace kinetar::project

namespace kinetar::project {
namespace {

// The frame list's timing texts for (start, duration, crossfade, rate) rows.
TEST(TimingText, PicturesAndSoundsSayWhenAndHowLong)
{
    struct Row {
        std::int64_t start;
        std::uint32_t duration, crossfade;
        FrameRate rate;
        const char* text;
    };
    const Row rows[] = {
        {75, 3000, 0, {25, 1}, "0:03.0 \u00b7 3 s"},
        {0, 0, 0, {8, 1}, "0:00.0 \u00b7 1 frame"},
        {150, 3000, 500, {25, 1}, "0:06.0 \u00b7 3 s \u00b7 \u2194 0.5 s"},
        {90, 2002, 0, {30000, 1001}, "0:03.0 \u00b7 2.002 s"},
        {1799, 1000, 250, {30000, 1001}, "1:00.0 \u00b7 1 s \u00b7 \u2194 0.25 s"},
        {90'000, 4000, 0, {25, 1}, "1:00:00.0 \u00b7 4 s"},
        {3, 0, 0, {25, 1}, "0:00.1 \u00b7 1 frame"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PictureTimingText(row.start, row.duration, row.crossfade, row.rate), row.text);
    }
    EXPECT_EQ(SoundTimingText(144'000, 6'240'000, true), "\u25b6 0:03.0 \u00b7 2:10.0");
    EXPECT_EQ(SoundTimingText(0, std::nullopt, true), "\u25b6 0:00.0");
    EXPECT_EQ(SoundTimingText(480'000, 6'240'000, false), "not heard");
    EXPECT_EQ(VideoLengthText(3133, {25, 1}), "2:05.3 \u2014 3,133 frames");
}

}  // namespace
}  // namespace kinetar::project
