#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "pictures/LoadPicture.h"
#include "support/LimitedRun.h"

namespace kinetar::pictures {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Sample = std::function<std::uint8_t(std::uint32_t x, std::uint32_t y, int i)>;

Bytes Compressed(const Bytes& data)
{
    uLongf size = compressBound(data.size());
    Bytes out(size);
    compress2(out.data(), &size, data.data(), data.size(), Z_BEST_COMPRESSION);
    out.resize(size);
    return out;
}

void AppendBe32(Bytes& bytes, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// A PNG chunk: length, type, data, CRC of type and data.
void AddChunk(Bytes& png, const std::string& type, const Bytes& data)
{
    AppendBe32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = png.size();
    png.insert(png.end(), type.begin(), type.end());
    png.insert(png.end(), data.begin(), data.end());
    AppendBe32(png, static_cast<std::uint32_t>(crc32(0, png.data() + typeAt, static_cast<uInt>(png.size() - typeAt))));
}

// IDAT data of 8-bit samples, `samples` a pixel, each row filtered with type 0; in Adam7's seven
// passes when interlaced.
Bytes PixelData(std::uint32_t width, std::uint32_t height, int samples, bool interlaced, const Sample& sample)
{
    static constexpr std::uint32_t kPasses[8][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}, {0, 0, 1, 1}};
    Bytes raw;
    for (const auto& [left, top, xStep, yStep] :
         interlaced ? std::span(kPasses).first(7) : std::span(kPasses).last(1)) {
        for (std::uint32_t y = top; y < height && left < width; y += yStep) {
            raw.push_back(0);
            for (std::uint32_t x = left; x < width; x += xStep) {
                for (int i = 0; i < samples; ++i) {
                    raw.push_back(sample(x, y, i));
                }
            }
        }
    }
    return Compressed(raw);
}

// Signature, IHDR of 8-bit samples of the colour type, the chunks before, IDAT, those after, IEND.
Bytes Png(std::uint32_t width, std::uint32_t height, std::uint8_t colorType, bool interlaced, const Bytes& pixelData,
          const std::function<void(Bytes&)>& before = {}, const std::function<void(Bytes&)>& after = {})
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    AppendBe32(header, width);
    AppendBe32(header, height);
    header.insert(header.end(), {8, colorType, 0, 0, static_cast<std::uint8_t>(interlaced)});
    AddChunk(png, "IHDR", header);
    if (before) {
        before(png);
    }
    AddChunk(png, "IDAT", pixelData);
    if (after) {
        after(png);
    }
    AddChunk(png, "IEND", {});
    return png;
}

std::uint8_t Pattern(std::uint32_t x, std::uint32_t y, int i)
{
    return static_cast<std::uint8_t>(x * 37 + y * 91 + static_cast<std::uint32_t>(i) * 53);
}

Bytes Rows(const DecodedPicture& picture)
{
    Bytes rows;
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        rows.insert(rows.end(), picture.Row(y).begin(), picture.Row(y).end());
    }
    return rows;
}

// The shortest of three decodes.
std::chrono::duration<double> DecodeTime(const Bytes& png)
{
    auto best = std::chrono::duration<double>::max();
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        (void)LoadPicture(png, "p.png");
        best = std::min<std::chrono::duration<double>>(best, std::chrono::steady_clock::now() - start);
    }
    return best;
}

