#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/codecs/CodecRegistry.h"
#include "avi/engine/AviEngine.h"
#include "avi/writer/AviWriter.h"
#include "support/BmpBuilder.h"
#include "support/ByteWriter.h"
#include "support/EngineRun.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using project::CodecSettings;
using test::EngineRun;
using test::RgbImage;

std::uint8_t DepthCode(int bits)
{
    return static_cast<std::uint8_t>(bits == 1 ? 0 : bits == 4 ? 1 : bits == 8 ? 2 : 3);
}

// Slowly changing colours, as in a photograph, so a lossy codec's error shows as noise, not as
// the loss of detail no picture of this size has.
RgbImage SmoothImage(int width, int height, int seed)
{
    RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.Pixels.insert(image.Pixels.end(), {static_cast<std::uint8_t>(x * 150 / width + seed % 10 * 8),
                                                     static_cast<std::uint8_t>(y * 150 / height + seed % 7 * 9),
                                                     static_cast<std::uint8_t>((x + y) * 100 / (width + height) + 50)});
        }
    }
    return image;
}

// Six frames of changing pictures, fitted to the video size, at 6 frames a second.
class CodecRun : public EngineRun {
public:
    explicit CodecRun(int bits, std::int32_t width = 160, std::int32_t height = 120)
        : EngineRun(width, height, DepthCode(bits), 6)
    {
        std::vector<test::ProjectFrame> frames;
        for (int i = 0; i < 6; ++i) {
            // Frames 2 and 3 are the same, so inter frames have runs of nothing to code.
            const RgbImage picture = SmoothImage(width, height, i == 3 ? 2 : i * 9);
            frames.push_back({Picture("p" + std::to_string(i) + ".bmp", test::Bmp24(picture))});
        }
        Frames(frames);
    }

    // Renders name.avi with the given choice and no progress callback; returns the result code.
    std::uint8_t Render(const std::string& name, const CodecSettings& choice)
    {
        return GenerateInto(name, test::WithChooser(test::Choosing(choice)), {.reportProgress = false}).result;
    }
};

// The run-length, Microsoft Video 1 and Cinepak decoders do not say which frames they could start on.
bool DecoderReportsKeyFrames(std::uint32_t fourcc)
{
    return fourcc != kRleFourcc && fourcc != FourCC('M', 'S', 'V', 'C') && fourcc != FourCC('c', 'v', 'i', 'd');
}

double Psnr(const RgbImage& actual, const RgbImage& expected)
{
    double squares = 0;
    for (std::size_t i = 0; i < expected.Pixels.size(); ++i) {
        const double difference = static_cast<double>(actual.Pixels[i]) - static_cast<double>(expected.Pixels[i]);
        squares += difference * difference;
    }
    if (squares == 0) {
        return 99.0;
    }
    return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(expected.Pixels.size()) / squares);
}

struct CodecCase {
    std::uint32_t fourcc;
    int bits;
};

void PrintTo(const CodecCase& c, std::ostream* out)
{
    *out << FourccText(c.fourcc) << " at " << c.bits << " bits";
}

std::vector<CodecCase> EveryCodecAtEveryDepth()
{
    std::vector<CodecCase> cases;
    for (const CodecInfo& codec : CodecRegistry::Default().All()) {
        for (const int bits : {1, 4, 8, 24}) {
            if (codec.Takes(bits)) {
                cases.push_back({codec.Fourcc, bits});
            }
        }
    }
    return cases;
}

// The decoder an independent reader picks from the stream's format.
std::string DecoderName(std::uint32_t fourcc)
{
    const struct {
        const char* fourcc;
        const char* decoder;
    } names[] = {{"DIB ", "rawvideo"}, {"mrle", "msrle"},    {"MJPG", "mjpeg"}, {"XVID", "mpeg4"},
                 {"H264", "h264"},     {"MSVC", "msvideo1"}, {"FFV1", "ffv1"},  {"HFYU", "huffyuv"},
                 {"ULRG", "utvideo"},  {"M8RG", "magicyuv"}, {"ZMBV", "zmbv"},  {"MPNG", "png"},
                 {"cvid", "cinepak"}};
    for (const auto& name : names) {
        if (fourcc == *ParseFourcc(name.fourcc)) {
            return name.decoder;
        }
    }
    return "(not listed)";
}

