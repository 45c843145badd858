#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <random>
#include <set>

#include "avi/engine/AviEngine.h"
#include "avi/writer/FourCC.h"
#include "common/WriteAll.h"
#include "support/BmpBuilder.h"
#include "support/EngineRun.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using test::Choosing;
using test::EngineRun;
using test::WithChooser;

const std::uint32_t kFfv1 = FourCC('F', 'F', 'V', '1');
const std::uint32_t kDib = kUncompressedFourcc;
const std::vector<std::uint8_t> kEarlier{1, 2, 3};

// A run into `file` of the folder, over an earlier file of that name; what it told and what the
// destination holds afterwards: the earlier bytes, or a video that plays its frames.
void ExpectDestination(const EngineRun& project, const std::string& file, const RunOutcome& outcome, bool replaced)
{
    EXPECT_EQ(outcome.DestinationReplaced, replaced);
    EXPECT_EQ(project.Files(), (std::set<std::string>{"p.bmp", "work.AVIprj", file}));
    if (!replaced) {
        EXPECT_EQ(test::ReadFile(project.dir.File(file)), kEarlier);
        return;
    }
    const auto probed = test::Probe(project.dir.File(file));
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(std::max<std::int64_t>(probed->CountedFrames, 0), outcome.FramesWritten);  // -1: none to decode
}

TEST(RunOutcome, AFullDiskAtAnyWriteIsResult7AndReplacesOnlyWithFrames)
{
    // Noise compresses badly: a frame stays some 57 KB in either codec.
    std::mt19937 random(3);
    test::RgbImage noise = test::SolidImage(160, 120, 0);
    for (auto& value : noise.Pixels) {
        value = static_cast<std::uint8_t>(random());
    }
    // AVI: 8192 bytes of headers, then the movi list; Matroska: 64 KiB held for the index first.
    const struct {
        const char* file;
        std::uint32_t fourcc;
        std::int64_t limit;
        int error;
        bool written;
    } rows[] = {
        {"out.avi", kDib, 100, ENOSPC, false},          // the first header write
        {"out.avi", kDib, 8192 + 5000, EDQUOT, false},  // the first frame
        {"out.avi", kDib, 8192 + 3 * 57608 + 500, EFBIG, true},
        {"out.mkv", kFfv1, 1000, ENOSPC, false},   // the room for the headers
        {"out.mkv", kFfv1, 90000, EDQUOT, false},  // the first frame
        {"out.mkv", kFfv1, 300000, EFBIG, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + std::to_string(row.limit));
        EngineRun project(160, 120);
        project.Picture("p.bmp", test::Bmp24(noise));
        project.Frames(std::vector<test::ProjectFrame>(10, {"p.bmp"}));
        test::WriteFile(project.dir.File(row.file), kEarlier);
        RunOutcome outcome;
        auto services = WithChooser(Choosing(MakeCodecSettings(row.fourcc)));
        services.Outcome = &outcome;
        LimitWritesForTesting(row.limit, row.error);
        EXPECT_EQ(project.GenerateFile(row.file, services).result, kResultWriteFailed);
        LimitWritesForTesting(-1, 0);
        EXPECT_EQ(outcome.SystemError, row.error);
        EXPECT_EQ(outcome.FramesWritten > 0, row.written);
        ExpectDestination(project, row.file, outcome, row.written);
    }
}

