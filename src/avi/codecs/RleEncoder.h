#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kinetar::avi {

// The pixel rows of a 4- or 8-bit bitmap as a DIB stores them: bottom row first, each padded to
// stride bytes.
struct IndexedRows {
    std::span<const std::uint8_t> Pixels;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::size_t Stride = 0;
    int BitsPerPixel = 8;  // 4 or 8
};

// Appends the frame as Windows bitmap run-length data (BI_RLE8 at 8 bits, BI_RLE4 at 4): runs,
// absolute blocks, an end of line after each row and an end of bitmap. Without a previous frame
// every pixel is coded (a key frame). With one (of the same shape), pixels that equal it are skipped
// with deltas and ends of line, as a decoder that keeps the previous picture expects.
void EncodeRle(const IndexedRows& frame, const IndexedRows* previous, std::vector<std::uint8_t>& out);

}  // namespace kinetar::avi
