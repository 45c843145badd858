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

}  // namespace

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
