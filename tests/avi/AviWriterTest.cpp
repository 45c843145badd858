#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <numeric>

#include "avi/writer/AviWriter.h"
#include "support/BmpBuilder.h"
#include "support/ByteWriter.h"
#include "support/ExternalTools.h"
#include "support/RiffWalker.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using test::LoadU16;
using test::LoadU32;
using test::LoadU64;
using test::RiffChunk;
using test::RiffFile;
using test::TempDir;

// A 24-bit bitmap info header for a small frame.
std::vector<std::uint8_t> Format24(std::int32_t width, std::int32_t height)
{
    const auto stride = static_cast<std::uint32_t>((width * 24 + 31) / 32 * 4);
    return test::BmpBuilder{}
        .Size(width, height)
        .Bits(24)
        .ImageSize(stride * static_cast<std::uint32_t>(height))
        .Resolution(0, 0)
        .InfoHeader();
}

std::vector<std::uint8_t> Sample(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), seed);
    return bytes;
}

// Writes samples of the given sizes (a size below 0 leaves the position out) and walks the result.
RiffFile WriteFile(const TempDir& dir, const std::vector<int>& sizes, bool compressed, std::int64_t segmentLimit = 0)
{
    const std::string path = dir.File("w.avi");
    AviWriter writer(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (segmentLimit > 0) {
        writer.SetSegmentLimitForTesting(segmentLimit);
    }
    StreamInfo info;
    info.Rate = 5;
    info.Width = 4;
    info.Height = 3;
    info.SuggestedBufferSize = 48;
    EXPECT_TRUE(writer.CreateStream(info, Format24(4, 3)));
    EXPECT_TRUE(writer.SetFormat(Format24(4, 3), FourCC('D', 'I', 'B', ' '), compressed));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] >= 0) {
            EXPECT_TRUE(writer.WriteSample(static_cast<std::int64_t>(i),
                                           Sample(static_cast<std::size_t>(sizes[i]), static_cast<std::uint8_t>(i)),
                                           true));
        }
    }
    EXPECT_TRUE(writer.Close(static_cast<std::int64_t>(sizes.size())));
    RiffFile written = test::WalkRiffFile(path);
    EXPECT_EQ(written.Problem, "");
    return written;
}

TEST(AviWriter, HeadersDescribeTheStream)
{
    TempDir dir;
    const auto written = WriteFile(dir, {48, 48, 48}, false);
    ASSERT_EQ(written.Chunks.size(), 1U);
    const RiffChunk& riff = written.Chunks[0];
    EXPECT_EQ(test::FourccOf(riff.ListType), "AVI ");
    EXPECT_EQ(riff.Offset + 8 + riff.Size, written.Bytes.size());
    const RiffChunk* hdrl = riff.Child("hdrl");
    ASSERT_NE(hdrl, nullptr);
    const RiffChunk* avih = hdrl->Child("avih");
    ASSERT_NE(avih, nullptr);
    ASSERT_EQ(avih->Size, 56U);
    const auto& f = written.Bytes;
    const auto a = avih->DataOffset();
    EXPECT_EQ(LoadU32(f, a), 200000U);     // microseconds per frame at 5 per second
    EXPECT_EQ(LoadU32(f, a + 12), 0x10U);  // AVIF_HASINDEX
    EXPECT_EQ(LoadU32(f, a + 16), 3U);     // total frames
    EXPECT_EQ(LoadU32(f, a + 24), 1U);     // streams
    EXPECT_EQ(LoadU32(f, a + 32), 4U);
    EXPECT_EQ(LoadU32(f, a + 36), 3U);

    const RiffChunk* strl = hdrl->Child("strl");
    ASSERT_NE(strl, nullptr);
    const RiffChunk* strh = strl->Child("strh");
    ASSERT_NE(strh, nullptr);
    const auto s = strh->DataOffset();
    EXPECT_EQ(test::FourccOf(LoadU32(f, s)), "vids");
    EXPECT_EQ(test::FourccOf(LoadU32(f, s + 4)), "DIB ");
    EXPECT_EQ(LoadU32(f, s + 20), 1U);   // scale
    EXPECT_EQ(LoadU32(f, s + 24), 5U);   // rate
    EXPECT_EQ(LoadU32(f, s + 32), 3U);   // length
    EXPECT_EQ(LoadU32(f, s + 36), 48U);  // suggested buffer
    EXPECT_EQ(LoadU16(f, s + 48), 0U);
    EXPECT_EQ(LoadU16(f, s + 50), 0U);
    EXPECT_EQ(LoadU16(f, s + 52), 4U);
    EXPECT_EQ(LoadU16(f, s + 54), 3U);
    const RiffChunk* strf = strl->Child("strf");
    ASSERT_NE(strf, nullptr);
    const auto format = Format24(4, 3);
    EXPECT_TRUE(std::equal(format.begin(), format.end(), f.begin() + static_cast<std::ptrdiff_t>(strf->DataOffset())));
    const RiffChunk* dmlh = hdrl->Child("odml")->Child("dmlh");
    ASSERT_NE(dmlh, nullptr);
    EXPECT_EQ(LoadU32(f, dmlh->DataOffset()), 3U);
}

