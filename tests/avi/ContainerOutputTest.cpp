#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/JpegCompressor.h"
#include "avi/engine/AviEngine.h"
#include "avi/frames/FrameFitting.h"
#include "avi/muxer/MediaMuxer.h"
#include "avi/writer/FourCC.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/EngineRun.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using test::Choosing;
using test::EngineRun;
using test::ProjectFrame;
using test::WithChooser;

const std::uint32_t kH264 = FourCC('H', '2', '6', '4');
const std::uint32_t kHevc = FourCC('H', 'E', 'V', 'C');
const std::uint32_t kAv1 = FourCC('A', 'V', '0', '1');
const std::uint32_t kVp9 = FourCC('V', 'P', '9', '0');
const std::uint32_t kFfv1 = FourCC('F', 'F', 'V', '1');

// The top-level boxes of an MP4 file, in order.
std::vector<std::string> TopLevelBoxes(const std::string& path)
{
    const auto bytes = test::ReadFile(path);
    std::vector<std::string> boxes;
    std::size_t at = 0;
    while (at + 8 <= bytes.size()) {
        std::uint64_t size = (std::uint64_t{bytes[at]} << 24) | (std::uint64_t{bytes[at + 1]} << 16) |
                             (std::uint64_t{bytes[at + 2]} << 8) | bytes[at + 3];
        boxes.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        if (size < 8) {
            break;  // 64-bit sizes do not occur in files this small
        }
        at += size;
    }
    return boxes;
}

// The mean of one channel over a column of a decoded frame, down to the given row.
double ColumnMean(const test::RgbImage& image, int x, int channel, int rows = -1)
{
    rows = rows < 0 ? image.Height : rows;
    double sum = 0;
    for (int y = 0; y < rows; ++y) {
        sum += image.Pixels[static_cast<std::size_t>((y * image.Width + x) * 3 + channel)];
    }
    return sum / rows;
}

