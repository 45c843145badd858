#include "pictures/GifReader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "common/Error.h"
#include "common/LittleEndian.h"
#include "pictures/ByteCursor.h"
#include "pictures/ByteUtils.h"
#include "pictures/GifLzw.h"
#include "pictures/Messages.h"
#include "pictures/PhotoPixels.h"
#include "pictures/PictureFile.h"

#ifndef KINETAR_SUPPORT_EMAIL
#error "KINETAR_SUPPORT_EMAIL must name the address of the GIF reader's internal-error report"
#endif

namespace kinetar::pictures {

namespace {

// GIF89a blocks (GIF89a, sections 17 to 27): what the walk up to the first image yields.
struct Rgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
};

struct GifImageState {
    bool Interlaced = false;
    int TableBits = 1;
    std::array<Rgb, 256> ColorTable{};
};

struct GifImageInfo {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    int WorkBitsPerPixel = 1;
};

constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr unsigned kColorTableFlagBit = 7;
constexpr unsigned kInterlaceFlagBit = 6;
constexpr int kInternalErrorLine = 142;

std::string InternalErrorReport()
{
    const std::string text = std::string(msg::kGifInternalError) + KINETAR_SUPPORT_EMAIL;
    const int length = std::snprintf(nullptr, 0, "%s (%s, line %d)", text.c_str(), "UGIFPICTURE", kInternalErrorLine);
    std::vector<char> report(static_cast<std::size_t>(length) + 1);
    std::snprintf(report.data(), report.size(), "%s (%s, line %d)", text.c_str(), "UGIFPICTURE", kInternalErrorLine);
    return report.data();
}

int TableBits(std::uint8_t packed)
{
    return (packed & 7) + 1;
}

void ReadColorTable(ByteCursor& cursor, int tableBits, GifImageState& state)
{
    const std::size_t entries = std::size_t{1} << tableBits;
    const auto bytes = OrFail(msg::kGifReadError, [&] { return cursor.Take(3 * entries); });
    for (std::size_t i = 0; i < entries; ++i) {
        state.ColorTable[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
    }
}

void ReadSignature(ByteCursor& cursor)
{
    const auto signature = OrFail(msg::kGifReadError, [&] { return cursor.Take(6); });
    if (std::memcmp(signature.data(), "GIF87a", 6) != 0 && std::memcmp(signature.data(), "GIF89a", 6) != 0) {
        throw Error(msg::kBadGifSignature);
    }
}

// Only the packed byte of the logical screen matters: the global table, or black and white without one.
void ReadScreenDescriptor(ByteCursor& cursor, GifImageState& state)
{
    const auto screen = OrFail(msg::kGifScreenReadError, [&] { return cursor.Take(7); });
    const std::uint8_t packed = screen[4];
    state.TableBits = TableBits(packed);
    if (IsBitSet(packed, kColorTableFlagBit)) {
        ReadColorTable(cursor, state.TableBits, state);
    } else {
        std::fill_n(state.ColorTable.begin(), std::size_t{1} << state.TableBits, Rgb{});
        state.ColorTable[1] = {255, 255, 255};
    }
}

void SkipExtension(ByteCursor& cursor)
{
    OrFail(msg::kGifReadError, [&] { return cursor.U8(); });  // label
    for (;;) {
        const std::uint8_t length = OrFail(msg::kGifReadError, [&] { return cursor.U8(); });
        if (length == 0) {
            return;
        }
        cursor.Skip(length);
    }
}

GifImageInfo ReadImageDescriptor(ByteCursor& cursor, GifImageState& state)
{
    const auto descriptor = OrFail(msg::kGifReadError, [&] { return cursor.Take(9); });
    GifImageInfo info;
    info.Width = LoadLE16(descriptor, 4);
    info.Height = LoadLE16(descriptor, 6);
    const std::uint8_t packed = descriptor[8];
    state.Interlaced = IsBitSet(packed, kInterlaceFlagBit);
    if (IsBitSet(packed, kColorTableFlagBit)) {
        state.TableBits = TableBits(packed);
        ReadColorTable(cursor, state.TableBits, state);
    }
    return info;
}

// Walks the blocks up to the first image descriptor and leaves the cursor at its code-size byte.
GifImageInfo WalkBlocks(ByteCursor& cursor, GifImageState& state)
{
    ReadSignature(cursor);
    ReadScreenDescriptor(cursor, state);
    for (;;) {
        switch (OrFail(msg::kGifReadError, [&] { return cursor.U8(); })) {
        case kExtensionIntroducer:
            SkipExtension(cursor);
            break;
        case kImageSeparator:
            return ReadImageDescriptor(cursor, state);
        case kTrailer:
            throw Error(InternalErrorReport());
        default:
            throw Error(msg::kBadGifHeader);
        }
    }
}

int WorkBitsPerPixel(int tableBits)
{
    return tableBits == 1 ? 1 : tableBits <= 4 ? 4 : 8;
}

// Values beyond the colour table show mid-grey.
std::array<Rgb, 256> BuildColorLookup(const GifImageState& state, const GifImageInfo& info)
{
    std::array<Rgb, 256> lookup{};
    std::fill_n(lookup.begin(), std::size_t{1} << info.WorkBitsPerPixel, Rgb{128, 128, 128});
    std::copy_n(state.ColorTable.begin(), std::size_t{1} << state.TableBits, lookup.begin());
    return lookup;
}

// The depth is fixed per instance, so the pixel unpacking compiles down to the depth's own shifts.
template <int Bits>
void ExpandRowAt(std::span<const std::uint8_t> work, std::size_t width, const std::array<Rgb, 256>& lookup,
                 std::uint8_t* out)
{
    for (std::size_t x = 0; x < width; ++x, out += 3) {
        const Rgb& color = lookup[PackedPixel(work, x, Bits)];
        out[0] = color.Blue;
        out[1] = color.Green;
        out[2] = color.Red;
    }
}

void ExpandRow(std::span<const std::uint8_t> work, const GifImageInfo& info, const std::array<Rgb, 256>& lookup,
               std::span<std::uint8_t> row)
{
    const auto width = static_cast<std::size_t>(info.Width);
    switch (info.WorkBitsPerPixel) {
    case 8:
        ExpandRowAt<8>(work, width, lookup, row.data());
        break;
    case 4:
        ExpandRowAt<4>(work, width, lookup, row.data());
        break;
    default:
        ExpandRowAt<1>(work, width, lookup, row.data());
        break;
    }
}

// The decoder's work rows, zeroed. Fresh zero pages cost nothing until they are written, which
// matters when an early end code leaves most of a large image unreached.
class WorkBuffer {
public:
    explicit WorkBuffer(std::size_t size)
        : m_bytes(static_cast<std::uint8_t*>(std::calloc(size == 0 ? 1 : size, 1))), m_size(size)
    {
        if (m_bytes == nullptr) {
            throw std::bad_alloc();
        }
    }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;
    ~WorkBuffer() { std::free(m_bytes); }
    std::span<std::uint8_t> Bytes() { return {m_bytes, m_size}; }

private:
    std::uint8_t* m_bytes;
    std::size_t m_size;
};

}  // namespace

void ReadGifPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture)
{
    ByteCursor cursor(bytes);
    GifImageState state;
    GifImageInfo info = WalkBlocks(cursor, state);
    // An image without rows or columns has nothing to decode into.
    if (info.Width == 0 || info.Height == 0) {
        throw Error(msg::kBadGifHeader);
    }
    CheckPictureSize(info.Width, info.Height, path);
    info.WorkBitsPerPixel = WorkBitsPerPixel(state.TableBits);
    const auto lookup = BuildColorLookup(state, info);

    // Zeroed, so rows an early end code never reaches show colour 0.
    const std::size_t stride = RowStride(info.Width, info.WorkBitsPerPixel);
    WorkBuffer work(stride * static_cast<std::size_t>(info.Height));
    DecodeGifImage(cursor, info.Width, info.Height, info.WorkBitsPerPixel, state.Interlaced, state.TableBits,
                   work.Bytes());

    picture.SetWidth(info.Width);
    picture.SetHeight(info.Height);
    picture.SetPixelFormat(24);
    // Rows still all zero are copies of one expanded row of colour 0.
    const std::vector<std::uint8_t> zeroWork(stride, 0);
    std::vector<std::uint8_t> zeroRow(picture.Stride(), 0);
    ExpandRow(zeroWork, info, lookup, zeroRow);
    for (std::int32_t r = 0; r < info.Height; ++r) {
        ThrowIfStopRequested(r);
        const auto workRow = work.Bytes().subspan(stride * static_cast<std::size_t>(r), stride);
        const auto row = picture.Row(info.Height - 1 - r);
        if (std::memcmp(workRow.data(), zeroWork.data(), stride) == 0) {
            std::memcpy(row.data(), zeroRow.data(), static_cast<std::size_t>(info.Width) * 3);
        } else {
            ExpandRow(workRow, info, lookup, row);
        }
    }
}

void ReadGifPicture(const std::string& path, DecodedPicture& picture)
{
    std::optional<PictureFile> file;
    try {
        file.emplace(path);
    } catch (const Error&) {
        throw Error(msg::kGifReadError);
    }
    ReadGifPicture(file->Bytes(), path, picture);
}

}  // namespace kinetar::pictures