// Checks that both indexes of the first segment name exactly the data chunks of its movi list.
TEST(AviWriter, IndexesPointAtEverySampleAndGapsAreEmptyChunks)
{
    TempDir dir;
    // Position 1 is left out, odd sizes need a pad byte, position 4 is empty at the end.
    const auto written = WriteFile(dir, {48, -1, 7, 48, -1}, true);
    const auto& f = written.Bytes;
    const RiffChunk& riff = written.Chunks[0];
    const RiffChunk* movi = riff.Child("movi");
    ASSERT_NE(movi, nullptr);
    const auto samples = movi->ChildrenNamed("00dc");
    ASSERT_EQ(samples.size(), 5U);
    const std::vector<std::uint32_t> sizes = {48, 0, 7, 48, 0};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i]->Size, sizes[i]) << i;
    }
    EXPECT_EQ(f[samples[2]->DataOffset()], 2U);  // the sample written at position 2

    const RiffChunk* idx1 = riff.Child("idx1");
    ASSERT_NE(idx1, nullptr);
    ASSERT_EQ(idx1->Size, 16U * 5);
    const RiffChunk* ix00 = movi->Child("ix00");
    ASSERT_NE(ix00, nullptr);
    const auto x = ix00->DataOffset();
    EXPECT_EQ(LoadU16(f, x), 2U);
    EXPECT_EQ(f[x + 3], 1U);  // an index of chunks
    ASSERT_EQ(LoadU32(f, x + 4), 5U);
    const std::uint64_t base = LoadU64(f, x + 12);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        const auto entry = idx1->DataOffset() + 16 * i;
        EXPECT_EQ(test::FourccOf(LoadU32(f, entry)), "00dc");
        const bool key = sizes[i] > 0;
        EXPECT_EQ(LoadU32(f, entry + 4), key ? 0x10U : 0U);
        EXPECT_EQ(movi->Offset + 8 + LoadU32(f, entry + 8), samples[i]->Offset);  // counted from the "movi" fourcc
        EXPECT_EQ(LoadU32(f, entry + 12), sizes[i]);
        const auto standard = x + 24 + 8 * i;
        EXPECT_EQ(base + LoadU32(f, standard), samples[i]->DataOffset());
        EXPECT_EQ(LoadU32(f, standard + 4), sizes[i] | (key ? 0U : 0x80000000U));
    }
}

TEST(AviWriter, LargeFilesContinueInAvixSegments)
{
    TempDir dir;
    std::vector<int> sizes(40, 5000);
    sizes[17] = -1;
    const auto written = WriteFile(dir, sizes, false, 64 * 1024);
    const auto& f = written.Bytes;
    ASSERT_GE(written.Chunks.size(), 3U);
    const RiffChunk& first = written.Chunks[0];
    EXPECT_EQ(test::FourccOf(first.ListType), "AVI ");
    std::size_t samples = 0;
    std::vector<std::uint64_t> ix00Offsets;
    for (std::size_t i = 0; i < written.Chunks.size(); ++i) {
        const RiffChunk& riff = written.Chunks[i];
        SCOPED_TRACE(i);
        EXPECT_LE(riff.Size, 64U * 1024) << "segment over its limit";
        if (i > 0) {
            EXPECT_EQ(test::FourccOf(riff.ListType), "AVIX");
            EXPECT_EQ(riff.Child("idx1"), nullptr);
        }
        const RiffChunk* movi = riff.Child("movi");
        ASSERT_NE(movi, nullptr);
        const auto chunks = movi->ChildrenNamed("00db");
        const RiffChunk* ix00 = movi->Child("ix00");
        ASSERT_NE(ix00, nullptr);
        EXPECT_EQ(LoadU32(f, ix00->DataOffset() + 4), chunks.size());
        ix00Offsets.push_back(ix00->Offset);
        samples += chunks.size();
    }
    EXPECT_EQ(samples, 40U);

    // The first segment alone is what an AVI 1.0 reader sees.
    const auto firstSamples = first.Child("movi")->ChildrenNamed("00db").size();
    EXPECT_EQ(first.Child("idx1")->Size, 16U * firstSamples);
    const RiffChunk* hdrl = first.Child("hdrl");
    EXPECT_EQ(LoadU32(f, hdrl->Child("avih")->DataOffset() + 16), firstSamples);
    EXPECT_EQ(LoadU32(f, hdrl->Child("odml")->Child("dmlh")->DataOffset()), 40U);
    EXPECT_EQ(LoadU32(f, hdrl->Child("strl")->Child("strh")->DataOffset() + 32), 40U);

    const RiffChunk* indx = hdrl->Child("strl")->Child("indx");
    ASSERT_NE(indx, nullptr);
    const auto super = indx->DataOffset();
    ASSERT_EQ(LoadU32(f, super + 4), ix00Offsets.size());
    std::uint32_t duration = 0;
    for (std::size_t i = 0; i < ix00Offsets.size(); ++i) {
        EXPECT_EQ(LoadU64(f, super + 24 + 16 * i), ix00Offsets[i]);
        duration += LoadU32(f, super + 24 + 16 * i + 12);
    }
    EXPECT_EQ(duration, 40U);

    const auto probed = test::Probe(dir.File("w.avi"));
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(probed->CountedFrames, 39);
    ASSERT_EQ(probed->Packets.size(), 39U);
    EXPECT_EQ(probed->Packets[17].Pts, 18);  // the gap keeps later frames in their place
}

