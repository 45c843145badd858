#include "support/GifBuilder.h"

#include <algorithm>
#include <bit>
#include <map>

namespace kinetar::test {

LzwCodeWriter& LzwCodeWriter::Code(std::uint32_t code, int width)
{
    for (int bit = 0; bit < width; ++bit, ++m_bitCount) {
        if (m_bitCount % 8 == 0) {
            m_bytes.push_back(0);
        }
        if (((code >> bit) & 1U) != 0) {
            m_bytes.back() = static_cast<std::uint8_t>(m_bytes.back() | (1U << (m_bitCount % 8)));
        }
    }
    return *this;
}

LzwEncoding LzwEncode(std::span<const std::uint8_t> pixels, int codeSize, bool clearWhenFull)
{
    const std::uint32_t clearCode = 1U << codeSize;
    const std::uint32_t firstFree = clearCode + 2;
    const int initialWidth = codeSize + 1;
    LzwEncoding result;
    LzwCodeWriter writer;
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::uint32_t> table;
    std::uint32_t nextFree = firstFree;
    std::uint32_t sinceClear = 0;
    // The decoder adds an entry for every code after the first one since a clear, one step behind
    // the encoder, and widens when its next free code reaches a power of two.
    const auto emit = [&](std::uint32_t code) {
        const int width =
            sinceClear == 0
                ? initialWidth
                : std::min(12, std::max(initialWidth, static_cast<int>(std::bit_width(firstFree + sinceClear - 1))));
        writer.Code(code, width);
        ++sinceClear;
    };
    emit(clearCode);
    sinceClear = 0;
    if (!pixels.empty()) {
        std::uint32_t prefix = pixels[0];
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            const auto found = table.find({prefix, pixels[i]});
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            emit(prefix);
            if (nextFree < 4096) {
                table[{prefix, pixels[i]}] = nextFree++;
                if (nextFree == 4096) {
                    ++result.TableFills;
                    if (clearWhenFull) {
                        emit(clearCode);
                        sinceClear = 0;
                        table.clear();
                        nextFree = firstFree;
                    }
                }
            }
            prefix = pixels[i];
        }
        emit(prefix);
    }
    emit(clearCode + 1);
    result.Bytes = writer.Bytes();
    return result;
}

std::vector<std::uint8_t> SubBlocks(std::span<const std::uint8_t> data, std::size_t blockSize)
{
    std::vector<std::uint8_t> blocks;
    for (std::size_t at = 0; at < data.size(); at += blockSize) {
        const std::size_t length = std::min(blockSize, data.size() - at);
        blocks.push_back(static_cast<std::uint8_t>(length));
        blocks.insert(blocks.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                      data.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    blocks.push_back(0);
    return blocks;
}

GifBuilder& GifBuilder::Signature(const std::string& text)
{
    m_writer.Text(text);
    return *this;
}

GifBuilder& GifBuilder::Screen(std::uint16_t width, std::uint16_t height, std::uint8_t packed)
{
    m_writer.U16(width).U16(height).U8(packed).U8(0).U8(0);  // background index, aspect ratio
    return *this;
}

GifBuilder& GifBuilder::Colors(std::initializer_list<std::uint32_t> rgb)
{
    for (const std::uint32_t color : rgb) {
        m_writer.U8(color >> 16).U8((color >> 8) & 0xFF).U8(color & 0xFF);
    }
    return *this;
}

GifBuilder& GifBuilder::Extension(std::uint8_t label, std::initializer_list<std::string> blocks)
{
    m_writer.U8(0x21).U8(label);
    for (const std::string& block : blocks) {
        m_writer.U8(static_cast<std::uint32_t>(block.size())).Text(block);
    }
    m_writer.U8(0);
    return *this;
}

GifBuilder& GifBuilder::Image(std::uint16_t width, std::uint16_t height, std::uint8_t packed)
{
    m_writer.U8(0x2C).U16(0).U16(0).U16(width).U16(height).U8(packed);  // left and top 0
    return *this;
}

GifBuilder& GifBuilder::Pixels(int codeSize, std::span<const std::uint8_t> pixels, std::size_t blockSize)
{
    m_writer.U8(static_cast<std::uint32_t>(codeSize)).Bytes(SubBlocks(LzwEncode(pixels, codeSize).Bytes, blockSize));
    return *this;
}

GifBuilder& GifBuilder::Byte(std::uint8_t value)
{
    m_writer.U8(value);
    return *this;
}

GifBuilder& GifBuilder::Bytes(std::span<const std::uint8_t> bytes)
{
    m_writer.Bytes(bytes);
    return *this;
}

}  // namespace kinetar::test
