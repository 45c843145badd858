#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "pictures/DecodedPicture.h"

namespace kinetar::pictures {

// The orientation tag (1 to 8) of EXIF data: a TIFF header and its first directory, with or
// without the "Exif\0\0" that JPEG puts before it. 1, upright, when the data has no such tag or
// cannot be read: a damaged tag must not cost the user the picture.
int ExifOrientation(std::span<const std::uint8_t> exif);

struct CalendarDate {
    int Year = 0;
    int Month = 0;  // 1 to 12
    int Day = 0;    // 1 to 31
    bool operator==(const CalendarDate&) const = default;
};
// When the photo was taken: EXIF's original date, else the main directory's date; nothing when
// the data has neither or they cannot be read.
std::optional<CalendarDate> ExifDateTaken(std::span<const std::uint8_t> exif);

// Orientations 5 to 8 turn the picture a quarter, so its width and height trade places.
constexpr bool SwapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// The 24-bit picture as it is meant to be seen: mirrored and turned as the orientation says.
DecodedPicture Oriented(DecodedPicture picture, int orientation);

}  // namespace kinetar::pictures
