#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/DecodedPicture.h"

namespace kinetar::pictures {

// Windows bitmaps of 1, 4, 8 or 24 bits, uncompressed, RLE8 or RLE4.
void ReadBmpPicture(const std::string& path, DecodedPicture& picture);
void ReadBmpPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture);
// `bytesDisposable`: the bytes are the reader's own copy of the file, given back as they are read.
void ReadBmpPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture,
                    bool bytesDisposable);

}  // namespace kinetar::pictures
