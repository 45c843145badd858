#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

namespace kinetar::pictures {

// HEIF pictures, HEIC and AVIF as the installed libheif decodes them: the primary image at 24 bits,
// cropped, turned and mirrored by the file's own transformations, transparency laid over the
// request's background, converted to sRGB through an embedded ICC profile. A damaged file is refused
// with "Bad HEIF file " + path and the library's words on the next line.
void ReadHeifPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                     DecodedPicture& picture);

}  // namespace kinetar::pictures
