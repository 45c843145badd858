#include <gtest/gtest.h>

#include <vector>

#include "pictures/DecodedPicture.h"
#include "pictures/GifLzw.h"
#include "support/ByteWriter.h"
#include "support/ErrorText.h"
#include "support/GifBuilder.h"

namespace kinetar::pictures {
namespace {

using test::LzwCodeWriter;
using test::LzwEncode;
using test::SubBlocks;

struct Image {
    std::int32_t Width = 1;
    std::int32_t Height = 1;
    int Bits = 8;
    int TableBits = 8;
    bool Interlaced = false;
};

// Decodes into a work buffer prefilled with 0xEE and returns the pixel values, top row first.
std::vector<int> Decode(int codeSize, const std::vector<std::uint8_t>& blocks, const Image& image)
{
    test::ByteWriter data;
    data.U8(static_cast<std::uint32_t>(codeSize)).Bytes(blocks);
    const std::size_t stride = RowStride(image.Width, image.Bits);
    std::vector<std::uint8_t> work(stride * static_cast<std::size_t>(image.Height), 0xEE);
    ByteCursor cursor(data.Data());
    DecodeGifImage(cursor, image.Width, image.Height, image.Bits, image.Interlaced, image.TableBits, work);
    std::vector<int> pixels;
    for (std::int32_t y = 0; y < image.Height; ++y) {
        const std::span<const std::uint8_t> row(work.data() + stride * static_cast<std::size_t>(image.Height - 1 - y),
                                                stride);
        for (std::int32_t x = 0; x < image.Width; ++x) {
            pixels.push_back(PackedPixel(row, x, image.Bits));
        }
    }
    return pixels;
}

std::vector<std::uint8_t> Codes(std::initializer_list<std::pair<std::uint32_t, int>> codes)
{
    LzwCodeWriter writer;
    for (const auto& [code, width] : codes) {
        writer.Code(code, width);
    }
    return SubBlocks(writer.Bytes());
}

std::string ErrorOf(int codeSize, const std::vector<std::uint8_t>& blocks, const Image& image)
{
    return test::ErrorText([&] { Decode(codeSize, blocks, image); });
}

TEST(GifLzw, CodeSizeTwoToNineIsAccepted)
{
    EXPECT_EQ(ErrorOf(1, Codes({{2, 2}, {0, 2}, {3, 2}}), {}), "Bad GIF code size ");
    EXPECT_EQ(ErrorOf(10, Codes({{1024, 11}, {0, 11}, {1025, 11}}), {}), "Bad GIF code size ");
    // Code size 9: clear 512 and end 513, codes start 10 bits wide.
    EXPECT_EQ(Decode(9, Codes({{512, 10}, {200, 10}, {7, 10}, {513, 10}}), {2, 1}), (std::vector<int>{200, 7}));
    EXPECT_EQ(ErrorOf(2, {}, {}), "Read GIF error");
    std::vector<std::uint8_t> work(4);
    std::vector<std::uint8_t> nothing;
    ByteCursor empty(nothing);
    EXPECT_EQ(test::ErrorText([&] { DecodeGifImage(empty, 1, 1, 8, false, 8, work); }), "GIF read error ");
}

TEST(GifLzw, HandWrittenCodeStreams)
{
    // Code size 2: clear 4, end 5, first free 6; codes 3 bits wide until entry 7 is stored.
    const struct {
        const char* name;
        std::vector<std::uint8_t> blocks;
        Image image;
        std::vector<int> pixels;
    } rows[] = {
        {"two colours at 1 bit", Codes({{4, 3}, {1, 3}, {0, 3}, {6, 3}, {5, 4}}), {5, 1, 1, 1}, {1, 0, 1, 0, 0}},
        // 6 is the code about to be defined: the previous string plus its own first pixel.
        {"KwKwK", Codes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}), {3, 1, 4, 2}, {1, 1, 1}},
        {"two clear codes in a row", Codes({{4, 3}, {4, 3}, {3, 3}, {5, 3}}), {1, 1, 4, 2}, {3}},
        {"clear then end leaves the rows", Codes({{4, 3}, {5, 3}}), {2, 1, 4, 2}, {0xE, 0xE}},
        {"early end code", Codes({{4, 3}, {2, 3}, {5, 3}}), {1, 2, 8, 2}, {2, 0xEE}},
        // Entry 6 = "1 1" runs past the last pixel; the rest is dropped and nothing further read.
        {"string past the last row", Codes({{4, 3}, {1, 3}, {6, 3}}), {2, 1, 8, 2}, {1, 1}},
        // Without a clear code the previous code starts as 0, so entry 6 is "0 2".
        {"no leading clear code", Codes({{2, 3}, {3, 3}, {6, 4}, {5, 4}}), {4, 1, 8, 2}, {2, 3, 0, 2}},
        {"16 colours keep pair order", Codes({{16, 5}, {1, 5}, {2, 5}, {3, 5}, {17, 5}}), {3, 1, 4, 4}, {1, 2, 3}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int codeSize = row.image.TableBits == 4 ? 4 : 2;
        EXPECT_EQ(Decode(codeSize, row.blocks, row.image), row.pixels);
    }
}

TEST(GifLzw, BrokenStreamsStop)
{
    const struct {
        const char* name;
        std::vector<std::uint8_t> blocks;
        Image image;
        const char* message;
    } rows[] = {
        {"sub-blocks end before the last row", Codes({{4, 3}, {1, 3}}), {4, 1, 8, 2}, "Read GIF error"},
        {"no terminator at all", {1, 0x0C}, {4, 1, 8, 2}, "Read GIF error"},
        // With a 2-entry colour table, codes 2 and 3 name neither a pixel nor an entry.
        {"code above the pixel mask",
         Codes({{4, 3}, {0, 3}, {3, 3}, {5, 3}}),
         {4, 1, 1, 1},
         "Bad GIF file - It's courrupted"},
        {"chain reaching an undefined code",
         Codes({{4, 3}, {2, 3}, {6, 3}, {5, 3}}),
         {4, 1, 1, 1},
         "Bad GIF file - It's courrupted"},
        // Entry 7 gets itself as prefix, so code 7 never ends.
        {"looping table",
         Codes({{4, 3}, {0, 3}, {7, 3}, {6, 3}, {7, 4}, {5, 4}}),
         {16, 1, 8, 2},
         "Bad GIF file - It's courrupted"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ErrorOf(2, row.blocks, row.image), row.message);
    }
}

std::vector<std::uint8_t> NoisyPixels(std::size_t count, int colours)
{
    std::vector<std::uint8_t> pixels(count);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1103515245U + 12345U;
        // Mostly noise with some runs, so strings of every length turn up.
        pixels[i] = (state >> 28) < 3 && i > 0 ? pixels[i - 1] : static_cast<std::uint8_t>((state >> 16) % colours);
    }
    return pixels;
}

