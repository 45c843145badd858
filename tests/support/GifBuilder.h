#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "support/ByteWriter.h"

namespace kinetar::test {

// Packs codes of the given widths, least significant bit first, as GIF stores them.
class LzwCodeWriter {
public:
    LzwCodeWriter& Code(std::uint32_t code, int width);
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    int m_bitCount = 0;
};

struct LzwEncoding {
    std::vector<std::uint8_t> Bytes;
    int TableFills = 0;  // how often the table reached 4096 entries
};

// A plain LZW encoder for fixtures: a clear code first, the end code last, codes widened as a GIF
// decoder expects. At 4096 entries it sends a clear code, or with clearWhenFull false goes on with
// 12-bit codes and a frozen table.
LzwEncoding LzwEncode(std::span<const std::uint8_t> pixels, int codeSize, bool clearWhenFull = true);

// Data cut into sub-blocks of at most blockSize bytes, each after its length byte, then the 0 block.
std::vector<std::uint8_t> SubBlocks(std::span<const std::uint8_t> data, std::size_t blockSize = 255);

// Builds a GIF file block by block.
class GifBuilder {
public:
    GifBuilder& Signature(const std::string& text = "GIF89a");
    GifBuilder& Screen(std::uint16_t width, std::uint16_t height, std::uint8_t packed);
    GifBuilder& Colors(std::initializer_list<std::uint32_t> rgb);  // 0xRRGGBB per entry
    GifBuilder& Extension(std::uint8_t label, std::initializer_list<std::string> blocks);
    GifBuilder& Image(std::uint16_t width, std::uint16_t height, std::uint8_t packed);
    // The code-size byte, then the pixels encoded and cut into sub-blocks.
    GifBuilder& Pixels(int codeSize, std::span<const std::uint8_t> pixels, std::size_t blockSize = 255);
    GifBuilder& Byte(std::uint8_t value);
    GifBuilder& Bytes(std::span<const std::uint8_t> bytes);
    GifBuilder& Trailer() { return Byte(0x3B); }
    const std::vector<std::uint8_t>& Build() const { return m_writer.Data(); }

private:
    ByteWriter m_writer;
};

}  // namespace kinetar::test
