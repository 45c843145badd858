#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

// Steps every photo reader shares: how far a picture may be reduced while it is decoded, and
// transparency laid over the background.
namespace kinetar::pictures {

// 1, 2, 4 or 8: the largest reduction that keeps a picture of width x height at least the target
// size in both directions, once the target is at most half the picture both ways; 1 otherwise.
// A reduced side is rounded up, as the libraries do.
int ReductionFor(std::int64_t width, std::int64_t height, std::int32_t targetWidth, std::int32_t targetHeight);

// Pixels blue, green, red, alpha (straight, not premultiplied) over the background, into blue,
// green, red.
void CompositeRow(const std::uint8_t* bgra, std::size_t pixelCount, PaletteEntry background, std::uint8_t* bgr);

// A 24-bit picture of the given size whose rows are given memory but no content: the reader
// writes every pixel. The padding at the end of each row is zeroed here.
DecodedPicture NewPhotoPicture(std::int32_t width, std::int32_t height);

// Every `every` steps (64 rows, or 4096 codes of a quick loop), a stop asked of the process ends
// the decoding: a huge picture takes seconds.
void ThrowIfStopRequested(std::int64_t step, std::int64_t every = 64);

}  // namespace kinetar::pictures