// Video at 25 frames a second with a frame's worth of 48 kHz stereo PCM after each frame,
// in one RIFF and across AVIX segments: both indexes find every sound chunk and ffmpeg reads the
// sound back byte for byte, as long as the video.
TEST(AviWriter, InterleavesPcmSoundAndIndexesIt)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg);
    constexpr std::size_t kBlockBytes = 1920 * 4;
    for (const auto& [frames, limit] : {std::pair{10, std::int64_t{0}}, {40, std::int64_t{32 * 1024}}}) {
        SCOPED_TRACE(frames);
        TempDir dir;
        const std::string path = dir.File("a.avi");
        AviWriter writer(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (limit > 0) {
            writer.SetSegmentLimitForTesting(limit);
        }
        StreamInfo info;
        info.Rate = 25;
        info.Width = 4;
        info.Height = 3;
        ASSERT_TRUE(writer.CreateStream(info, Format24(4, 3)));
        ASSERT_TRUE(writer.AddAudioStream({}));
        std::vector<std::uint8_t> sound;
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(writer.WriteSample(i, Sample(36, static_cast<std::uint8_t>(i)), true));
            const auto chunk = Sample(kBlockBytes, static_cast<std::uint8_t>(i * 7));
            ASSERT_TRUE(writer.WriteAudio(chunk));
            sound.insert(sound.end(), chunk.begin(), chunk.end());
        }
        EXPECT_FALSE(writer.WriteAudio(Sample(6, 0)));  // not whole blocks
        ASSERT_TRUE(writer.Close(frames));
        const RiffFile written = test::WalkRiffFile(path);
        ASSERT_EQ(written.Problem, "");
        const auto& f = written.Bytes;
        const RiffChunk* hdrl = written.Chunks[0].Child("hdrl");
        EXPECT_EQ(LoadU32(f, hdrl->Child("avih")->DataOffset() + 24), 2U);  // streams
        const auto strls = hdrl->ChildrenNamed("strl");
        ASSERT_EQ(strls.size(), 2U);
        // Each segment's ix01 indexes its sound chunks and is named, with its blocks, by the super index.
        const auto super = strls[1]->Child("indx")->DataOffset();
        EXPECT_EQ(LoadU32(f, super + 4), written.Chunks.size());
        EXPECT_EQ(written.Chunks.size() > 1, limit > 0);
        for (std::size_t i = 0; i < written.Chunks.size(); ++i) {
            const RiffChunk* movi = written.Chunks[i].Child("movi");
            const auto chunks = static_cast<std::uint32_t>(movi->ChildrenNamed("01wb").size());
            ASSERT_NE(movi->Child("ix01"), nullptr);
            EXPECT_EQ(LoadU32(f, movi->Child("ix01")->DataOffset() + 4), chunks);
            EXPECT_EQ(LoadU64(f, super + 24 + 16 * i), movi->Child("ix01")->Offset);
            EXPECT_EQ(LoadU32(f, super + 36 + 16 * i), 1920 * chunks);
        }
        const RiffChunk* idx1 = written.Chunks[0].Child("idx1");
        std::size_t soundEntries = 0;
        for (std::uint32_t at = 0; at < idx1->Size; at += 16) {
            soundEntries += test::FourccOf(LoadU32(f, idx1->DataOffset() + at)) == "01wb";
        }
        EXPECT_EQ(soundEntries, written.Chunks[0].Child("movi")->ChildrenNamed("01wb").size());

        // Lengths in frames and in samples: the sound is exactly as long as the video.
        const std::string streams =
            " -v error -show_entries stream=codec_name,sample_fmt,sample_rate,channels,time_base,nb_frames";
        std::string probed;
        ASSERT_EQ(test::RunCommand(test::kFfprobe + streams + " -of csv=p=0 " + test::ShellQuote(path), &probed), 0);
        EXPECT_EQ(probed, "rawvideo,1/25," + std::to_string(frames) + "\npcm_s16le,s16,48000,2,1/48000," +
                              std::to_string(frames * 1920) + "\n");
        const std::string raw = dir.File("a.raw");
        const std::string decode = " -v error -y -i " + test::ShellQuote(path) + " -map 0:a -c copy -f s16le ";
        EXPECT_EQ(test::RunCommand(test::kFfmpeg + decode + test::ShellQuote(raw)), 0);
        EXPECT_EQ(test::ReadFile(raw), sound);
    }
}

}  // namespace
}  // namespace kinetar::avi
