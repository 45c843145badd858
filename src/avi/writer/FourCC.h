#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kinetar::avi {

// Four characters stored as a little-endian 32-bit code, the first character in the low byte.
constexpr std::uint32_t FourCC(char a, char b, char c, char d)
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

// The four characters of a fourcc.
std::string FourccText(std::uint32_t fourcc);
// Up to four characters, blanks added at the end; nullopt for longer or empty text.
std::optional<std::uint32_t> ParseFourcc(std::string_view text);

}  // namespace kinetar::avi