// Metadata the frame never shows costs only its reading: 400 text chunks of 16 KB inflating to
// 16 MB each used to take over a minute and gigabytes. Each file against the same picture bare.
TEST(PngReader, TextAndUnknownChunksAreSkippedUnread)
{
    const Bytes pixels = PixelData(4096, 3072, 3, false, Pattern);
    const Bytes bare = Png(4096, 3072, 2, false, pixels);
    const Bytes inflatesTo16MB = Compressed(Bytes(16 << 20, 'a'));
    const auto text = [&](Bytes head) {
        head.insert(head.end(), inflatesTo16MB.begin(), inflatesTo16MB.end());
        return head;
    };
    const struct {
        const char* name;
        std::string type;
        Bytes afterKeyword;
        bool afterPixels;
    } rows[] = {
        {"zTXt", "zTXt", text({0}), false},                           // compression method, then the stream
        {"iTXt after the pixels", "iTXt", text({1, 0, 0, 0}), true},  // compressed, method, no language or translation
        {"a private chunk", "prVt", Bytes(16 << 10, 'a'), false},
    };
    const Bytes bareRows = Rows(*LoadPicture(bare, "bare.png"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto chunks = [&](Bytes& png) {
            Bytes data = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
            data.insert(data.end(), row.afterKeyword.begin(), row.afterKeyword.end());
            for (int i = 0; i < 400; ++i) {
                AddChunk(png, row.type, data);
            }
        };
        const Bytes png =
            row.afterPixels ? Png(4096, 3072, 2, false, pixels, {}, chunks) : Png(4096, 3072, 2, false, pixels, chunks);
        EXPECT_EQ(Rows(*LoadPicture(png, "p.png")), bareRows);
        const auto bareTime = DecodeTime(bare);
        const auto time = DecodeTime(png);
        std::cout << row.name << ": " << time.count() << " s, bare " << bareTime.count() << " s\n";
        EXPECT_LT(time, 3 * bareTime);
    }
}

// Each pixel of an Adam7 picture arrives in one of seven passes; at a size where the last passes
// are cut short, every kind of sample lands where the picture stored whole has it.
TEST(PngReader, InterlacedPicturesDecodeAsWhole)
{
    Bytes palette;
    for (int i = 0; i < 256 * 3; ++i) {
        palette.push_back(static_cast<std::uint8_t>(i * 7));
    }
    const auto paletteWithTransparency = [&](Bytes& png) {
        AddChunk(png, "PLTE", palette);
        AddChunk(png, "tRNS", {0, 60, 120, 180, 240});
    };
    const struct {
        const char* name;
        std::uint8_t colorType;
        int samples;
    } rows[] = {{"RGB", 2, 3}, {"RGBA", 6, 4}, {"grey and alpha", 4, 2}, {"palette with transparency", 3, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes decoded[2];
        for (const bool interlaced : {false, true}) {
            const Bytes png =
                Png(13, 11, row.colorType, interlaced, PixelData(13, 11, row.samples, interlaced, Pattern),
                    row.colorType == 3 ? paletteWithTransparency : std::function<void(Bytes&)>{});
            decoded[interlaced] = Rows(*LoadPicture(png, "p.png"));
        }
        EXPECT_EQ(decoded[1], decoded[0]);
    }
}

std::uint64_t MemoryStatus(const std::string& field)  // from /proc/self/status, in bytes
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field)) {
            return std::stoull(line.substr(field.size())) * 1024;
        }
    }
    return 0;
}

// A picture with alpha in Adam7 passes used to wait whole in a buffer of its own beside the
// picture made of it. Decoded in a child process whose peak of resident memory starts again when
// the decode starts.
TEST(PngReader, AnInterlacedPictureWithAlphaIsDecodedIntoThePictureAlone)
{
    const Bytes png =
        Png(4096, 4096, 6, true,
            PixelData(4096, 4096, 4, true, [](auto, auto, int i) { return static_cast<std::uint8_t>(60 * i); }));
    const auto growth = [&] {
        std::ofstream("/proc/self/clear_refs") << "5";
        const std::uint64_t before = MemoryStatus("VmRSS:");
        (void)LoadPicture(png, "p.png");
        return std::to_string(MemoryStatus("VmHWM:") - before);
    };
    const test::LimitedRun run = test::RunLimited(growth, std::numeric_limits<std::uint64_t>::max(), 60);
    ASSERT_TRUE(run.Returned) << run.Result;
    const std::uint64_t picture = 4096 * 4096 * 3;
    EXPECT_GE(std::stoull(run.Result), picture);  // the measure sees the picture
    EXPECT_LE(std::stoull(run.Result), picture + (16 << 20));
}

}  // namespace
}  // namespace kinetar::pictures