bool IsLossless(std::uint32_t fourcc)
{
    for (const char* text : {"DIB ", "mrle", "FFV1", "HFYU", "ULRG", "M8RG", "ZMBV", "MPNG"}) {
        if (fourcc == *ParseFourcc(text)) {
            return true;
        }
    }
    return false;
}

// The lowest PSNR a lossy codec may give on these pictures at its default quality.
double PsnrFloor(std::uint32_t fourcc)
{
    return fourcc == FourCC('M', 'S', 'V', 'C') || fourcc == FourCC('c', 'v', 'i', 'd') ? 24.0 : 30.0;
}

class EveryCompressor : public ::testing::TestWithParam<CodecCase> {};

// Each compressor, at each depth it accepts, read back by ffprobe and decoded by ffmpeg against the
// uncompressed frames of the same run; a key frame every second frame where the codec has inter frames.
TEST_P(EveryCompressor, RoundTripsThroughAnIndependentDecoder)
{
    const CodecCase& c = GetParam();
    const CodecInfo* codec = CodecRegistry::Default().Find(c.fourcc);
    ASSERT_NE(codec, nullptr);
    CodecRun run(c.bits, 64, 48);
    CodecSettings choice = MakeCodecSettings(c.fourcc);
    choice.KeyFrameInterval = 2;
    ASSERT_EQ(run.Render("coded", choice), kResultDone);
    ASSERT_EQ(run.Render("plain", MakeCodecSettings(kUncompressedFourcc)), kResultDone);

    const auto probed = run.Probe("coded");
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(probed->FrameRate, "6/1");
    EXPECT_EQ(probed->Width, 64);
    EXPECT_EQ(probed->HeaderFrames, 6);
    ASSERT_EQ(probed->Packets.size(), 6U);
    // The index marks a key frame exactly where the decoder finds one: every frame of an intra-only
    // codec; for the others the first and then at least every second, with inter frames between.
    const auto decodedKeys = test::DecodedKeyFrames(run.Avi("coded"));
    ASSERT_EQ(decodedKeys.size(), 6U);
    int sinceKey = 0;
    bool interFrames = false;
    for (std::size_t i = 0; i < probed->Packets.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const bool key = probed->Packets[i].Key;
        if (DecoderReportsKeyFrames(c.fourcc)) {
            EXPECT_EQ(key, decodedKeys[i]);
        }
        EXPECT_TRUE(key || !codec->EveryFrameKey);
        EXPECT_TRUE(key || i > 0);
        sinceKey = key ? 0 : sinceKey + 1;
        interFrames = interFrames || !key;
        EXPECT_LT(sinceKey, 2);
    }
    // Cinepak may find a key frame cheaper than an inter frame and is free to send one.
    if (c.fourcc != FourCC('c', 'v', 'i', 'd')) {
        EXPECT_EQ(interFrames, !codec->EveryFrameKey);
    }
    EXPECT_EQ(probed->Codec, DecoderName(c.fourcc));

    const auto coded = run.DecodedFrames("coded");
    const auto plain = run.DecodedFrames("plain");
    ASSERT_TRUE(coded.has_value());
    ASSERT_TRUE(plain.has_value());
    ASSERT_EQ(coded->size(), 6U);
    ASSERT_EQ(plain->size(), 6U);
    for (std::size_t i = 0; i < coded->size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        if (IsLossless(c.fourcc)) {
            EXPECT_EQ(test::FirstDifference((*coded)[i], (*plain)[i]), "");
        } else {
            EXPECT_GE(Psnr((*coded)[i], (*plain)[i]), PsnrFloor(c.fourcc));
        }
    }
}

