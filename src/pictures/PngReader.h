#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

namespace kinetar::pictures {

// PNG of every colour type and depth at 24 bits: 16-bit samples rounded to 8, palettes and grey
// expanded, interlaced pictures whole, transparency (alpha or tRNS) laid over the request's
// background; turned by an eXIf orientation and converted to sRGB through an iCCP profile. A
// damaged file, a bad checksum of a chunk the picture needs included, is refused with
// "Bad PNG file " + path and the library's words on the next line.
void ReadPngPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                    DecodedPicture& picture);

// The EXIF data of an eXIf chunk; empty when there is none or the file cannot be read that far.
std::vector<std::uint8_t> ReadPngExif(std::span<const std::uint8_t> bytes);

}  // namespace kinetar::pictures
