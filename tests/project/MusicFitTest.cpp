#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "common/Error.h"
#include "project/MusicFit.h"

namespace kinetar::project {
namespace {

// Records from a plan: 'S' a sound of the next length in seconds, 'P' a picture of the next
// duration in milliseconds with the given crossfade.
std::vector<FrameRecord> Plan(const std::string& kinds, const std::vector<std::uint32_t>& durations,
                              std::uint32_t crossfade = 0)
{
    std::vector<FrameRecord> records;
    std::size_t next = 0;
    for (const char kind : kinds) {
        if (kind == 'S') {
            records.push_back(NewSoundRecord("/song.mp3"));
        } else {
            FrameRecord picture = NewFrameRecord("/a.jpg");
            picture.Duration = next < durations.size() ? durations[next++] : 0;
            picture.Crossfade = crossfade;
            records.push_back(picture);
        }
    }
    return records;
}

// Every sound of the given length in seconds.
SoundLengthOf Lengths(double seconds)
{
    return [seconds](std::int32_t) -> std::optional<std::int64_t> { return std::llround(seconds * kSoundSampleRate); };
}

// The video ends on the frame where the music ends, for songs, rates and picture counts; equal
// durations differ by at most a millisecond, and kept ratios stay within a millisecond of the old.
TEST(MusicFit, TheVideoEndsOnTheMusicsLastFrame)
{
    struct Row {
        const char* name;
        std::string kinds;
        std::vector<std::uint32_t> durations;
        double song;
        FrameRate rate;
        bool keepRatios;
    };
    const Row rows[] = {
        {"17 photos, a 40 s song, 25 fps", "S" + std::string(17, 'P'), {}, 40.0, {25, 1}, false},
        {"an odd length at 29.97", "S" + std::string(7, 'P'), {}, 100.123, {30000, 1001}, false},
        {"more pictures than a frame's milliseconds", "S" + std::string(60, 'P'), {}, 61.7, {60, 1}, false},
        {"one picture", "SP", {}, 5.5, {8, 1}, false},
        {"ratios kept", "SPPP", {1000, 2000, 4000}, 21.0, {25, 1}, true},
        {"ratios with a one-frame picture", "SPPP", {0, 3000, 3000}, 12.0, {24000, 1001}, true},
        {"the sound after the first picture", "PSPPP", {2000, 2000, 2000, 2000}, 30.0, {25, 1}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto records = Plan(row.kinds, row.durations, 500);
        const MusicFit fit = FitPicturesToMusic(records, row.rate, row.keepRatios, Lengths(row.song));
        ASSERT_EQ(fit.Records.size(), records.size());
        EXPECT_EQ(fit.VideoFrames, VideoFrameCount(fit.Records, row.rate));
        const double musicFrames =
            static_cast<double>(fit.MusicEnd) * row.rate.Numerator / row.rate.Denominator / kSoundSampleRate;
        EXPECT_LE(std::abs(static_cast<double>(fit.VideoFrames) - musicFrames), 0.5) << musicFrames;
        std::vector<std::uint32_t> durations;
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(fit.Records[i].Crossfade, records[i].Crossfade);
            EXPECT_EQ(fit.Records[i].PictureFileName, records[i].PictureFileName);
            if (!IsSoundRecord(records[i])) {
                durations.push_back(fit.Records[i].Duration);
            }
        }
        const auto [shortest, longest] = std::minmax_element(durations.begin(), durations.end());
        if (!row.keepRatios) {
            EXPECT_LE(*longest - *shortest, 1U);
        } else {
            const double scale = static_cast<double>(durations.back()) / row.durations.back();
            for (std::size_t k = 1; k < durations.size(); ++k) {
                EXPECT_NEAR(durations[k], row.durations[k] * scale, 1.0);
            }
        }
    }
}

// Where it can, every picture gets the same duration to the millisecond.
TEST(MusicFit, EqualDurationsAreExactlyEqualWhereTheFrameAllows)
{
    const MusicFit fit = FitPicturesToMusic(Plan("SPPPP", {}), {25, 1}, false, Lengths(40.0));
    EXPECT_EQ(fit.VideoFrames, 1000);
    for (std::size_t i = 1; i < fit.Records.size(); ++i) {
        EXPECT_EQ(fit.Records[i].Duration, 10000U);
    }
}

TEST(MusicFit, RefusesWhatCannotBeFitted)
{
    struct Row {
        const char* name;
        std::string kinds;
        double song;
        const char* message;
    };
    const Row rows[] = {
        {"no picture", "S", 10, "no picture"},
        {"no sound", "PP", 10, "no music"},
        {"the music after the last picture", "PPS", 10, "never heard"},
        {"a song shorter than a frame a picture", "S" + std::string(30, 'P'), 0.5, "too short"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        try {
            FitPicturesToMusic(Plan(row.kinds, {}), {25, 1}, false, Lengths(row.song));
            ADD_FAILURE() << "fitted";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos) << error.what();
        }
    }
    // An unreadable sound is no music.
    EXPECT_THROW(FitPicturesToMusic(Plan("SPP", {}), {25, 1}, false, [](std::int32_t) { return std::nullopt; }), Error);
}

}  // namespace
}  // namespace kinetar::project
