#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"
#include "project/Slideshow.h"

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
    void Fill(pictures::PaletteEntry color);

private:
    std::int32_t m_width;
    std::int32_t m_height;
    std::vector<std::uint8_t> m_pixels;
};

// How one frame's picture is put onto the frame.
struct FitOptions {
    project::FitMode Mode = project::FitMode::TopLeft;
    pictures::PaletteEntry Background{};  // the bars and whatever the picture leaves uncovered
    bool Smooth = false;                  // stretch with the smooth filter instead of nearest neighbour
};
FitOptions FitOptionsFor(const project::ProjectHeader& header, const project::FrameRecord& record);
// What to ask of the picture's reader: the background for transparent pixels and, for the modes
// that scale, the frame's size so a large photo may be decoded smaller.
pictures::PictureRequest PictureRequestFor(const FitOptions& options, std::int32_t frameWidth,
                                           std::int32_t frameHeight);

// Puts a picture onto the frame. A picture of the frame's size is copied. Otherwise:
// - stretch: scaled to the whole frame, each axis on its own (nearest neighbour, or the smooth
//   filter when asked);
// - top-left: copied to the top-left corner, cut at the right and bottom;
// - letterbox: scaled smoothly to the largest size that fits, aspect kept, centred;
// - crop: scaled smoothly to the smallest size that covers the frame, aspect kept, centred, cut;
// - centre: copied unscaled to the centre, cut where larger;
// - blurred fill: letterboxed over a blurred, darkened crop of itself.
// The background shows wherever the picture does not reach. Indexed pictures are drawn through
// their palette; an index beyond the palette shows black.
void FitPicture(const pictures::DecodedPicture& picture, const FitOptions& options, WorkingFrame& frame);

// Frame k (0-based) of a crossfade of n frames from one fitted picture into the next: each pixel
// takes (k + 1) / (n + 1) of the new picture, rounded to the nearest.
void BlendFrames(const WorkingFrame& from, const WorkingFrame& to, std::int64_t k, std::int64_t n,
                 WorkingFrame& blended);

// Puts a picture onto the frame: a picture of the frame's size, or any picture when stretch is
// false, is copied to the top-left corner of a black frame and cut at the right and bottom;
// otherwise it is scaled to the whole frame by nearest-neighbour sampling, each axis on its own.
// Indexed pictures are drawn through their palette; an index beyond the palette shows black.
void FitPicture(const pictures::DecodedPicture& picture, bool stretch, WorkingFrame& frame);

}  // namespace kinetar::avi
