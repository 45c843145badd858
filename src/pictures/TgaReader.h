#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/DecodedPicture.h"

namespace kinetar::pictures {

// Colour-mapped and grey 8-bit, true-colour 16 and 24 bits, uncompressed or run-length.
void ReadTgaPicture(const std::string& path, DecodedPicture& picture);
void ReadTgaPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture);
// `bytesDisposable`: the bytes are the reader's own copy of the file, given back as they are read.
void ReadTgaPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture,
                    bool bytesDisposable);

}  // namespace kinetar::pictures
