#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "avi/codecs/RleEncoder.h"
#include "pictures/BmpReader.h"
#include "support/BmpBuilder.h"
#include "support/RgbImage.h"

namespace kinetar::avi {
namespace {

using Rows = std::vector<std::vector<int>>;  // pixel values, top row first

// The rows as a DIB stores them: bottom-up, packed, padded to 4 bytes.
std::vector<std::uint8_t> Pack(const Rows& rows, int bits)
{
    const auto width = static_cast<std::int64_t>(rows.front().size());
    const std::size_t stride = pictures::RowStride(width, bits);
    std::vector<std::uint8_t> bytes(stride * rows.size(), 0);
    for (std::size_t stored = 0; stored < rows.size(); ++stored) {
        const auto& row = rows[rows.size() - 1 - stored];
        for (std::size_t x = 0; x < row.size(); ++x) {
            auto& byte = bytes[stored * stride + (bits == 4 ? x / 2 : x)];
            byte = static_cast<std::uint8_t>(bits == 8 ? row[x] : (x % 2 == 0 ? byte | (row[x] << 4) : byte | row[x]));
        }
    }
    return bytes;
}

std::vector<std::uint8_t> Encode(const Rows& rows, int bits, const Rows* before = nullptr)
{
    const auto now = Pack(rows, bits);
    const auto width = static_cast<std::int32_t>(rows.front().size());
    const auto height = static_cast<std::int32_t>(rows.size());
    const IndexedRows frame{now, width, height, pictures::RowStride(width, bits), bits};
    std::vector<std::uint8_t> out;
    if (before == nullptr) {
        EncodeRle(frame, nullptr, out);
    } else {
        const auto then = Pack(*before, bits);
        const IndexedRows previous{then, width, height, frame.Stride, bits};
        EncodeRle(frame, &previous, out);
    }
    return out;
}

// Decodes run-length data with the BMP reader, as a key frame.
Rows DecodeWithBmpReader(const std::vector<std::uint8_t>& data, std::int32_t width, std::int32_t height, int bits)
{
    const std::vector<pictures::PaletteEntry> palette(bits == 4 ? 16 : 256);
    const auto file = test::BmpBuilder{}
                          .Size(width, height)
                          .Bits(static_cast<std::uint16_t>(bits))
                          .Compression(bits == 8 ? 1 : 2)
                          .Palette(palette)
                          .Pixels(data)
                          .Build();
    pictures::DecodedPicture picture;
    pictures::ReadBmpPicture(file, "/rle.bmp", picture);
    return test::PixelIndices(picture);
}

TEST(RleEncoder, KeyFramesHitEveryCodeAndDecodeBack)
{
    const struct {
        const char* name;
        int bits;
        Rows rows;
        std::vector<std::uint8_t> expected;  // empty: only the round trip is checked
    } cases[] = {
        {"one run per row; 8 bytes = stride x height", 8, {{7, 7, 7, 7}, {9, 9, 9, 9}}, {4, 9, 0, 0, 4, 7, 0, 1, 0, 1}},
        {"odd absolute block is padded", 8, {{1, 2, 3}}, {0, 3, 1, 2, 3, 0, 0, 1}},
        {"even absolute block is not", 8, {{1, 2, 3, 4}}, {0, 4, 1, 2, 3, 4, 0, 1}},
        {"one and two pixels are runs of one", 8, {{5, 6, 6, 6, 6, 1, 2}}, {1, 5, 4, 6, 1, 1, 1, 2, 0, 1}},
        {"runs longer than 255 split", 8, {std::vector<int>(600, 3)}, {255, 3, 255, 3, 90, 3, 0, 1}},
        {"absolute longer than 255 splits",
         8,
         {[] {
             std::vector<int> row(300);
             for (std::size_t i = 0; i < row.size(); ++i) {
                 row[i] = static_cast<int>(i % 2 == 0 ? i % 251 : 255 - i % 251);
             }
             return row;
         }()},
         {}},
        {"4-bit run of one value", 4, {{5, 5, 5, 5, 5}}, {5, 0x55, 0, 1, 0, 1}},
        {"4-bit run of alternating pixels", 4, {{1, 2, 1, 2, 1, 2, 1, 2, 1}}, {9, 0x12, 0, 1}},
        {"4-bit absolute block, odd count, even bytes", 4, {{1, 2, 3}}, {0, 3, 0x12, 0x30, 0, 1}},
        {"4-bit absolute block of 5 is padded", 4, {{1, 2, 3, 4, 5}}, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}},
        {"a width of 1", 8, {{4}, {5}}, {1, 5, 0, 0, 1, 4, 0, 1, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto data = Encode(c.rows, c.bits);
        if (!c.expected.empty()) {
            EXPECT_EQ(data, c.expected);
        }
        const auto width = static_cast<std::int32_t>(c.rows.front().size());
        EXPECT_EQ(DecodeWithBmpReader(data, width, static_cast<std::int32_t>(c.rows.size()), c.bits), c.rows);
    }
}

TEST(RleEncoder, FlatPicturesCompress)
{
    const Rows flat(100, std::vector<int>(320, 17));
    EXPECT_LE(Encode(flat, 8).size(), 100U * 6);
    EXPECT_LE(Encode(flat, 4).size(), 100U * 6);
}

TEST(RleEncoder, CodedSizeNeverEqualsTheUncompressedSize)
{
    // Sizes around the ones whose plain coding is exactly stride x height, which some decoders would
    // take for uncompressed rows.
    for (int width = 3; width <= 12; ++width) {
        for (int height = 1; height <= 4; ++height) {
            Rows rows(static_cast<std::size_t>(height), std::vector<int>(static_cast<std::size_t>(width)));
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = (x * 7 + y * 3) % 200 + 1;
                }
            }
            const auto data = Encode(rows, 8);
            EXPECT_NE(data.size(), pictures::RowStride(width, 8) * static_cast<std::size_t>(height))
                << width << "x" << height;
            EXPECT_EQ(DecodeWithBmpReader(data, width, height, 8), rows);
        }
    }
}

TEST(RleEncoder, RandomPicturesRoundTrip)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        const int bits = round % 2 == 0 ? 8 : 4;
        const int width = 1 + static_cast<int>(random() % 70);
        const int height = 1 + static_cast<int>(random() % 6);
        // Few colours and a bias to repeat the last pixel, so runs, blocks and their borders all occur.
        const int colours = 1 + static_cast<int>(random() % (bits == 8 ? 256 : 16));
        Rows rows(static_cast<std::size_t>(height), std::vector<int>(static_cast<std::size_t>(width)));
        for (auto& row : rows) {
            for (std::size_t x = 0; x < row.size(); ++x) {
                row[x] = (x > 0 && random() % 3 == 0) ? row[x - 1]
                                                      : static_cast<int>(random() % static_cast<unsigned>(colours));
            }
        }
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(bits));
        ASSERT_EQ(DecodeWithBmpReader(Encode(rows, bits), width, height, bits), rows);
    }
}

TEST(RleEncoder, InterFramesCodeOnlyWhatChanged)
{
    const Rows before(4, std::vector<int>(40, 1));
    Rows after = before;
    EXPECT_EQ(Encode(after, 8, &before), (std::vector<std::uint8_t>{0, 1})) << "nothing changed";

    after[3][20] = 9;  // the bottom row, stored first
    after[0][2] = 7;   // the top row, stored last
    EXPECT_EQ(Encode(after, 8, &before),
              (std::vector<std::uint8_t>{0, 2, 20, 0,  // delta to column 20 of the first stored row
                                         1, 9,         // the changed pixel
                                         0, 0,         // end of line: left of the position
                                         0, 2, 2, 2,   // delta 2 right and 2 rows on
                                         1, 7,         // the other changed pixel
                                         0, 1}));      // end of bitmap
    after[2][0] = 5;                                   // stored row 1, column 0: the end of line alone gets there
    const auto data = Encode(after, 8, &before);
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin() + 6, data.end()),
              (std::vector<std::uint8_t>{0, 0, 1, 5, 0, 2, 1, 2, 1, 7, 0, 1}));
}

}  // namespace
}  // namespace kinetar::avi
