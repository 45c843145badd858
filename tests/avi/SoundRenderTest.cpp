#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "avi/codecs/CodecRegistry.h"
#include "avi/engine/AviEngine.h"
#include "avi/writer/FourCC.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/EngineRun.h"
#include "support/RiffWalker.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using test::Choosing;
using test::EngineRun;
using test::WithChooser;

// Every kind of file carries the music for exactly the video's length, its packets one after
// another without a gap; a sound that cannot be read is put to the frame question.
TEST(SoundRender, EveryKindOfFileCarriesTheMusicForExactlyTheVideosLength)
{
    const auto ffv1 = FourCC('F', 'F', 'V', '1');
    const struct {
        const char* file;
        std::uint32_t fourcc;
        int stopAfterReports;  // -1: the whole video, 10 frames
        // "" or nullptr: the sound cannot be read ("gone.flac"); the answer leaves it out (no sound
        // stream) or stops the run (no file)
        const char* soundCodec;
        std::int64_t frames;
        bool gstreamer = true;  // another player's reader plays it to the end; it has no AV1 decoder
        bool held = false;      // one picture held for the ten frames, its sample written ten times
        FrameErrorAnswer answer = FrameErrorAnswer::Yes;  // to an unreadable sound, "gone.flac"
    } rows[] = {
        {"music.avi", kUncompressedFourcc, -1, "pcm_s16le", 10, true, true},
        {"music.mp4", FourCC('H', '2', '6', '4'), -1, "aac", 10},
        {"music.mkv", FourCC('H', '2', '6', '4'), -1, "opus", 10},
        {"music.webm", FourCC('V', 'P', '9', '0'), -1, "opus", 10},
        {"av1.mkv", FourCC('A', 'V', '0', '1'), -1, "opus", 10, false},  // sound packets come before its header
        {"stopped.mp4", FourCC('H', '2', '6', '4'), 4, "aac", 3},
        {"stopped.avi", kUncompressedFourcc, 4, "pcm_s16le", 3},
        {"skipped.mkv", ffv1, -1, "", 10, false, false, FrameErrorAnswer::Yes},
        {"no.mkv", ffv1, -1, nullptr, 0, false, false, FrameErrorAnswer::No},
        {"cancel.mkv", ffv1, -1, nullptr, 0, false, false, FrameErrorAnswer::Cancel},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(64, 48);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        ASSERT_TRUE(test::MakeTone(project.dir.File("tone.flac"), 3.0));
        const bool readable = row.soundCodec != nullptr && *row.soundCodec != '\0';
        // The tone, three seconds, outlasts the two seconds of video.
        std::vector<test::ProjectFrame> frames{test::SoundFrame(readable ? "tone.flac" : "gone.flac")};
        frames.resize(row.held ? 2 : 11, {"p.bmp", 1, row.held ? 2000U : 0U});
        project.Frames(frames);
        const auto run = project.GenerateFile(row.file, WithChooser(Choosing(MakeCodecSettings(row.fourcc))),
                                              {.stopAfterReports = row.stopAfterReports, .answer = row.answer});
        const std::string path = project.dir.File(row.file);
        ASSERT_EQ(run.result, row.stopAfterReports < 0 && row.soundCodec != nullptr ? kResultDone : kResultStopped);
        EXPECT_EQ(run.questions.size(), readable ? 0U : 1U);
        for (const auto& question : run.questions) {
            EXPECT_NE(question.find(project.dir.File("gone.flac")), std::string::npos) << question;
        }
        ASSERT_EQ(std::filesystem::exists(path), row.soundCodec != nullptr);
        if (row.soundCodec == nullptr) {
            continue;
        }
        EXPECT_EQ(test::Probe(path).value_or(test::ProbedVideo{}).CountedFrames, row.frames);
        if (!readable) {
            EXPECT_TRUE(test::ProbeStream(path, "a:0", "codec_name").empty());
            continue;
        }
        EXPECT_EQ(test::ProbeStream(path, "a:0", "codec_name,sample_rate,channels"),
                  (std::map<std::string, std::string>{
                      {"channels", "2"}, {"codec_name", row.soundCodec}, {"sample_rate", "48000"}}));
        // Each sound packet starts where the one before it ended (Matroska rounds to milliseconds).
        std::string packets;
        test::RunCommand(test::kFfprobe +
                             " -v error -select_streams a:0 -show_entries packet=pts,duration -of csv=p=0 " +
                             test::ShellQuote(path),
                         &packets);
        std::istringstream lines(packets);
        long long pts = 0, duration = 0, end = 0, count = 0;
        for (std::string line; std::getline(lines, line);) {
            if (std::sscanf(line.c_str(), "%lld,%lld", &pts, &duration) == 2) {
                EXPECT_TRUE(count++ == 0 || std::llabs(pts - end) <= 1) << pts << " after " << end;
                end = pts + duration;
            }
        }
        EXPECT_GT(count, 2);
        // To the sample in AVI; the compressed kinds end on their last whole packet, within a frame.
        const std::int64_t videoSamples = row.frames * 48000 / 5;
        const std::int64_t samples = test::DecodedSoundSamples(path);
        if (std::string_view(row.soundCodec) == "pcm_s16le") {
            EXPECT_EQ(samples, videoSamples);
            // Each frame's sound follows it, before the next frame.
            std::string order;
            const auto file = test::WalkRiffFile(path);
            for (const auto& chunk : file.Chunks.at(0).Child("movi")->Children) {
                order += test::FourccOf(chunk.Id) == "00db" ? 'v' : test::FourccOf(chunk.Id) == "01wb" ? 'a' : '.';
            }
            EXPECT_EQ(std::count(order.begin(), order.end(), 'v'), row.frames) << order;
            EXPECT_EQ(order.find("vv"), std::string::npos) << order;
        } else {
            EXPECT_GE(samples, videoSamples);
            EXPECT_LT(samples, videoSamples + 48000 / 5);
        }
        if (test::HaveProgram(test::kGstLaunch) && row.stopAfterReports < 0 && row.gstreamer) {
            EXPECT_TRUE(test::GStreamerPlaysToTheEnd(path));
        }
    }
}

}  // namespace
}  // namespace kinetar::avi
