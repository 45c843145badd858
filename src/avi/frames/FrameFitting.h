#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "pictures/DecodedPicture.h"

namespace kinetar::avi {

// The full-colour raster every frame is fitted onto: 3 bytes per pixel (blue, green, red), rows
// top first, no padding. One serves a whole run.
class WorkingFrame {
public:
    WorkingFrame(std::int32_t width, std::int32_t height);
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::span<std::uint8_t> Row(std::int32_t y)
    {
        return {m_pixels.data() + static_cast<std::size_t>(y) * RowBytes(), RowBytes()};
    }
    std::span<const std::uint8_t> Row(std::int32_t y) const
    {
        return {m_pixels.data() + static_cast<std::size_t>(y) * RowBytes(), RowBytes()};
    }
    std::size_t RowBytes() const { return static_cast<std::size_t>(m_width) * 3; }

private:
    std::int32_t m_width;
    std::int32_t m_height;
    std::vector<std::uint8_t> m_pixels;
};

// Puts a picture onto the frame: a picture of the frame's size, or any picture when stretch is
// false, is copied to the top-left corner of a black frame and cut at the right and bottom;
// otherwise it is scaled to the whole frame by nearest-neighbour sampling, each axis on its own.
// Indexed pictures are drawn through their palette; an index beyond the palette shows black.
void FitPicture(const pictures::DecodedPicture& picture, bool stretch, WorkingFrame& frame);

}  // namespace kinetar::avi