std::string CaseName(const ::testing::TestParamInfo<CodecCase>& info)
{
    std::string name = FourccText(info.param.fourcc);
    for (char& letter : name) {
        letter = std::isalnum(static_cast<unsigned char>(letter)) != 0 ? letter : '_';
    }
    return name + "_" + std::to_string(info.param.bits) + "bits";
}

INSTANTIATE_TEST_SUITE_P(Registry, EveryCompressor, ::testing::ValuesIn(EveryCodecAtEveryDepth()), CaseName);

TEST(Codecs, ChooserListsOnlyCompressorsForTheDepth)
{
    const auto& registry = CodecRegistry::Default();
    for (const int bits : {1, 4, 8, 24}) {
        const auto offered = registry.ForDepth(bits);
        ASSERT_FALSE(offered.empty());
        EXPECT_EQ(offered.front()->Fourcc, kUncompressedFourcc) << "uncompressed takes every depth";
        const bool rle = std::any_of(offered.begin(), offered.end(),
                                     [](const CodecInfo* codec) { return codec->Fourcc == kRleFourcc; });
        EXPECT_EQ(rle, bits == 4 || bits == 8) << bits;
    }
    ASSERT_NE(registry.Find(FourCC('M', 'J', 'P', 'G')), nullptr);
    EXPECT_TRUE(registry.Find(FourCC('M', 'J', 'P', 'G'))->HasQuality);
    EXPECT_FALSE(registry.Find(FourCC('F', 'F', 'V', '1'))->HasQuality);
}

TEST(Codecs, FormatRefusalsAndCompressorsThatCannotOpen)
{
    // A stored 24-bit-only choice handed a 1-bit frame.
    CodecRun oneBit(1);
    EXPECT_EQ(oneBit.Render("mjpeg", MakeCodecSettings(FourCC('M', 'J', 'P', 'G'))), kResultFormatRefused);
    EXPECT_FALSE(std::filesystem::exists(oneBit.Avi("mjpeg")));
    // Microsoft Video 1 takes only sides that are multiples of 4.
    CodecRun odd(24, 62, 48);
    EXPECT_EQ(odd.Render("msvc", MakeCodecSettings(FourCC('M', 'S', 'V', 'C'))), kResultFormatRefused);
    // A fourcc no compressor answers to.
    CodecRun unknown(24);
    EXPECT_EQ(unknown.Render("none", MakeCodecSettings(FourCC('x', 'y', 'z', 'w'))), kResultCannotMakeCompressor);
}

TEST(Codecs, TheSameChoiceAgainStoresNothingBack)
{
    CodecRun run(24);
    const CodecSettings choice = MakeCodecSettings(FourCC('M', 'J', 'P', 'G'), 6000);
    const std::vector<std::uint8_t> expected = [] {
        test::ByteWriter bytes;
        bytes.U32(64).U32(1).U32(0).Text("vidc").Text("MJPG").Zeros(5 * 4).U32(0).U32(0).U32(6000).Zeros(3 * 4);
        return bytes.Data();
    }();
    EXPECT_EQ(std::memcmp(&choice, expected.data(), 64), 0);

    ASSERT_EQ(run.Render("first", choice), kResultDone);
    EXPECT_EQ(run.header.CodecSettings, choice);
    const auto again =
        run.Generate(test::WithChooser(test::Choosing(MakeCodecSettings(FourCC('M', 'J', 'P', 'G'), 6000))),
                     {.reportProgress = false});
    EXPECT_EQ(again.result, kResultDone);
    EXPECT_FALSE(again.settingsChanged) << "byte-identical choice, nothing to store";
}

TEST(Codecs, QualityReachesTheEncoder)
{
    CodecRun run(24);
    for (const char* fourcc : {"MJPG", "XVID", "H264"}) {
        SCOPED_TRACE(fourcc);
        const auto handler = *ParseFourcc(fourcc);
        ASSERT_EQ(run.Render("low", MakeCodecSettings(handler, 500)), kResultDone);
        ASSERT_EQ(run.Render("high", MakeCodecSettings(handler, 9500)), kResultDone);
        EXPECT_GT(std::filesystem::file_size(run.Avi("high")), std::filesystem::file_size(run.Avi("low")) * 11 / 10);
    }
}

