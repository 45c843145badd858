#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <span>
#include <tuple>

#include "avi/audio/AudioTrack.h"
#include "avi/audio/SoundFile.h"
#include "avi/audio/SoundMix.h"
#include "support/ByteWriter.h"
#include "support/ExternalTools.h"
#include "support/LimitedRun.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using test::TempDir;

constexpr project::FrameRate k25{25, 1};
constexpr int kFull = 4096;  // the generated tone's peak: an eighth of full scale

// A mono 440 Hz tone of the given seconds at 44.1 kHz, in the format the extension names.
std::string Tone(const TempDir& dir, const std::string& name, double seconds)
{
    const std::string path = dir.File(name);
    const std::string tone = "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds);
    EXPECT_EQ(test::RunCommand(test::kFfmpeg + " -v error -y -f lavfi -i " + tone + " -ac 1 " + test::ShellQuote(path)),
              0);
    return path;
}

// Pictures of a second (the last one shorter when the video is), and in front of picture n the
// sounds cued at second n; the sounds come sorted by second.
std::vector<project::FrameRecord> Records(int milliseconds, const std::vector<std::pair<int, std::string>>& sounds)
{
    std::vector<project::FrameRecord> records;
    for (int start = 0; start < milliseconds; start += 1000) {
        records.push_back(project::NewFrameRecord("p.bmp"));
        records.back().Duration = static_cast<std::uint32_t>(std::min(1000, milliseconds - start));
    }
    for (auto sound = sounds.rbegin(); sound != sounds.rend(); ++sound) {
        records.insert(records.begin() + sound->first, project::NewSoundRecord(sound->second));
    }
    return records;
}

