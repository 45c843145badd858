#include "pictures/PcxReader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "common/Error.h"
#include "pictures/Messages.h"
#include "pictures/PhotoPixels.h"
#include "pictures/PictureFile.h"

namespace kinetar::pictures {

namespace {

// The PCX file header (ZSoft PCX technical reference, version 5): the fields the reader uses.
struct PcxHeader {
    std::int16_t Left = 0;
    std::int16_t Top = 0;
    std::int16_t Right = 0;
    std::int16_t Bottom = 0;
    std::uint8_t Planes = 0;
    std::int16_t BytesPerLine = 0;
};

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteBlockSize = 769;  // marker byte 12, then 256 x red, green, blue
constexpr std::uint8_t kPaletteMarker = 12;

using PcxPalette = std::array<PaletteEntry, 256>;

PcxHeader ReadHeader(ByteCursor& cursor)
{
    ByteCursor header(cursor.Take(kHeaderSize));
    PcxHeader result;
    header.Seek(4);
    result.Left = header.I16LE();
    result.Top = header.I16LE();
    result.Right = header.I16LE();
    result.Bottom = header.I16LE();
    header.Seek(65);
    result.Planes = header.U8();
    result.BytesPerLine = header.I16LE();
    return result;
}

std::int32_t EdgeDistance(std::int16_t from, std::int16_t to)
{
    return std::abs(std::int32_t{to} - std::int32_t{from}) + 1;
}

PcxPalette ReadPalette(ByteCursor& cursor, const std::string& path)
{
    // Shorter files have no room for the palette block at all.
    if (cursor.Size() < kPaletteBlockSize) {
        throw Error(msg::kBadPcxFormat + path);
    }
    cursor.Seek(cursor.Size() - kPaletteBlockSize);
    if (cursor.U8() != kPaletteMarker) {
        throw Error(msg::kBadPcxFormat + path);
    }
    PcxPalette palette;
    for (PaletteEntry& entry : palette) {
        const auto bytes = OrFail(msg::kPcxReadError + path, [&] { return cursor.Take(3); });
        entry = {bytes[0], bytes[1], bytes[2], 0};
    }
    return palette;
}

// Fills the line from packets until it is complete or the data ends. The buffer is shared by all
// lines and never cleared, so a line cut short keeps the tail of the line before it; a run past the
// end of the line is cut there and does not continue on the next one.
void DecodeLine(ByteCursor& cursor, std::vector<std::uint8_t>& line)
{
    std::size_t count = 0;
    while (count < line.size()) {
        const auto packet = ReadPcxPacket(cursor);
        if (!packet) {
            return;
        }
        if (packet->RunLength == 1) {
            line[count++] = packet->Value;
            continue;
        }
        const std::size_t kept = std::min<std::size_t>(packet->RunLength, line.size() - count);
        std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(count), kept, packet->Value);
        count += packet->RunLength;
    }
}

void ConvertIndexedLine(const std::vector<std::uint8_t>& line, const PcxPalette& palette, std::size_t pixels,
                        std::span<std::uint8_t> row)
{
    for (std::size_t x = 0; x < pixels; ++x) {
        const PaletteEntry& color = palette[line[x]];
        row[3 * x] = color.Blue;
        row[3 * x + 1] = color.Green;
        row[3 * x + 2] = color.Red;
    }
}

void ConvertPlanarLine(const std::vector<std::uint8_t>& line, std::size_t bytesPerLine, std::size_t pixels,
                       std::span<std::uint8_t> row)
{
    const std::uint8_t* red = line.data();
    const std::uint8_t* green = red + bytesPerLine;
    const std::uint8_t* blue = green + bytesPerLine;
    for (std::size_t x = 0; x < pixels; ++x) {
        row[3 * x] = blue[x];
        row[3 * x + 1] = green[x];
        row[3 * x + 2] = red[x];
    }
}

}  // namespace

void ReadPcxPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture)
{
    ByteCursor cursor(bytes);
    const PcxHeader header = OrFail(msg::kCantReadSoubor + path, [&] { return ReadHeader(cursor); });
    // The format test lets only these plane counts through; a caller that skipped it gets its message.
    if (header.Planes != 1 && header.Planes != 3) {
        throw Error(msg::kPcxOldFormat + path);
    }
    // No line can be decoded without a positive length.
    if (header.BytesPerLine <= 0) {
        throw Error(msg::kBadPcxFormat + path);
    }
    const std::int32_t width = EdgeDistance(header.Left, header.Right);
    const std::int32_t height = EdgeDistance(header.Top, header.Bottom);
    CheckPictureSize(width, height, path);
    picture.SetWidth(width);
    picture.SetHeight(height);

    const auto bytesPerLine = static_cast<std::size_t>(header.BytesPerLine);
    std::vector<std::uint8_t> line(bytesPerLine * header.Planes, 0);
    PcxPalette palette{};
    if (header.Planes == 1) {
        palette = ReadPalette(cursor, path);
    }

    cursor.Seek(kHeaderSize);
    picture.SetPixelFormat(24);
    const std::size_t pixels = std::min(static_cast<std::size_t>(width), bytesPerLine);
    for (std::int32_t y = 0; y < height; ++y) {
        ThrowIfStopRequested(y);
        DecodeLine(cursor, line);
        if (header.Planes == 1) {
            ConvertIndexedLine(line, palette, pixels, picture.Row(y));
        } else {
            ConvertPlanarLine(line, bytesPerLine, pixels, picture.Row(y));
        }
    }
    picture.ClearPalette();
    picture.MarkPaletteChanged();
}

void ReadPcxPicture(const std::string& path, DecodedPicture& picture)
{
    const PictureFile file(path);
    ReadPcxPicture(file.Bytes(), path, picture);
}

}  // namespace kinetar::pictures
