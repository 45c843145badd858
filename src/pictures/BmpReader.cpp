#include "pictures/BmpReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Error.h"
#include "pictures/ByteCursor.h"
#include "pictures/Messages.h"
#include "pictures/PhotoPixels.h"
#include "pictures/PictureFile.h"

namespace kinetar::pictures {

namespace {

// BITMAPFILEHEADER and BITMAPINFOHEADER (Windows GDI bitmap format): the fields the reader uses.
struct FileHeader {
    std::uint32_t OffBits = 0;
};

struct InfoHeader {
    std::uint32_t Size = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = 0;
    std::uint32_t ClrUsed = 0;
};

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

FileHeader ReadFileHeader(ByteCursor& cursor)
{
    const auto bytes = cursor.Take(kFileHeaderSize);
    ByteCursor header(bytes);
    header.Seek(10);
    return {header.U32LE()};
}

InfoHeader ReadInfoHeader(ByteCursor& cursor)
{
    ByteCursor header(cursor.Take(kInfoHeaderSize));
    InfoHeader info;
    info.Size = header.U32LE();
    info.Width = header.I32LE();
    info.Height = header.I32LE();
    header.Skip(2);  // planes
    info.BitCount = header.U16LE();
    info.Compression = header.U32LE();
    header.Skip(12);  // image size, resolution
    info.ClrUsed = header.U32LE();
    return info;
}

// The colour table follows the information header as the file declares its size, so the 108- and
// 124-byte headers of today's tools give their real colours. Entries are blue, green, red, reserved.
std::vector<PaletteEntry> ReadColorTable(ByteCursor& cursor, const InfoHeader& info, const std::string& path)
{
    const std::uint32_t fullCount = 1U << info.BitCount;
    const std::uint32_t count = info.ClrUsed == 0 ? fullCount : std::min(info.ClrUsed, fullCount);
    cursor.Seek(kFileHeaderSize + info.Size);
    std::vector<PaletteEntry> palette(count);
    for (PaletteEntry& entry : palette) {
        const auto bytes = OrFail(msg::kReadingColorTableFailed + path, [&] { return cursor.Take(4); });
        entry = {bytes[2], bytes[1], bytes[0], 0};
    }
    return palette;
}

// Rows come bottom-up unless the height is negative.
void ReadUncompressed(ByteCursor& cursor, DecodedPicture& picture, bool topDown, const std::string& path,
                      BytesGivenBack& givenBack)
{
    const std::int32_t height = picture.Height();
    const std::size_t stride = picture.Stride();
    if (cursor.Remaining() < stride * static_cast<std::size_t>(height)) {
        // The rows would run out: refuse before the picture's memory is touched.
        throw Error(msg::kReadingPixelsFailed + path);
    }
    if (stride == 0) {
        return;
    }
    picture.AllocateRowsToOverwrite();
    for (std::int32_t stored = 0; stored < height; ++stored) {
        ThrowIfStopRequested(stored);
        const auto row = picture.Row(topDown ? stored : height - 1 - stored);
        const auto bytes = cursor.Take(stride);
        std::memcpy(row.data(), bytes.data(), stride);
        givenBack.ReadUpTo(bytes.data() + stride);
    }
}

// Run-length data always runs bottom-up. Position and writes are clipped to the picture: a run or
// block past the end of a row is cut there, a delta past the last row ends decoding, and data that
// ends early leaves the rest of the picture 0. Columns count bytes for RLE8 and nibbles for RLE4.
class RleDecoder {
public:
    RleDecoder(DecodedPicture& picture, bool nibbles)
        : m_picture(picture), m_nibbles(nibbles), m_rowUnits(picture.Stride() * (nibbles ? 2 : 1))
    {
        m_picture.Fill(0);
    }

    void Decode(ByteCursor& cursor)
    {
        const auto height = static_cast<std::size_t>(m_picture.Height());
        for (std::int64_t pairs = 0; m_y < height; ++pairs) {
            ThrowIfStopRequested(pairs, 4096);
            const auto first = cursor.TryU8();
            const auto second = cursor.TryU8();
            if (!first || !second) {
                return;
            }
            if (*first != 0) {
                Run(*first, *second);
                continue;
            }
            switch (*second) {
            case 0:  // end of line
                m_x = 0;
                ++m_y;
                break;
            case 1:  // end of bitmap
                return;
            case 2: {  // delta
                const auto dx = cursor.TryU8();
                const auto dy = cursor.TryU8();
                if (!dx || !dy) {
                    return;
                }
                m_x += *dx;
                m_y += *dy;
                break;
            }
            default:
                if (!Absolute(cursor, *second)) {
                    return;
                }
                break;
            }
        }
    }

private:
    std::span<std::uint8_t> CurrentRow()
    {
        return m_picture.Row(m_picture.Height() - 1 - static_cast<std::int32_t>(m_y));
    }