// Full frames handed out two frames late, as an encoder on several threads does.
class LaggingCompressor final : public Compressor {
public:
    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        m_format.assign(inputFormat.begin(), inputFormat.end());
        return true;
    }
    std::vector<std::uint8_t> OutputFormat() const override { return m_format; }
    bool Compressed() const override { return false; }
    bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) override
    {
        m_held.emplace_back(frame->Pixels().begin(), frame->Pixels().end());
        return m_held.size() <= 2 || Release(sink);
    }
    bool Flush(const SampleSink& sink) override
    {
        while (!m_held.empty()) {
            if (!Release(sink)) {
                return false;
            }
        }
        return true;
    }

private:
    bool Release(const SampleSink& sink)
    {
        const bool written = sink(m_held.front(), true);
        m_held.erase(m_held.begin());
        return written;
    }

    std::vector<std::uint8_t> m_format;
    std::vector<std::vector<std::uint8_t>> m_held;
};

TEST(Codecs, SamplesThatComeLateGoToTheirFramesPositions)
{
    CodecRegistry lagging;
    lagging.Add({.Fourcc = FourCC('L', 'A', 'G', '2'), .Name = "Lagging", .Make = [](const CompressionOptions&) {
                     return std::unique_ptr<Compressor>(std::make_unique<LaggingCompressor>());
                 }});
    for (const int stopAfter : {-1, 4}) {
        // Stopped at the report after frame 3, with frames still held back: they are written too.
        SCOPED_TRACE(stopAfter < 0 ? "whole run" : "stopped after four reports");
        CodecRun run(24, 32, 24);
        // Frame 2 cannot be read and is skipped: its position stays empty.
        ASSERT_TRUE(project::WriteFrameRecord(run.Path(), 2, project::NewFrameRecord("/missing/picture.bmp")));
        const auto render = [&](const std::string& name, std::uint32_t fourcc, const CodecRegistry* codecs) {
            return run
                .GenerateInto(name, test::WithChooser(test::Choosing(MakeCodecSettings(fourcc)), codecs),
                              {.stopAfterReports = stopAfter})
                .result;
        };
        const std::uint8_t expected = stopAfter < 0 ? kResultDone : kResultStopped;
        ASSERT_EQ(render("late", FourCC('L', 'A', 'G', '2'), &lagging), expected);
        ASSERT_EQ(render("plain", kUncompressedFourcc, nullptr), expected);
        const auto late = test::ReadFile(run.Avi("late"));
        const auto plain = test::ReadFile(run.Avi("plain"));
        EXPECT_EQ(late.size(), plain.size());
        const auto probedLate = run.Probe("late");
        const auto probedPlain = run.Probe("plain");
        ASSERT_TRUE(probedLate && probedPlain);
        std::vector<std::int64_t> latePts;
        std::vector<std::int64_t> plainPts;
        for (const auto& packet : probedLate->Packets) {
            latePts.push_back(packet.Pts);
        }
        for (const auto& packet : probedPlain->Packets) {
            plainPts.push_back(packet.Pts);
        }
        // The skipped frame 2 keeps its place: later frames keep their time.
        EXPECT_EQ(latePts,
                  stopAfter < 0 ? (std::vector<std::int64_t>{0, 1, 3, 4, 5}) : (std::vector<std::int64_t>{0, 1, 3}));
        EXPECT_EQ(latePts, plainPts);
        const auto lateFrames = run.DecodedFrames("late");
        const auto plainFrames = run.DecodedFrames("plain");
        ASSERT_TRUE(lateFrames && plainFrames);
        EXPECT_EQ(*lateFrames, *plainFrames);
    }
}

}  // namespace
}  // namespace kinetar::avi
