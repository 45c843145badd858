#include "pictures/TgaReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Error.h"
#include "common/LittleEndian.h"
#include "pictures/ByteCursor.h"
#include "pictures/ByteUtils.h"
#include "pictures/Messages.h"
#include "pictures/PhotoPixels.h"
#include "pictures/PictureFile.h"

namespace kinetar::pictures {

namespace {

// The 18-byte TGA file header (Truevision TGA file format, version 2.0).
struct TgaHeader {
    std::uint8_t IdLength = 0;
    std::uint8_t ColorMapType = 0;
    std::uint8_t ImageType = 0;
    std::uint16_t ColorMapFirst = 0;
    std::uint16_t ColorMapLength = 0;
    std::uint8_t ColorMapEntrySize = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::uint8_t PixelDepth = 0;
    std::uint8_t Descriptor = 0;
};

constexpr std::size_t kHeaderSize = 18;
constexpr unsigned kTopToBottomBit = 5;

bool IsColorMapped(const TgaHeader& header)
{
    return header.ImageType == 1 || header.ImageType == 9;
}
bool IsTrueColor(const TgaHeader& header)
{
    return header.ImageType == 2 || header.ImageType == 10;
}
bool IsGrey(const TgaHeader& header)
{
    return header.ImageType == 3 || header.ImageType == 11;
}
bool IsRunLength(const TgaHeader& header)
{
    return header.ImageType >= 9;
}

TgaHeader ReadHeader(ByteCursor& cursor)
{
    const auto bytes = cursor.Take(kHeaderSize);
    TgaHeader header;
    header.IdLength = bytes[0];
    header.ColorMapType = bytes[1];
    header.ImageType = bytes[2];
    header.ColorMapFirst = LoadLE16(bytes, 3);
    header.ColorMapLength = LoadLE16(bytes, 5);
    header.ColorMapEntrySize = bytes[7];
    header.Width = LoadLE16(bytes, 12);
    header.Height = LoadLE16(bytes, 14);
    header.PixelDepth = bytes[16];
    header.Descriptor = bytes[17];
    return header;
}

void CheckTypeAndDepth(const TgaHeader& header, const std::string& path)
{
    if (IsColorMapped(header)) {
        if (header.PixelDepth != 8) {
            throw Error(msg::kBadTgaHeader + path);
        }
        if (header.ColorMapEntrySize != 24) {
            throw Error(msg::kBadTgaPalette + path);
        }
    } else if (IsTrueColor(header)) {
        if (header.PixelDepth != 16 && header.PixelDepth != 24) {
            throw Error(msg::kBadTgaDepth + path);
        }
    } else if (!IsGrey(header) || header.PixelDepth != 8) {
        throw Error(msg::kBadTgaHeader + path);
    }
}

// Map entries are blue, green, red and land at their first entry index; entries that would lie past
// index 255 are dropped. The count stays the map length, as the file declares it.
std::vector<PaletteEntry> ReadPalette(ByteCursor& cursor, const TgaHeader& header)
{
    if (IsGrey(header)) {
        std::vector<PaletteEntry> ramp(256);
        for (std::size_t i = 0; i < ramp.size(); ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            ramp[i] = {level, level, level, 0};
        }
        return ramp;
    }
    if (!IsColorMapped(header)) {
        return {};
    }
    std::vector<PaletteEntry> palette(256);
    cursor.Seek(kHeaderSize + header.IdLength);
    for (std::size_t k = 0; k < header.ColorMapLength; ++k) {
        const auto bytes = OrFail(msg::kReadTgaError, [&] { return cursor.Take(3); });
        const std::size_t index = header.ColorMapFirst + k;
        if (index < palette.size()) {
            palette[index] = {bytes[2], bytes[1], bytes[0], 0};
        }
    }
    palette.resize(std::min<std::size_t>(header.ColorMapLength, 256));
    return palette;
}

// The picture's rows in the order the file stores them. They start zeroed, so pixels that
// run-length data leaves out show black.
class WorkBuffer {
public:
    WorkBuffer(const TgaHeader& header, DecodedPicture& picture)
        : m_picture(picture), m_topToBottom(IsBitSet(header.Descriptor, kTopToBottomBit))
    {
        m_picture.Fill(0);
    }

