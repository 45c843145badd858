#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "avi/audio/AudioTrack.h"
#include "support/ExternalTools.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using project::FrameRecord;
using test::TempDir;

constexpr project::FrameRate k25{25, 1};
constexpr int kFull = 4096;  // the generated tone's peak: an eighth of full scale

// A mono 440 Hz tone of the given seconds at 44.1 kHz, in the format the extension names.
std::string Tone(const TempDir& dir, const std::string& name, double seconds)
{
    const std::string path = dir.File(name);
    const std::string command =
        test::kFfmpeg +
        " -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds) +
        " -ac 1 " + test::ShellQuote(path);
    EXPECT_EQ(test::RunCommand(command), 0) << command;
    return path;
}

// One picture record per second of video, with the sounds in front of the picture they are cued at.
std::vector<FrameRecord> Records(int seconds, const std::vector<std::pair<int, std::string>>& sounds)
{
    std::vector<FrameRecord> records;
    for (int second = 0; second <= seconds; ++second) {
        for (const auto& [at, path] : sounds) {
            if (at == second) {
                records.push_back(project::NewSoundRecord(path));
            }
        }
        if (second < seconds) {
            records.push_back(project::NewFrameRecord("p.bmp"));
            records.back().Duration = 1000;
        }
    }
    return records;
}

// The whole track as 16-bit PCM, the left channel only; fails the test when the packets leave gaps or
// the right channel differs.
std::vector<int> Render(AudioTrack& track)
{
    std::vector<int> left;
    EXPECT_TRUE(track.Finish([&](const AudioPacket& packet) {
        EXPECT_EQ(packet.Pts, static_cast<std::int64_t>(left.size()));
        EXPECT_EQ(packet.Data.size(), static_cast<std::size_t>(packet.Duration) * 4);
        for (std::size_t i = 0; i + 3 < packet.Data.size(); i += 4) {
            const auto l = static_cast<std::int16_t>(packet.Data[i] | packet.Data[i + 1] << 8);
            const auto r = static_cast<std::int16_t>(packet.Data[i + 2] | packet.Data[i + 3] << 8);
            EXPECT_EQ(l, r);
            left.push_back(l);
        }
        return true;
    }));
    return left;
}

int Peak(const std::vector<int>& samples, std::int64_t from, std::int64_t to)
{
    int peak = 0;
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < std::min<std::int64_t>(to, std::ssize(samples)); ++i) {
        peak = std::max(peak, std::abs(samples[static_cast<std::size_t>(i)]));
    }
    return peak;
}

