#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/LittleEndian.h"

namespace kinetar::avi {

// Four characters stored as a little-endian 32-bit code, the first character in the low byte.
constexpr std::uint32_t FourCC(char a, char b, char c, char d)
{
    return LoadLE32(std::array{static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
                               static_cast<std::uint8_t>(d)});
}

// The four characters of a fourcc.
std::string FourccText(std::uint32_t fourcc);
// Up to four characters, blanks added at the end; nullopt for longer or empty text.
std::optional<std::uint32_t> ParseFourcc(std::string_view text);

}  // namespace kinetar::avi
