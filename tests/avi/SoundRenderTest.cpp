#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

TEST(SoundRender, EveryKindOfFileCarriesTheMusicForExactlyTheVideosLength)
{
    const struct {
        const char* file;
        std::uint32_t fourcc;
        int stopAfterReports;  // -1: the whole video, 10 frames
        const char* soundCodec;
        std::int64_t frames;
        bool gstreamer = true;  // another player's reader plays it to the end; it has no AV1 decoder
        bool held = false;      // one picture held for the ten frames, its sample written ten times
    } rows[] = {
        {"music.avi", kUncompressedFourcc, -1, "pcm_s16le", 10, true, true},
        {"music.mp4", FourCC('H', '2', '6', '4'), -1, "aac", 10},
        {"music.mkv", FourCC('H', '2', '6', '4'), -1, "opus", 10},
        {"music.webm", FourCC('V', 'P', '9', '0'), -1, "opus", 10},
        {"av1.mkv", FourCC('A', 'V', '0', '1'), -1, "opus", 10, false},  // sound packets come before its header
        {"stopped.mp4", FourCC('H', '2', '6', '4'), 4, "aac", 3},
        {"stopped.avi", kUncompressedFourcc, 4, "pcm_s16le", 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(64, 48);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        ASSERT_TRUE(test::MakeTone(project.dir.File("tone.flac"), 3.0));
        // The tone, three seconds, outlasts the two seconds of video.
        std::vector<test::ProjectFrame> frames{test::SoundFrame("tone.flac")};
        frames.resize(row.held ? 2 : 11, {"p.bmp", 1, row.held ? 2000U : 0U});
        project.Frames(frames);
        const auto run = project.GenerateFile(row.file, WithChooser(Choosing(MakeCodecSettings(row.fourcc))),
                                              {.stopAfterReports = row.stopAfterReports});
        ASSERT_EQ(run.result, row.stopAfterReports < 0 ? kResultDone : kResultStopped);
        const std::string path = project.dir.File(row.file);
        EXPECT_EQ(test::Probe(path).value_or(test::ProbedVideo{}).CountedFrames, row.frames);
        EXPECT_EQ(test::ProbeStream(path, "a:0", "codec_name,sample_rate,channels"),
                  (std::map<std::string, std::string>{
                      {"channels", "2"}, {"codec_name", row.soundCodec}, {"sample_rate", "48000"}}));
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

TEST(SoundRender, AnUnreadableSoundIsPutToTheFrameQuestion)
{
    const struct {
        FrameErrorAnswer answer;
        std::uint8_t result;
        bool file;
    } rows[] = {{FrameErrorAnswer::Yes, kResultDone, true},
                {FrameErrorAnswer::No, kResultStopped, false},
                {FrameErrorAnswer::Cancel, kResultStopped, false}};
    for (const auto& row : rows) {
        EngineRun project(64, 48);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        const std::string gone = project.dir.File("gone.flac");
        project.Frames({test::SoundFrame("gone.flac"), {"p.bmp"}});
        const auto run = project.GenerateFile(
            "out.mkv", WithChooser(Choosing(MakeCodecSettings(FourCC('F', 'F', 'V', '1')))), {.answer = row.answer});
        EXPECT_EQ(run.result, row.result);
        ASSERT_EQ(run.questions.size(), 1U);
        EXPECT_NE(run.questions[0].find(gone), std::string::npos) << run.questions[0];
        EXPECT_EQ(std::filesystem::exists(project.dir.File("out.mkv")), row.file);
        if (row.file) {
            EXPECT_TRUE(test::ProbeStream(project.dir.File("out.mkv"), "a:0", "codec_name").empty());
        }
    }
}

}  // namespace
}  // namespace kinetar::avi