// Every format the libraries read, resampled from 44.1 kHz mono: the tone starts at its cue (frame
// 25 = sample 48,000), keeps its pitch and level on both channels, and silence follows its end.
TEST(AudioTrack, DecodesResamplesAndPlacesEveryFormat)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    struct Row {
        const char* extension;
        std::int64_t slack;  // samples of priming or padding a lossy format may add or lose
    };
    for (const Row& row :
         {Row{"wav", 0}, Row{"flac", 0}, Row{"mp3", 1200}, Row{"ogg", 64}, Row{"opus", 64}, Row{"m4a", 1200}}) {
        SCOPED_TRACE(row.extension);
        TempDir dir;
        const auto records = Records(3, {{1, Tone(dir, std::string("t.") + row.extension, 1.0)}});
        bool stopped = false;
        auto track = AudioTrack::Make(records, k25, 75, AudioCodec::Pcm16, {}, stopped);
        ASSERT_NE(track, nullptr);
        const auto left = Render(*track);
        ASSERT_EQ(std::ssize(left), 144'000);
        const auto first =
            std::find_if(left.begin(), left.end(), [](int s) { return std::abs(s) > 200; }) - left.begin();
        EXPECT_NEAR(static_cast<double>(first), 48e3, static_cast<double>(row.slack + 4));
        EXPECT_EQ(Peak(left, 0, 48'000 - row.slack), 0);
        EXPECT_NEAR(Peak(left, 60'000, 84'000), kFull, kFull / 10);
        EXPECT_EQ(Peak(left, 96'000 + row.slack + 64, 144'000), 0);
        int crossings = 0;
        for (std::size_t i = 60'001; i < 84'000; ++i) {
            crossings += (left[i - 1] < 0) != (left[i] < 0);
        }
        EXPECT_NEAR(crossings, 440, 4);  // 880 a second over half a second
    }
}

// Sounds cued together play in turn; a sound still playing at the video's end fades to 0 over the
// last second, or over half of a shorter video.
TEST(AudioTrack, PlacesSoundsInTurnAndFadesTheCutOne)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    TempDir dir;
    const std::string one = Tone(dir, "one.wav", 1.0);
    const std::string long1 = Tone(dir, "long.flac", 4.0);
    struct Level {
        std::int64_t from, to;
        double gainFrom, gainTo;  // linear between
    };
    struct Row {
        const char* name;
        int seconds;
        std::vector<std::pair<int, std::string>> sounds;
        std::vector<Level> levels;
    };
    const std::vector<Row> rows = {
        {"together", 3, {{0, one}, {0, one}}, {{0, 96'000, 1, 1}, {96'000, 144'000, 0, 0}}},
        {"second cue later than the first end",
         4,
         {{0, one}, {2, one}},
         {{0, 48'000, 1, 1}, {48'000, 96'000, 0, 0}, {96'000, 144'000, 1, 1}, {144'000, 192'000, 0, 0}}},
        {"cut with a second's fade", 2, {{0, long1}}, {{0, 48'000, 1, 1}, {48'000, 96'000, 1, 0}}},
        {"cut after a second sound", 3, {{0, one}, {0, long1}}, {{0, 96'000, 1, 1}, {96'000, 144'000, 1, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool stopped = false;
        auto track =
            AudioTrack::Make(Records(row.seconds, row.sounds), k25, row.seconds * 25, AudioCodec::Pcm16, {}, stopped);
        ASSERT_NE(track, nullptr);
        const auto left = Render(*track);
        ASSERT_EQ(std::ssize(left), row.seconds * 48'000);
        EXPECT_EQ(left.back(), 0);
        for (const Level& level : row.levels) {
            for (std::int64_t block = level.from + 480; block + 960 < level.to - 480; block += 960) {
                const double at =
                    static_cast<double>(block + 480 - level.from) / static_cast<double>(level.to - level.from);
                const double gain = level.gainFrom + (level.gainTo - level.gainFrom) * at;
                EXPECT_NEAR(Peak(left, block, block + 960), gain * kFull, kFull * 0.05 + 10) << block;
            }
        }
    }
}

TEST(AudioTrack, ShortVideoFadesOverHalfItsLength)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    TempDir dir;
    auto records = Records(1, {{0, Tone(dir, "t.wav", 1.0)}});
    records.back().Duration = 400;
    bool stopped = false;
    auto track = AudioTrack::Make(records, k25, 10, AudioCodec::Pcm16, {}, stopped);
    const auto left = Render(*track);
    ASSERT_EQ(left.size(), 19'200U);
    EXPECT_NEAR(Peak(left, 8'000, 9'600), kFull, kFull / 10);
    EXPECT_NEAR(Peak(left, 14'000, 15'000), kFull * 0.5, kFull / 10);
    EXPECT_LT(Peak(left, 19'000, 19'200), kFull / 40);
}

// An unreadable sound is put to the question with a message naming it: yes leaves it out, no stops.
TEST(AudioTrack, UnreadableSoundIsAskedAbout)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    TempDir dir;
    const std::string bad = dir.File("bad.mp3");
    test::WriteFile(bad, std::vector<std::uint8_t>(500, 0x55));
    const auto records = Records(2, {{0, bad}, {0, Tone(dir, "t.wav", 0.5)}});
    for (const bool skip : {true, false}) {
        std::vector<std::string> asked;
        bool stopped = false;
        auto track = AudioTrack::Make(
            records, k25, 50, AudioCodec::Pcm16,
            [&](const std::string& message) {
                asked.push_back(message);
                return skip;
            },
            stopped);
        EXPECT_EQ(asked, std::vector<std::string>{"Can't read sound file " + bad});
        EXPECT_EQ(stopped, !skip);
        ASSERT_EQ(track != nullptr, skip);
        if (skip) {
            const auto left = Render(*track);
            EXPECT_LE(std::find_if(left.begin(), left.end(), [](int s) { return s != 0; }) - left.begin(), 1);
        }
    }
}

// AAC and Opus: whole frames with their priming before 0, covering the track exactly.
TEST(AudioTrack, EncodesAacAndOpusFramesFromTheirPriming)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    TempDir dir;
    const auto records = Records(1, {{0, Tone(dir, "t.wav", 2.0)}});
    for (const auto& [codec, name, frameSize] :
         {std::tuple{AudioCodec::Aac, "aac", 1024}, {AudioCodec::Opus, "opus", 960}}) {
        SCOPED_TRACE(name);
        bool stopped = false;
        auto track = AudioTrack::Make(records, k25, 25, codec, {}, stopped);
        ASSERT_NE(track, nullptr);
        const AudioStreamFormat& format = track->Format();
        EXPECT_EQ(format.CodecName, name);
        EXPECT_EQ(format.FrameSize, frameSize);
        EXPECT_GT(format.InitialPadding, 0);
        EXPECT_FALSE(format.Extradata.empty());
        std::int64_t next = -format.InitialPadding;
        std::size_t packets = 0;
        ASSERT_TRUE(track->Finish([&](const AudioPacket& packet) {
            EXPECT_EQ(packet.Pts, next);
            EXPECT_FALSE(packet.Data.empty());
            next = packet.Pts + packet.Duration;
            ++packets;
            return true;
        }));
        EXPECT_EQ(next, 48'000);
        EXPECT_GE(packets, 48'000U / static_cast<std::size_t>(frameSize));
    }
}

}  // namespace
}  // namespace kinetar::avi
