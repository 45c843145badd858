#pragma once

#include <cstdint>
#include <span>

#include "pictures/ByteCursor.h"

namespace kinetar::pictures {

// Decodes one GIF image's LZW data, the cursor at its code-size byte, into a work buffer of height
// rows of RowStride(width, workBitsPerPixel) bytes (1, 4 or 8 bits per pixel, the left pixel in the
// high bits). Image row y lands in buffer row height - 1 - y. Pixel values stay below
// 2^tableBits, the size of the colour table in force. Rows the data never reaches keep what the
// buffer held. A buffer or depth that does not fit the image is a caller's mistake:
// std::invalid_argument.
void DecodeGifImage(ByteCursor& cursor, std::int32_t width, std::int32_t height, int workBitsPerPixel, bool interlaced,
                    int tableBits, std::span<std::uint8_t> workBuffer);

// The image row after this one in interlaced order (rows 0, 8, 16 ..., then 4, 12 ..., then 2, 6 ...,
// then 1, 3 ...); moves pass on from 0 to 3. A result at or beyond height means the image is full.
std::int32_t NextInterlacedRow(std::int32_t row, std::int32_t height, int& pass);

}  // namespace kinetar::pictures
