#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

namespace kinetar::pictures {

// WebP, lossy or lossless, at 24 bits: the first frame of an animation, transparency laid over the
// request's background, turned by an EXIF chunk's orientation and converted to sRGB through an ICCP
// chunk; a still picture is decoded smaller when the request's target allows. A damaged file is
// refused with "Bad WebP file " + path and the library's words on the next line.
void ReadWebpPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                     DecodedPicture& picture);

// The EXIF data of an EXIF chunk; empty when there is none or the file cannot be read that far.
std::vector<std::uint8_t> ReadWebpExif(std::span<const std::uint8_t> bytes);

}  // namespace kinetar::pictures