TEST(ContainerOutput, EachContainerAndCodecReadsBackAtTheExactRateWithItsColourTags)
{
    const struct {
        const char* file;
        std::uint32_t fourcc;
        std::int32_t width, height;
        std::uint32_t rateNum, rateDen;
        const char* codec;
        const char* pixelFormat;
        const char* colourSpace;  // "" : none
        const char* tag;          // the codec tag ffprobe reports, "" : not checked
        bool gstreamer;           // another player's reader plays it to the end
    } rows[] = {
        {"hd.mp4", kH264, 1280, 720, 30000, 1001, "h264", "yuv420p", "bt709", "avc1", true},
        {"sd.mov", kH264, 640, 480, 25, 1, "h264", "yuv420p", "smpte170m", "avc1", false},
        {"small.m4v", kH264, 64, 48, 24000, 1001, "h264", "yuv420p", "smpte170m", "avc1", false},
        {"hevc.mp4", kHevc, 64, 48, 25, 1, "hevc", "yuv420p", "smpte170m", "hvc1", false},
        {"av1.mp4", kAv1, 64, 48, 25, 1, "av1", "yuv420p", "smpte170m", "av01", false},
        {"h264.mkv", kH264, 64, 48, 30000, 1001, "h264", "yuv420p", "smpte170m", "", false},
        {"ffv1.mkv", kFfv1, 64, 48, 5, 1, "ffv1", "bgr0", "", "", false},
        {"av1.webm", kAv1, 64, 48, 10, 1, "av1", "yuv420p", "smpte170m", "", false},
        {"sd.webm", kVp9, 640, 480, 25, 1, "vp9", "yuv420p", "smpte170m", "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(row.width, row.height);
        project::SetFrameRate(project.header, {row.rateNum, row.rateDen});
        // Orange: a colour a wrong matrix or range visibly shifts.
        project.Picture("p.bmp", test::Bmp24(test::SolidImage(row.width, row.height, 0xE08020)));
        project.Picture("q.bmp", test::Bmp24(test::GradientImage(row.width, row.height)));
        // Three frames, the first picture held for two of them.
        const std::uint32_t twoFramesMs = 2000 * row.rateDen / row.rateNum;
        project.Frames({{"p.bmp", 1, twoFramesMs}, {"q.bmp"}});
        const auto run = project.GenerateFile(row.file, WithChooser(Choosing(MakeCodecSettings(row.fourcc))));
        ASSERT_EQ(run.result, kResultDone);
        const std::string path = project.dir.File(row.file);
        const auto probed = test::Probe(path);
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(probed->Codec, row.codec);
        EXPECT_EQ(probed->PixelFormat, row.pixelFormat);
        EXPECT_EQ(probed->Width, row.width);
        EXPECT_EQ(probed->Height, row.height);
        EXPECT_EQ(probed->FrameRate, std::to_string(row.rateNum) + "/" + std::to_string(row.rateDen));
        EXPECT_EQ(probed->CountedFrames, 3);
        const auto stream = test::ProbeStream(path, "v:0", "codec_tag_string,color_space,color_primaries,color_range");
        if (*row.colourSpace != '\0') {
            EXPECT_EQ(stream.at("color_space"), row.colourSpace);
            EXPECT_EQ(stream.at("color_primaries"), row.colourSpace);
            EXPECT_EQ(stream.at("color_range"), "tv");
        }
        if (*row.tag != '\0') {
            EXPECT_EQ(stream.at("codec_tag_string"), row.tag);
        }
        if (std::string(row.file).find(".m") != std::string::npos &&
            std::string(row.file).find(".mkv") == std::string::npos) {
            const auto boxes = TopLevelBoxes(path);
            const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
            EXPECT_TRUE(moov != boxes.end() && std::find(moov, boxes.end(), "mdat") != boxes.end());
        }
        // The colour comes back: the matrix of the conversion is the one the tags name.
        const auto frames = test::DecodeVideoFrames(path);
        ASSERT_TRUE(frames.has_value());
        ASSERT_EQ(frames->size(), 3U);
        const int x = row.width / 2;
        EXPECT_NEAR(ColumnMean(frames->front(), x, 0), 0xE0, 4);
        EXPECT_NEAR(ColumnMean(frames->front(), x, 1), 0x80, 4);
        EXPECT_NEAR(ColumnMean(frames->front(), x, 2), 0x20, 4);
        if (row.gstreamer && test::HaveProgram(test::kGstLaunch)) {
            EXPECT_EQ(test::RunCommand(test::kGstLaunch + " -q filesrc location=" + test::ShellQuote(path) +
                                       " ! decodebin ! fakesink >/dev/null 2>&1"),
                      0);
        }
    }
}

TEST(ContainerOutput, OddSidesArePaddedWithTheBackgroundAndLowDepthsKeepTheirColours)
{
    const struct {
        const char* file;
        std::uint32_t fourcc;
        std::int32_t width, height;
        std::uint8_t depthCode;  // 3: 24 bits, 2: 8 bits
        int codedWidth, codedHeight;
    } rows[] = {
        {"odd.mp4", kH264, 63, 47, 3, 64, 48},
        {"odd.webm", kVp9, 65, 48, 3, 66, 48},
        {"pal.mkv", kHevc, 64, 48, 2, 64, 48},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(row.width, row.height, row.depthCode);
        project.header.Background = {0x40, 0x40, 0x40};
        // White is in every depth's table, so it comes out unchanged.
        project.Picture("p.bmp", test::Bmp24(test::SolidImage(row.width, row.height, 0xFFFFFF)));
        project.Frames({{"p.bmp"}});
        ASSERT_EQ(project.GenerateFile(row.file, WithChooser(Choosing(MakeCodecSettings(row.fourcc)))).result,
                  kResultDone);
        const auto frames = test::DecodeVideoFrames(project.dir.File(row.file));
        ASSERT_TRUE(frames.has_value());
        ASSERT_EQ(frames->size(), 1U);
        EXPECT_EQ(frames->front().Width, row.codedWidth);
        EXPECT_EQ(frames->front().Height, row.codedHeight);
        EXPECT_NEAR(ColumnMean(frames->front(), 0, 1, row.height), 255, 4);
        if (row.codedWidth != row.width) {
            EXPECT_NEAR(ColumnMean(frames->front(), row.codedWidth - 1, 1, row.height), 0x40, 6);
        }
        if (row.codedHeight != row.height) {
            EXPECT_NEAR(
                frames->front()
                    .Pixels[(static_cast<std::size_t>(row.codedHeight - 1) * static_cast<std::size_t>(row.codedWidth) +
                             10) *
                                3 +
                            1],
                0x40, 6);
        }
    }
}

TEST(ContainerOutput, AStoppedOrFullRunLeavesAPlayableFileOfTheFramesWritten)
{
    // Noise compresses badly, so a few frames fill the room the limit leaves.
    std::mt19937 random(7);
    test::RgbImage noise = test::SolidImage(160, 120, 0);
    for (auto& value : noise.Pixels) {
        value = static_cast<std::uint8_t>(random());
    }
    const struct {
        const char* file;
        std::uint32_t fourcc;
        int stopAfterReports;  // -1: the file size limit below ends the run
        std::uint64_t limit;
        std::uint8_t result;
    } rows[] = {
        {"stop.mp4", kH264, 6, 0, kResultStopped},
        {"stop.mkv", kFfv1, 6, 0, kResultStopped},
        {"full.mp4", kH264, -1, 250000, kResultWriteFailed},
        {"full.mkv", kFfv1, -1, 400000, kResultWriteFailed},
        {"tiny.webm", kVp9, -1, 20000, kResultCannotCreateStream},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(160, 120);
        project.Picture("n.bmp", test::Bmp24(noise));
        project.Picture("g.bmp", test::Bmp24(test::GradientImage(160, 120)));
        std::vector<ProjectFrame> frames;
        for (int i = 0; i < 10; ++i) {
            frames.push_back({i % 2 == 0 ? "n.bmp" : "g.bmp"});
        }
        project.Frames(frames);
        // Lossless H.264, so its frames are large too.
        const auto choice = MakeCodecSettings(row.fourcc, row.fourcc == kH264 ? kQualityMax : kQualityDefault);
        std::uint8_t result = 0;
        if (row.stopAfterReports > 0) {
            result =
                project
                    .GenerateFile(row.file, WithChooser(Choosing(choice)), {.stopAfterReports = row.stopAfterReports})
                    .result;
        } else {
            project::SetText(project.header.AviFileName, project.dir.File(row.file));
            result = static_cast<std::uint8_t>(project.GenerateWithFileSizeLimit(row.limit, choice));
        }
        EXPECT_EQ(result, row.result);
        const std::string path = project.dir.File(row.file);
        if (row.result == kResultCannotCreateStream) {
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        const auto probed = test::Probe(path);
        ASSERT_TRUE(probed.has_value());
        if (row.stopAfterReports > 0) {
            // The report after the fifth frame stops the run: five frames.
            EXPECT_EQ(probed->CountedFrames, 5);
        } else {
            EXPECT_GT(probed->CountedFrames, 0);
            EXPECT_LT(probed->CountedFrames, 10);
        }
        EXPECT_EQ(static_cast<std::int64_t>(probed->Packets.size()), probed->CountedFrames);
    }
}

TEST(ContainerOutput, WithoutAChooserAnAviOnlyChoiceGivesWayToTheContainersFirstCodec)
{
    const struct {
        const char* file;
        std::uint32_t previous;
        std::uint32_t expected;
    } rows[] = {
        {"a.mp4", kMjpgFourcc, kH264},
        {"a.webm", kH264, kVp9},
        {"a.mkv", kFfv1, kFfv1},
        {"a.avi", kMjpgFourcc, kMjpgFourcc},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(64, 48);
        project.header.CodecSettings = MakeCodecSettings(row.previous);
        project::SetText(project.header.AviFileName, project.dir.File(row.file));
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        project.Frames({{"p.bmp"}});
        bool changed = false;
        std::uint8_t result = 255;
        CreateAVI(project.header, project.Path(), changed, {}, result);
        EXPECT_EQ(result, kResultDone);
        EXPECT_EQ(project.header.CodecSettings.Handler, row.expected);
        EXPECT_EQ(changed, row.previous != row.expected);
    }
    // A chooser that insists on a codec the container cannot carry: the format is refused.
    EngineRun project(64, 48);
    project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
    project.Frames({{"p.bmp"}});
    EXPECT_EQ(project.GenerateFile("b.webm", WithChooser(Choosing(MakeCodecSettings(kMjpgFourcc)))).result,
              kResultFormatRefused);
}

TEST(MediaMuxer, AudioPacketsInterleaveWithTheVideo)
{
    const auto* codec = CodecRegistry::Default().Find(kFfv1);
    ASSERT_NE(codec, nullptr);
    CompressionOptions options;
    options.FccHandler = kFfv1;
    options.Into = Container::Mkv;
    auto compressor = codec->Make(options);
    const WorkingFrame frame(16, 16);
    ASSERT_TRUE(compressor->SetFormat(GetFrameDIB(frame, 24)->Format()));
    const test::TempDir dir;
    const std::string path = dir.File("sound.mkv");
    MediaMuxer muxer(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644), path);
    ASSERT_TRUE(muxer.AddVideoStream(*compressor->StreamParameters(), 25, 1));
    AudioStreamParameters pcm;
    pcm.CodecName = "pcm_s16le";
    pcm.BitsPerCodedSample = 16;
    ASSERT_TRUE(muxer.AddAudioStream(pcm));
    ASSERT_TRUE(muxer.WriteHeader());
    // Five frames of 1/25 s, each with its 1920 samples of two 16-bit channels.
    const std::vector<std::uint8_t> silence(1920 * 4, 0);
    std::int64_t position = 0;
    const SampleSink sink = [&](std::span<const std::uint8_t> sample, bool keyFrame) {
        return muxer.WriteAudio(silence, position * 1920, 1920) && muxer.WriteVideo(position++, sample, keyFrame);
    };
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(compressor->Compress(GetFrameDIB(frame, 24), sink));
    }
    ASSERT_TRUE(compressor->Flush(sink));
    EXPECT_TRUE(muxer.Close(5));
    EXPECT_FALSE(muxer.Failed());
    const auto audio = test::ProbeStream(path, "a:0", "codec_name,sample_rate,channels");
    EXPECT_EQ(audio.at("codec_name"), "pcm_s16le");
    EXPECT_EQ(audio.at("sample_rate"), "48000");
    EXPECT_EQ(audio.at("channels"), "2");
    std::string output;
    ASSERT_EQ(test::RunCommand(test::kFfprobe + " -v error -select_streams a:0 -show_entries packet=pts -of csv=p=0 " +
                                   test::ShellQuote(path),
                               &output),
              0);
    EXPECT_EQ(output, "0\n40\n80\n120\n160\n");  // milliseconds, Matroska's clock
    const auto probed = test::Probe(path);
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(probed->CountedFrames, 5);
}

}  // namespace
}  // namespace kinetar::avi
