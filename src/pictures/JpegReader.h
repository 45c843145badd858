#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

namespace kinetar::pictures {

// JPEG (baseline, progressive, grey, CMYK) at 24 bits, turned by its EXIF orientation and converted
// to sRGB through its ICC profile; decoded at a half, a quarter or an eighth of its size when the
// request's target allows. A file the library finds damaged, short data included, is refused with
// "Bad JPEG file " + path and the library's words on the next line.
void ReadJpegPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                     DecodedPicture& picture);
// The EXIF data of a JPEG file's APP1 marker, its "Exif\0\0" included; empty when it has none or
// its header cannot be read.
std::vector<std::uint8_t> ReadJpegExif(std::span<const std::uint8_t> bytes);

}  // namespace kinetar::pictures
