#include "pictures/Orientation.h"

#include <cstddef>
#include <cstring>
#include <optional>
#include <utility>

#include "pictures/PhotoPixels.h"

namespace kinetar::pictures {

namespace {

// TIFF values in the byte order its header names, each read checked against the data's end.
class TiffData {
public:
    TiffData(std::span<const std::uint8_t> bytes, bool bigEndian) : m_bytes(bytes), m_bigEndian(bigEndian) {}

    std::optional<std::uint32_t> Value(std::size_t offset, std::size_t size) const
    {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t index = m_bigEndian ? offset + i : offset + size - 1 - i;
            value = (value << 8) | m_bytes[index];
        }
        return value;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    bool m_bigEndian;
};

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
constexpr std::size_t kEntrySize = 12;
constexpr std::uint16_t kDateTimeTag = 0x0132;
constexpr std::uint16_t kExifDirectoryTag = 0x8769;
constexpr std::uint16_t kDateTimeOriginalTag = 0x9003;
constexpr std::uint16_t kAsciiType = 2;

// The TIFF data after an optional "Exif\0\0", or nothing when it has no TIFF header.
std::optional<TiffData> OpenTiff(std::span<const std::uint8_t>& exif)
{
    if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) {
        exif = exif.subspan(6);
    }
    if (exif.size() < 8 || exif[0] != exif[1] || (exif[0] != 'I' && exif[0] != 'M')) {
        return std::nullopt;
    }
    const TiffData tiff(exif, exif[0] == 'M');
    if (tiff.Value(2, 2) != 42U) {
        return std::nullopt;
    }
    return tiff;
}

// The offset of the entry with that tag in the directory at `directory`.
std::optional<std::size_t> FindEntry(const TiffData& tiff, std::size_t directory, std::uint16_t wanted)
{
    const auto entryCount = tiff.Value(directory, 2);
    for (std::size_t i = 0; entryCount && i < *entryCount; ++i) {
        const std::size_t entry = directory + 2 + i * kEntrySize;
        const auto tag = tiff.Value(entry, 2);
        if (!tag) {
            return std::nullopt;
        }
        if (*tag == wanted) {
            return entry;
        }
    }
    return std::nullopt;
}

// "YYYY:MM:DD HH:MM:SS" as its date; nothing for anything else (blank dates are common).
std::optional<CalendarDate> DateOfEntry(const TiffData& tiff, std::span<const std::uint8_t> bytes, std::size_t entry)
{
    const auto type = tiff.Value(entry + 2, 2);
    const auto count = tiff.Value(entry + 4, 4);
    const auto offset = tiff.Value(entry + 8, 4);
    constexpr std::size_t kDateLength = 10;
    if (type != kAsciiType || !count || *count < kDateLength || !offset || *offset > bytes.size() ||
        bytes.size() - *offset < kDateLength) {
        return std::nullopt;
    }
    const auto digits = [&](std::size_t at, std::size_t length) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            const std::uint8_t letter = bytes[*offset + i];
            if (letter < '0' || letter > '9') {
                return std::nullopt;
            }
            value = value * 10 + (letter - '0');
        }
        return value;
    };
    const auto year = digits(0, 4);
    const auto month = digits(5, 2);
    const auto day = digits(8, 2);
    if (!year || !month || !day || *year == 0 || *month < 1 || *month > 12 || *day < 1 || *day > 31) {
        return std::nullopt;
    }
    return CalendarDate{*year, *month, *day};
}

}  // namespace

std::optional<CalendarDate> ExifDateTaken(std::span<const std::uint8_t> exif)
{
    const auto tiff = OpenTiff(exif);
    if (!tiff) {
        return std::nullopt;
    }
    const auto directory = tiff->Value(4, 4);
    if (!directory) {
        return std::nullopt;
    }
    // When it was taken is in the EXIF directory; the main one's date is when the file was last
    // changed, which cameras set to the same.
    if (const auto pointer = FindEntry(*tiff, *directory, kExifDirectoryTag)) {
        if (const auto exifDirectory = tiff->Value(*pointer + 8, 4)) {
            if (const auto entry = FindEntry(*tiff, *exifDirectory, kDateTimeOriginalTag)) {
                if (const auto date = DateOfEntry(*tiff, exif, *entry)) {
                    return date;
                }
            }
        }
    }
    if (const auto entry = FindEntry(*tiff, *directory, kDateTimeTag)) {
        return DateOfEntry(*tiff, exif, *entry);
    }
    return std::nullopt;
}

int ExifOrientation(std::span<const std::uint8_t> exif)
{
    if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) {
        exif = exif.subspan(6);
    }
    if (exif.size() < 8 || exif[0] != exif[1] || (exif[0] != 'I' && exif[0] != 'M')) {
        return 1;
    }
    const TiffData tiff(exif, exif[0] == 'M');
    if (tiff.Value(2, 2) != 42U) {
        return 1;
    }
    const std::size_t directory = *tiff.Value(4, 4);
    const auto entryCount = tiff.Value(directory, 2);
    if (!entryCount) {
        return 1;
    }
    for (std::size_t i = 0; i < *entryCount; ++i) {
        const std::size_t entry = directory + 2 + i * kEntrySize;
        const auto tag = tiff.Value(entry, 2);
        if (!tag) {
            return 1;
        }
        if (*tag == kOrientationTag) {
            const auto value = tiff.Value(entry + 8, 2);
            if (tiff.Value(entry + 2, 2) != kShortType || !value || *value < 1 || *value > 8) {
                return 1;
            }
            return static_cast<int>(*value);
        }
    }
    return 1;
}

DecodedPicture Oriented(DecodedPicture picture, int orientation)
{
    if (orientation < 2 || orientation > 8 || picture.Width() == 0 || picture.Height() == 0) {
        return picture;
    }
    const std::int32_t width = picture.Width();
    const std::int32_t height = picture.Height();
    const bool swaps = SwapsSides(orientation);
    DecodedPicture turned = NewPhotoPicture(swaps ? height : width, swaps ? width : height);
    const auto stride = static_cast<std::ptrdiff_t>(picture.Stride());
    const std::uint8_t* const source = picture.Row(0).data();
    const auto at = [&](std::int64_t x, std::int64_t y) { return static_cast<std::ptrdiff_t>(y * stride + x * 3); };
    // Each output row walks the source in a straight line: a row or a column, either way.
    for (std::int32_t y = 0; y < turned.Height(); ++y) {
        std::ptrdiff_t from = 0;
        std::ptrdiff_t step = 0;
        switch (orientation) {
        case 2:  // mirrored left to right
            from = at(width - 1, y), step = -3;
            break;
        case 3:  // turned half round
            from = at(width - 1, height - 1 - y), step = -3;
            break;
        case 4:  // mirrored top to bottom
            from = at(0, height - 1 - y), step = 3;
            break;
        case 5:  // mirrored along the main diagonal
            from = at(y, 0), step = stride;
            break;
        case 6:  // to be turned a quarter clockwise
            from = at(y, height - 1), step = -stride;
            break;
        case 7:  // mirrored along the other diagonal
            from = at(width - 1 - y, height - 1), step = -stride;
            break;
        default:  // 8: to be turned a quarter anticlockwise
            from = at(width - 1 - y, 0), step = stride;
            break;
        }
        std::uint8_t* target = turned.Row(y).data();
        for (std::int32_t x = 0; x < turned.Width(); ++x, target += 3, from += step) {
            const std::uint8_t* pixel = source + from;
            target[0] = pixel[0];
            target[1] = pixel[1];
            target[2] = pixel[2];
        }
    }
    return turned;
}

}  // namespace kinetar::pictures