TEST(RunOutcome, ARunEndingBeforeItsFirstFrameLeavesTheEarlierFile)
{
    using enum FrameErrorAnswer;
    const std::uint32_t kFailing = FourCC('F', 'A', 'I', 'L');
    CodecRegistry failing;
    failing.Add({.Fourcc = kFailing, .Name = "Failing", .Make = [](const CompressionOptions&) {
                     struct Failing : Compressor {
                         bool SetFormat(std::span<const std::uint8_t>) override { return true; }
                         std::vector<std::uint8_t> OutputFormat() const override { return {}; }
                         bool Compressed() const override { return true; }
                         bool Compress(std::unique_ptr<const FrameDIB>, const SampleSink&) override { return false; }
                     };
                     return std::unique_ptr<Compressor>(std::make_unique<Failing>());
                 }});
    // Into Matroska with FFV1, else into AVI; a run through every record replaces the file, as an
    // empty project does.
    const struct {
        const char* name;
        std::uint32_t fourcc;
        std::vector<test::ProjectFrame> frames;
        test::RunOptions options;
        std::uint8_t result;
        std::uint32_t written;
    } rows[] = {
        {"No at a bad first picture", kDib, {{"gone.bmp"}, {"p.bmp"}}, {.answer = No}, kResultStopped, 0},
        {"Cancel there", kFfv1, {{"gone.bmp"}, {"p.bmp"}}, {.answer = Cancel}, kResultStopped, 0},
        {"a compressor failing at the first frame", kFailing, {{"p.bmp"}}, {}, kResultWriteFailed, 0},
        {"Yes, then a stop", kDib, {{"gone.bmp"}, {"p.bmp"}, {"p.bmp"}}, {.stopAfterReports = 2}, kResultStopped, 1},
        {"every picture bad, answered Yes", kDib, {{"gone.bmp"}}, {}, kResultDone, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string file = row.fourcc == kFfv1 ? "out.mkv" : "out.avi";
        EngineRun project(64, 48);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        project.Frames(row.frames);
        test::WriteFile(project.dir.File(file), kEarlier);
        RunOutcome outcome{.FramesWritten = 99,
                           .DestinationReplaced = true,
                           .SystemError = 1,
                           .Detail = "x",
                           .LeftOut = {.Kept = {{}}, .Pictures = 1, .Sounds = 1}};
        auto services =
            WithChooser(Choosing(MakeCodecSettings(row.fourcc)), row.fourcc == kFailing ? &failing : nullptr);
        services.Outcome = &outcome;
        EXPECT_EQ(project.GenerateFile(file, services, row.options).result, row.result);
        EXPECT_EQ(outcome.FramesWritten, row.written);
        EXPECT_EQ(outcome.SystemError, 0);
        EXPECT_EQ(outcome.Detail, "");
        // Only a picture answered Yes is left out; one that stopped the run is not.
        const bool leftOut = row.options.answer == Yes && row.frames.front().picture == "gone.bmp";
        ASSERT_EQ(outcome.LeftOut.Kept.size(), leftOut ? 1U : 0U);
        EXPECT_EQ(outcome.LeftOut.Pictures, leftOut ? 1U : 0U);
        EXPECT_EQ(outcome.LeftOut.Sounds, 0U);
        if (leftOut) {
            EXPECT_EQ(outcome.LeftOut.Kept[0].Path, project.dir.File("gone.bmp"));
            EXPECT_FALSE(outcome.LeftOut.Kept[0].Sound);
        }
        ExpectDestination(project, file, outcome, row.written > 0 || row.result == kResultDone);
    }
}

TEST(RunOutcome, AnUnexpectedFailureMidRunLeavesTheEarlierFileAndNoPartOfTheNew)
{
    // A compressor that takes two frames, then fails as a broken library would: by throwing.
    const std::uint32_t kThrowing = FourCC('T', 'H', 'R', 'O');
    CodecRegistry throwing;
    throwing.Add({.Fourcc = kThrowing, .Name = "Throwing", .Make = [](const CompressionOptions&) {
                      struct Throwing : Compressor {
                          bool SetFormat(std::span<const std::uint8_t>) override { return true; }
                          std::vector<std::uint8_t> OutputFormat() const override { return {}; }
                          bool Compressed() const override { return true; }
                          bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) override
                          {
                              if (++m_frames > 2) {
                                  throw std::bad_alloc();
                              }
                              return sink(frame->Pixels(), true);
                          }
                          int m_frames = 0;
                      };
                      return std::unique_ptr<Compressor>(std::make_unique<Throwing>());
                  }});
    // Pictures held for several frames and crossfaded: frames are written before the failure.
    const std::vector<test::ProjectFrame> frames = {{.picture = "p.bmp", .durationMs = 1000},
                                                    {.picture = "p.bmp", .durationMs = 1000, .crossfadeMs = 400}};
    const struct {
        const char* name;
        const char* file;
        std::uint32_t fourcc;
        int throwAtReport;
    } rows[] = {
        {"the progress callback throws after frame 2, AVI", "out.avi", kDib, 3},
        {"the progress callback throws after frame 2, Matroska", "out.mkv", kFfv1, 3},
        {"the compressor throws at frame 3", "out.avi", kThrowing, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EngineRun project(64, 48);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        project.Frames(frames);
        test::WriteFile(project.dir.File(row.file), kEarlier);
        RunOutcome outcome;
        auto services =
            WithChooser(Choosing(MakeCodecSettings(row.fourcc)), row.fourcc == kThrowing ? &throwing : nullptr);
        services.Outcome = &outcome;
        EXPECT_ANY_THROW(project.GenerateFile(row.file, services, {.throwAtReport = row.throwAtReport}));
        EXPECT_GE(outcome.FramesWritten, 2U);
        ExpectDestination(project, row.file, outcome, false);
    }
}

TEST(RunOutcome, Result6SaysWhatTheCompressorRefuses)
{
    const std::string h264 = "H.264 takes only 24-bit frames of even width and height";
    const struct {
        const char* file;
        const char* fourcc;
        std::int32_t width;
        std::uint8_t depthCode;  // 2: 8 bits, 3: 24 bits
        std::string detail;
    } rows[] = {
        {"a.avi", "H264", 64, 2, h264},
        {"a.avi", "H264", 63, 3, h264},
        {"a.avi", "mrle", 64, 3, "Microsoft RLE takes only 4- and 8-bit frames"},
        {"a.avi", "MSVC", 66, 3, "Microsoft Video 1 takes only 24-bit frames of width and height in multiples of 4"},
        {"a.webm", "MJPG", 64, 3, "a WebM file cannot carry Motion JPEG"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.detail);
        EngineRun project(row.width, 48, row.depthCode);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(row.width, 48)));
        project.Frames({{"p.bmp"}});
        RunOutcome outcome;
        auto services = WithChooser(Choosing(MakeCodecSettings(*ParseFourcc(row.fourcc))));
        services.Outcome = &outcome;
        EXPECT_EQ(project.GenerateFile(row.file, services).result, kResultFormatRefused);
        EXPECT_EQ(outcome.Detail, row.detail);
        EXPECT_EQ(project.Files(), (std::set<std::string>{"p.bmp", "work.AVIprj"}));
    }
}

}  // namespace
}  // namespace kinetar::avi