TEST(GifLzw, FullTableKeepsTwelveBitCodesUntilAClearCode)
{
    const Image image{300, 200, 8, 8};
    const auto pixels = NoisyPixels(300 * 200, 256);
    const std::vector<int> expected(pixels.begin(), pixels.end());
    for (const bool clearWhenFull : {true, false}) {
        SCOPED_TRACE(clearWhenFull ? "clear code at 4096" : "frozen table");
        const auto encoding = LzwEncode(pixels, 8, clearWhenFull);
        ASSERT_GE(encoding.TableFills, clearWhenFull ? 2 : 1);
        EXPECT_EQ(Decode(8, SubBlocks(encoding.Bytes), image), expected);
    }
}

TEST(GifLzw, SubBlockSizeDoesNotMatter)
{
    const Image image{37, 11, 4, 3};
    const auto pixels = NoisyPixels(37 * 11, 8);
    const auto encoded = LzwEncode(pixels, 3).Bytes;
    const std::vector<int> expected(pixels.begin(), pixels.end());
    for (const std::size_t blockSize : {1U, 2U, 254U, 255U}) {
        SCOPED_TRACE(blockSize);
        EXPECT_EQ(Decode(3, SubBlocks(encoded, blockSize), image), expected);
    }
    // Empty sub-blocks in the middle add nothing.
    auto withEmpty = SubBlocks(encoded, 100);
    withEmpty.insert(withEmpty.begin() + 101, 0);
    EXPECT_EQ(Decode(3, withEmpty, image), expected);
}

TEST(GifLzw, InterlacedRowOrder)
{
    const struct {
        std::int32_t height;
        std::vector<std::int32_t> order;
    } rows[] = {
        {1, {0}},
        {3, {0, 2, 1}},
        {5, {0, 4, 2, 1, 3}},
        {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.height);
        std::vector<std::int32_t> order{0};
        int pass = 0;
        for (std::int32_t next = NextInterlacedRow(0, row.height, pass); next < row.height;
             next = NextInterlacedRow(next, row.height, pass)) {
            order.push_back(next);
        }
        EXPECT_EQ(order, row.order);

        // Row k of the stored data is image row order[k].
        std::vector<std::uint8_t> stored(static_cast<std::size_t>(row.height));
        for (std::size_t k = 0; k < stored.size(); ++k) {
            stored[k] = static_cast<std::uint8_t>(k);
        }
        std::vector<int> expected(stored.size());
        for (std::size_t k = 0; k < stored.size(); ++k) {
            expected[static_cast<std::size_t>(row.order[k])] = static_cast<int>(k);
        }
        EXPECT_EQ(Decode(4, SubBlocks(LzwEncode(stored, 4).Bytes), {1, row.height, 4, 4, true}), expected);
    }
}

}  // namespace
}  // namespace kinetar::pictures