// The track as 16-bit PCM, left channel only; fails when the packets leave gaps or the channels differ.
std::vector<int> Render(AudioTrack& track, std::int64_t stopAt = 0)
{
    std::vector<int> left;
    EXPECT_TRUE(track.FinishAt(stopAt > 0 ? stopAt : track.TotalSamples(), [&](const AudioPacket& packet) {
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
    const auto part = std::span(samples).subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    return std::abs(std::ranges::max(part, {}, [](int sample) { return std::abs(sample); }));
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
        const auto records = Records(3000, {{1, Tone(dir, std::string("t.") + row.extension, 1.0)}});
        auto track = AudioTrack::Make(records, k25, 75, AudioCodec::Pcm16);
        ASSERT_NE(track, nullptr);
        const auto left = Render(*track);
        ASSERT_EQ(std::ssize(left), 144'000);
        const auto first = std::find_if(left.begin(), left.end(), [](int s) { return s != 0; }) - left.begin();
        EXPECT_NEAR(static_cast<double>(first), 48e3, static_cast<double>(row.slack + 4));
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
    const std::string four = Tone(dir, "four.flac", 4.0);
    struct Level {
        std::int64_t from, to;
        double gainFrom, gainTo;  // linear between
    };
    struct Row {
        const char* name;
        int milliseconds;
        std::vector<std::pair<int, std::string>> sounds;
        std::vector<Level> levels;
        std::int64_t stopAt = 0;  // a stopped run's end
    };
    const std::vector<Row> rows = {
        {"together", 3000, {{0, one}, {0, one}}, {{0, 96'000, 1, 1}, {96'000, 144'000, 0, 0}}},
        {"cued after the first ends", 4000, {{0, one}, {2, one}}, {{48'000, 96'000, 0, 0}, {96'000, 144'000, 1, 1}}},
        {"cut with a second's fade", 2000, {{0, four}}, {{0, 48'000, 1, 1}, {48'000, 96'000, 1, 0}}},
        {"cut after another sound", 3000, {{0, one}, {0, four}}, {{0, 96'000, 1, 1}, {96'000, 144'000, 1, 0}}},
        {"short video", 400, {{0, four}}, {{0, 9'600, 1, 1}, {9'600, 19'200, 1, 0}}},
        {"stopped before the fade", 3000, {{0, four}}, {{0, 72'000, 1, 1}}, 72'000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::int64_t frames = row.milliseconds / 40;
        auto track = AudioTrack::Make(Records(row.milliseconds, row.sounds), k25, frames, AudioCodec::Pcm16);
        ASSERT_NE(track, nullptr);
        const auto left = Render(*track, row.stopAt);
        ASSERT_EQ(std::ssize(left), row.stopAt > 0 ? row.stopAt : frames * 1920);
        EXPECT_EQ(left.back() == 0, row.stopAt == 0);
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

// The mix a player reads: the same samples in any pieces, after a seek back or forward as after
// reading from the start, and the samples the render encodes (16-bit PCM) to the sample.
TEST(SoundMix, PiecesAndSeeksGiveTheSamplesTheRenderEncodes)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    TempDir dir;
    const std::string one = Tone(dir, "one.wav", 1.0);
    const std::string four = Tone(dir, "four.flac", 4.0);
    const auto records = Records(3000, {{0, one}, {1, four}});
    const auto cues = project::SoundCues(records, k25);
    const auto pathOf = [&](std::int32_t record) {
        return project::GetText(records[static_cast<std::size_t>(record)].PictureFileName);
    };
    const auto whole = [&] {
        auto mix = SoundMix::Make(cues, pathOf, k25, 75);
        std::vector<float> samples(static_cast<std::size_t>(mix->TotalSamples()) * 2);
        EXPECT_EQ(mix->Read(samples.data(), mix->TotalSamples()), mix->TotalSamples());
        return samples;
    }();
    ASSERT_EQ(whole.size(), 144'000U * 2);

    struct Row {
        const char* name;
        std::vector<std::int64_t> seeks;  // each followed by reading 7,000 samples in odd pieces
    };
    const Row rows[] = {
        {"from the start", {0}},
        {"into the second sound", {60'000}},
        {"into the fade, then back before it", {130'000, 20'000}},
        {"forward past what was read", {10'000, 100'000}},
        {"the last samples", {143'990}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto mix = SoundMix::Make(cues, pathOf, k25, 75);
        for (const std::int64_t seek : row.seeks) {
            mix->Seek(seek);
            ASSERT_EQ(mix->Position(), seek);
            std::int64_t at = seek;
            for (const std::int64_t piece : {1, 999, 4000, 2000}) {
                std::vector<float> samples(static_cast<std::size_t>(piece) * 2);
                const std::int64_t read = mix->Read(samples.data(), piece);
                ASSERT_EQ(read, std::min(piece, 144'000 - at));
                for (std::int64_t i = 0; i < read * 2; ++i) {
                    ASSERT_EQ(samples[static_cast<std::size_t>(i)], whole[static_cast<std::size_t>(at * 2 + i)])
                        << "sample " << at + i / 2;
                }
                at += read;
            }
        }
    }

    auto track = AudioTrack::Make(records, k25, 75, AudioCodec::Pcm16);
    const auto left = Render(*track);
    ASSERT_EQ(left.size(), 144'000U);
    for (std::size_t i = 0; i < left.size(); i += 97) {
        EXPECT_NEAR(left[i], whole[2 * i] * 32767.0, 1.0) << i;
    }
}

// Files that make the decoder work: more than two channels mixed down to stereo without clipping,
// also when the file does not name them (WAV without a channel mask lists them in the standard
// speaker order); damaged bytes that lose the frames they hit, not the rest of the sound, whether
// the decoder reports them with the packet or with the frame. Channels the library cannot mix down
// and files it cannot read are asked about by name: yes lets the next sound take their place, no
// stops.
TEST(AudioTrack, HardFilesPlayOnOrAreAskedAbout)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    const auto channels = [](int count, std::string layout) {
        return [=](const TempDir& dir) {
            std::string tones = "0.7*sin(2*PI*440*t)";  // every channel the same tone at -3 dB
            for (int i = 1; i < count; ++i) {
                tones += "|0.7*sin(2*PI*440*t)";
            }
            const std::string path = dir.File("t.wav");
            EXPECT_EQ(test::RunCommand(test::kFfmpeg + " -v error -y -f lavfi -i 'aevalsrc=" + tones +
                                       (layout.empty() ? "" : ":c=" + layout) + ":s=44100:d=0.5' -c:a pcm_s16le " +
                                       test::ShellQuote(path)),
                      0);
            return path;
        };
    };
    const auto damaged = [](std::string extension) {
        return [=](const TempDir& dir) {
            const std::string path = Tone(dir, "t." + extension, 2.0);
            std::vector<std::uint8_t> bytes = test::ReadFile(path);
            std::uint32_t noise = 7;
            for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 1000; ++i) {
                noise = noise * 1'103'515'245U + 12'345U;
                bytes[i] = static_cast<std::uint8_t>(noise >> 24);
            }
            test::WriteFile(path, bytes);
            return path;
        };
    };
    const auto unreadable = [](const TempDir& dir) {
        test::WriteFile(dir.File("bad.mp3"), std::vector<std::uint8_t>(500, 0x55));
        return dir.File("bad.mp3");
    };
    const auto fifo = [](const TempDir& dir) {  // opened, it would block the run for good
        EXPECT_EQ(::mkfifo(dir.File("pipe.wav").c_str(), 0600), 0);
        return dir.File("pipe.wav");
    };
    constexpr int kLoud = 22'938;  // 0.7 of full scale
    struct Row {
        const char* name;
        std::function<std::string(const TempDir&)> make;
        bool asked;
        bool skip;               // the answer
        std::int64_t from, to;   // where the peak is measured
        int peak;                // -1: the run stops
        double tolerance = 0.1;  // of the peak
    };
    const Row rows[] = {
        {"stereo", channels(2, "stereo"), false, true, 2'400, 21'600, kLoud, 0.03},
        {"5.1", channels(6, "5.1"), false, true, 2'400, 21'600, kLoud, 0.03},
        {"7.1", channels(8, "7.1"), false, true, 2'400, 21'600, kLoud, 0.03},
        {"12 unnamed", channels(12, ""), false, true, 2'400, 21'600, kLoud, 0.03},
        {"10 unnamed, side left alone", channels(10, ""), true, true, 0, 2'400, kFull},
        {"damaged FLAC", damaged("flac"), false, true, 72'000, 86'400, kFull},  // 1.5 to 1.8 s
        {"damaged MP3", damaged("mp3"), false, true, 72'000, 86'400, kFull},
        {"unreadable, left out", unreadable, true, true, 0, 2'400, kFull},
        {"unreadable, stopping the run", unreadable, true, false, 0, 0, -1},
        {"FIFO, left out", fifo, true, true, 0, 2'400, kFull},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = row.make(dir);
        std::vector<std::string> asked;
        const auto ask = [&](const std::string& message, const std::string&) {
            return asked.push_back(message), row.skip;
        };
        bool stopped = false;
        auto track = AudioTrack::Make(Records(3000, {{0, path}, {0, Tone(dir, "next.wav", 0.5)}}), k25, 75,
                                      AudioCodec::Pcm16, ask, &stopped);
        EXPECT_EQ(asked,
                  row.asked ? std::vector<std::string>{"Can't read sound file " + path} : std::vector<std::string>{});
        EXPECT_EQ(stopped, row.peak < 0);
        ASSERT_EQ(track != nullptr, row.peak >= 0);
        if (track != nullptr) {
            EXPECT_NEAR(Peak(Render(*track), row.from, row.to), row.peak, row.peak * row.tolerance);
        }
    }
}

// AAC and Opus: whole frames from their priming before 0 on, covering the track exactly.
TEST(AudioTrack, EncodesAacAndOpusFramesFromTheirPriming)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    TempDir dir;
    const auto records = Records(1000, {{0, Tone(dir, "t.wav", 2.0)}});
    for (const auto& [codec, name, frameSize] :
         {std::tuple{AudioCodec::Aac, "aac", 1024}, {AudioCodec::Opus, "opus", 960}}) {
        SCOPED_TRACE(name);
        auto track = AudioTrack::Make(records, k25, 25, codec);
        const AudioStreamFormat& format = track->Format();
        EXPECT_EQ(format.CodecName, name);
        EXPECT_EQ(format.FrameSize, frameSize);
        EXPECT_FALSE(format.Extradata.empty());
        std::int64_t next = -format.InitialPadding;
        EXPECT_LT(next, 0);
        ASSERT_TRUE(track->Finish([&](const AudioPacket& packet) {
            EXPECT_EQ(packet.Pts, next);
            next = packet.Pts + packet.Duration;
            return true;
        }));
        EXPECT_EQ(next, 48'000);
    }
}

// A 16-bit PCM WAV file whose header states the rate and channels as given, however absurd; every
// sample at the given level.
std::vector<std::uint8_t> Wav(std::uint32_t rate, std::uint16_t channels, std::uint32_t dataBytes, std::uint16_t level)
{
    const auto blockAlign = static_cast<std::uint16_t>(channels * 2);
    test::ByteWriter wav;
    wav.Text("RIFF").U32(36 + dataBytes).Text("WAVE");
    wav.Text("fmt ").U32(16).U16(1);                     // chunk size; format tag: PCM
    wav.U16(channels).U32(rate).U32(rate * blockAlign);  // bytes a second wrap for absurd rates
    wav.U16(blockAlign).U16(16);                         // bytes per sample of all channels; bits per sample
    wav.Text("data").U32(dataBytes);
    for (std::uint32_t i = 0; i < dataBytes / 2; ++i) {
        wav.U16(level);
    }
    return wav.Data();
}

// Headers claiming rates and channels no sound file holds: each sound is refused with the sound's
// message, its length with it, or played and measured, in a child process capped at 1 GiB of
// address space and 60 seconds. A 1 Hz sound used to take gigabytes for a second of video.
TEST(AudioTrack, AbsurdRatesAndChannelsAreRefusedOrPlayedWithinMemoryAndTime)
{
    const struct {
        std::uint32_t rate;
        std::uint16_t channels;
        bool played;
        const char* why = "";  // what the refusal says after the file's name
    } rows[] = {
        {1, 1, false, ": its sample rate of 1 Hz is not one Kinetar plays (1000 to 768000 Hz)"},
        {999, 1, false, ": its sample rate of 999 Hz is not one Kinetar plays (1000 to 768000 Hz)"},
        {1'000, 1, true},
        {8'000, 1, true},
        {384'000, 2, true},
        {768'000, 1, true},
        {768'001, 1, false, ": its sample rate of 768001 Hz is not one Kinetar plays (1000 to 768000 Hz)"},
        {2'147'483'647, 1, false, ": its sample rate of 2147483647 Hz is not one Kinetar plays (1000 to 768000 Hz)"},
        {48'000, 0, false},  // the file's reader finds no sound in it
        {48'000, 24, true},  // named by the 22.2 layout
        {48'000, 255, false, ": it has 255 channels (Kinetar plays 1 to 64)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.rate) + " Hz, " + std::to_string(row.channels) + " channels");
        TempDir dir;
        const std::string path = dir.File("s.wav");
        test::WriteFile(path, Wav(row.rate, row.channels, 200'000, 3'277));  // a tenth of full scale
        const test::LimitedRun run = test::RunLimited(
            [&] {
                std::string asked;
                const auto ask = [&](const std::string& message, const std::string&) { return asked += message, true; };
                const auto track = AudioTrack::Make(Records(1000, {{0, path}}), k25, 25, AudioCodec::Pcm16, ask);
                const std::string measured = SoundSamples(path) ? ", measured" : "";
                return (track ? "played at " + std::to_string((Render(*track).at(2'400) + 164) / 328) + "%" : asked) +
                       measured;
            },
            std::uint64_t{1} << 30, 60);
        EXPECT_TRUE(run.Returned) << "signal " << run.Signal;
        EXPECT_EQ(run.Result, row.played ? "played at 10%, measured" : "Can't read sound file " + path + row.why);
        EXPECT_EQ(SoundRefusal(path).value_or("none"), row.played ? "none" : "Can't read sound file " + path + row.why);
    }
}

// A long sound's length, counted from its packets (a few decoded at each end), is where the render
// starts the sound cued after it, to the sample: a 48 kHz marker at 0.9 of full scale after a tone
// at an eighth. Lossy formats trim priming and padding, a cut file ends with its last whole packet,
// a Matroska file's rounded durations make it decode. The measuring times are printed.
TEST(AudioTrack, SoundLengthCountedFromPacketsIsWhereTheRenderStartsTheNextSound)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    const struct {
        const char* file;
        int seconds;
        const char* options = "";
        bool cut = false;  // two thirds kept, ending inside a packet
    } rows[] = {{"long.flac", 120},
                {"long.opus", 120},
                {"long.mp3", 120},
                {"long.m4a", 120},
                {"vbr.mp3", 60, "-ar 22050 -q:a 4"},
                {"vorbis.ogg", 60},
                {"aac.mkv", 60, "-c:a aac"},
                {"cut.mp3", 60, "", true},
                {"cut.opus", 60, "", true}};
    TempDir dir;
    const std::string marker = dir.File("marker.wav");
    test::WriteFile(marker, Wav(48'000, 1, 9'600, 29'491));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = dir.File(row.file);
        ASSERT_EQ(test::RunCommand(test::kFfmpeg + " -v error -f lavfi -i sine=duration=" +
                                   std::to_string(row.seconds) + " " + row.options + " " + test::ShellQuote(path)),
                  0);
        if (row.cut) {
            auto bytes = test::ReadFile(path);
            test::WriteFile(path, std::span(bytes).first(bytes.size() * 2 / 3 + 7));
        }
        const auto start = std::chrono::steady_clock::now();
        const std::optional<std::int64_t> samples = SoundSamples(path);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%s: %lld samples, measured in %.3f s\n", row.file, static_cast<long long>(samples.value_or(-1)),
                    took.count());
        const int videoMilliseconds = row.seconds * 1000 + 1000;
        auto track = AudioTrack::Make(Records(videoMilliseconds, {{0, path}, {0, marker}}), k25, videoMilliseconds / 40,
                                      AudioCodec::Pcm16);
        ASSERT_NE(track, nullptr);
        const auto left = Render(*track);
        EXPECT_EQ(std::find_if(left.begin(), left.end(), [](int s) { return s > 16'384; }) - left.begin(),
                  samples.value_or(-1));
    }
}

}  // namespace
}  // namespace kinetar::avi
