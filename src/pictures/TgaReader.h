#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/DecodedPicture.h"

namespace kinetar::pictures {

void ReadTgaPicture(const std::string& path, DecodedPicture& picture);
void ReadTgaPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture);

}  // namespace kinetar::pictures