    std::size_t Height() const { return static_cast<std::size_t>(m_picture.Height()); }
    // The picture row that the stored row with this number fills; a stop asked meanwhile is heard
    // every few rows, as a huge picture takes seconds.
    std::uint8_t* StoredRow(std::size_t stored)
    {
        ThrowIfStopRequested(static_cast<std::int64_t>(stored));
        const auto row = static_cast<std::int32_t>(m_topToBottom ? stored : Height() - 1 - stored);
        return m_picture.Row(row).data();
    }

private:
    DecodedPicture& m_picture;
    bool m_topToBottom;
};

// 16-bit pixels hold 5 bits each of red, green and blue; bit 15 is ignored.
void Expand16BitRow(std::span<const std::uint8_t> source, std::uint8_t* row)
{
    for (std::size_t x = 0; x < source.size() / 2; ++x) {
        const unsigned value = LoadLE16(source, 2 * x);
        row[3 * x] = static_cast<std::uint8_t>((value & 0x1F) << 3);
        row[3 * x + 1] = static_cast<std::uint8_t>(((value >> 5) & 0x1F) << 3);
        row[3 * x + 2] = static_cast<std::uint8_t>(((value >> 10) & 0x1F) << 3);
    }
}

void DecodeUncompressed(ByteCursor& cursor, const TgaHeader& header, WorkBuffer& buffer, BytesGivenBack& givenBack)
{
    const std::size_t rowBytes = std::size_t{header.Width} * (header.PixelDepth / 8U);
    for (std::size_t stored = 0; stored < buffer.Height(); ++stored) {
        const auto source = OrFail(msg::kReadTgaError, [&] { return cursor.Take(rowBytes); });
        if (header.PixelDepth == 16) {
            Expand16BitRow(source, buffer.StoredRow(stored));
        } else {
            std::memcpy(buffer.StoredRow(stored), source.data(), rowBytes);
        }
        givenBack.ReadUpTo(source.data() + rowBytes);
    }
}

// Packets run on across row ends; whatever runs past the last row is dropped. Only the packet
// headers are checked: pixel bytes missing at the very end stay 0.
void DecodeRunLength(ByteCursor& cursor, const TgaHeader& header, WorkBuffer& buffer)
{
    const std::size_t pixelBytes = header.PixelDepth / 8U;
    const std::size_t rowBytes = std::size_t{header.Width} * pixelBytes;
    std::size_t stored = 0;
    std::size_t column = 0;
    std::uint8_t* row = buffer.StoredRow(0);
    const auto advance = [&](std::size_t bytes) {
        column += bytes;
        if (column == rowBytes) {
            column = 0;
            if (++stored < buffer.Height()) {
                row = buffer.StoredRow(stored);
            }
        }
    };
    while (stored < buffer.Height()) {
        const std::uint8_t packet = OrFail(msg::kReadTgaError, [&] { return cursor.U8(); });
        std::size_t pixels = (packet & 0x7FU) + 1;
        if (IsBitSet(packet, 7)) {
            std::uint8_t value[3] = {0, 0, 0};
            const auto bytes = cursor.TakeUpTo(pixelBytes);
            std::copy(bytes.begin(), bytes.end(), value);
            for (; pixels > 0 && stored < buffer.Height(); --pixels) {
                std::memcpy(row + column, value, pixelBytes);
                advance(pixelBytes);
            }
        } else {
            while (pixels > 0 && stored < buffer.Height()) {
                const std::size_t take = std::min(pixels * pixelBytes, rowBytes - column);
                const auto bytes = cursor.TakeUpTo(take);
                std::memcpy(row + column, bytes.data(), bytes.size());
                pixels -= take / pixelBytes;
                advance(take);
            }
        }
    }
}

// Whether the data can hold the image at all. A file too short for it fails at its first missing
// row or packet header anyway, so it is refused here before the work buffer is allocated.
bool CanHoldImage(const ByteCursor& cursor, const TgaHeader& header)
{
    const std::uint64_t pixels = std::uint64_t{header.Width} * header.Height;
    const std::uint64_t needed = IsRunLength(header) ? (pixels + 127) / 128 : pixels * (header.PixelDepth / 8U);
    return cursor.Remaining() >= needed;
}

}  // namespace

void ReadTgaPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture)
{
    ReadTgaPicture(bytes, path, picture, false);
}

void ReadTgaPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture,
                    bool bytesDisposable)
{
    ByteCursor cursor(bytes);
    const TgaHeader header = OrFail(msg::kCantReadSoubor + path, [&] { return ReadHeader(cursor); });
    CheckTypeAndDepth(header, path);
    // One zero side is refused like two: such a picture has nothing to show.
    if (header.Width == 0 || header.Height == 0) {
        throw Error(msg::kBadTgaSize + path);
    }
    CheckPictureSize(header.Width, header.Height, path);
    picture.SetWidth(header.Width);
    picture.SetHeight(header.Height);
    picture.SetPixelFormat(header.PixelDepth == 8 ? 8 : 24);

    const auto palette = ReadPalette(cursor, header);
    if (palette.empty()) {
        picture.ClearPalette();
    } else {
        picture.SetPalette(palette);
    }
    picture.MarkPaletteChanged();

    if (IsRunLength(header) && header.PixelDepth == 16) {
        throw Error(msg::kTga16BitRle);
    }
    cursor.Seek(kHeaderSize + header.IdLength);
    if (header.ColorMapType != 0) {
        const std::size_t entryBits = header.ColorMapEntrySize == 15 ? 16 : header.ColorMapEntrySize;
        cursor.Skip(header.ColorMapLength * entryBits / 8);
    }
    if (!CanHoldImage(cursor, header)) {
        throw Error(msg::kReadTgaError);
    }
    WorkBuffer buffer(header, picture);
    if (IsRunLength(header)) {
        DecodeRunLength(cursor, header, buffer);
    } else {
        BytesGivenBack givenBack(bytes, bytesDisposable);
        DecodeUncompressed(cursor, header, buffer, givenBack);
    }
}

void ReadTgaPicture(const std::string& path, DecodedPicture& picture)
{
    const PictureFile file(path);
    ReadTgaPicture(file.Bytes(), path, picture, true);
}

}  // namespace kinetar::pictures
