#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/DecodedPicture.h"

namespace kinetar::pictures {

// GIF 87a and 89a: the first image of the file, at 24 bits. Extensions are skipped whatever they
// hold; the palette of the picture is left alone. No message carries the path; a file that cannot
// be opened gives "GIF read error ".
void ReadGifPicture(const std::string& path, DecodedPicture& picture);
void ReadGifPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture);

}  // namespace kinetar::pictures