    void Run(std::uint8_t count, std::uint8_t value)
    {
        const std::size_t end = std::min(m_x + count, m_rowUnits);
        if (m_x < end) {
            const auto row = CurrentRow();
            if (!m_nibbles) {
                std::fill(row.begin() + static_cast<std::ptrdiff_t>(m_x),
                          row.begin() + static_cast<std::ptrdiff_t>(end), value);
            } else {
                // RLE4: the run alternates the value's two nibbles, high first, wherever it starts.
                const std::span<const std::uint8_t> pair(&value, 1);
                for (std::size_t column = m_x; column < end; ++column) {
                    SetPackedPixel(row, column, 4, PackedPixel(pair, (column - m_x) % 2, 4));
                }
            }
        }
        m_x += count;
    }

    // Absolute blocks are padded to an even number of bytes. Returns false when the data ends inside.
    bool Absolute(ByteCursor& cursor, std::uint8_t count)
    {
        const std::size_t byteCount = m_nibbles ? (count + 1U) / 2 : count;
        const int bits = m_nibbles ? 4 : 8;
        const auto bytes = cursor.TakeUpTo(byteCount);
        const auto row = CurrentRow();
        for (std::size_t i = 0; i < count && i < bytes.size() * (m_nibbles ? 2 : 1); ++i) {
            const std::size_t column = m_x + i;
            if (column >= m_rowUnits) {
                break;
            }
            SetPackedPixel(row, column, bits, PackedPixel(bytes, i, bits));
        }
        if (bytes.size() < byteCount) {
            return false;
        }
        m_x += count;
        if (byteCount % 2 == 1) {
            cursor.TakeUpTo(1);
        }
        return true;
    }

    DecodedPicture& m_picture;
    bool m_nibbles;
    std::size_t m_rowUnits;
    std::size_t m_x = 0;
    std::size_t m_y = 0;
};

}  // namespace

void ReadBmpPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture)
{
    ReadBmpPicture(bytes, path, picture, false);
}

void ReadBmpPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture,
                    bool bytesDisposable)
{
    ByteCursor cursor(bytes);
    const FileHeader fileHeader = OrFail(msg::kCantReadFileHeader + path, [&] { return ReadFileHeader(cursor); });
    const InfoHeader info = OrFail(msg::kCantReadFileInfo + path, [&] { return ReadInfoHeader(cursor); });

    // The OS/2 headers (12 and 16 bytes) lay their fields out differently, and a negative width
    // has no meaning.
    if (info.Size < kInfoHeaderSize || info.Width < 0) {
        throw Error(msg::kUnsupportedBitmap + path);
    }
    const std::int64_t height = info.Height < 0 ? -static_cast<std::int64_t>(info.Height) : info.Height;
    CheckPictureSize(info.Width, height, path);
    picture.SetWidth(info.Width);
    picture.SetHeight(static_cast<std::int32_t>(height));

    const int bits = info.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
        throw Error(msg::kUnsupportedBitmap + path);
    }
    picture.SetPixelFormat(bits);
    picture.ClearPalette();
    if (bits != 24) {
        picture.SetPalette(ReadColorTable(cursor, info, path));
        picture.MarkPaletteChanged();
    }

    cursor.Seek(fileHeader.OffBits);
    switch (info.Compression) {
    case kBiRgb: {
        BytesGivenBack givenBack(bytes, bytesDisposable);
        ReadUncompressed(cursor, picture, info.Height < 0, path, givenBack);
        break;
    }
    case kBiRle8:
        RleDecoder(picture, false).Decode(cursor);
        break;
    case kBiRle4:
        RleDecoder(picture, true).Decode(cursor);
        break;
    default:
        throw Error(msg::kUnsupportedCompression + path);
    }
}

void ReadBmpPicture(const std::string& path, DecodedPicture& picture)
{
    const PictureFile file(path);
    ReadBmpPicture(file.Bytes(), path, picture, true);
}

}  // namespace kinetar::pictures
