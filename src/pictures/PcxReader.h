#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "pictures/ByteCursor.h"
#include "pictures/DecodedPicture.h"

namespace kinetar::pictures {

// Version-5 PCX with one plane of 8-bit indices (256-colour palette at the end of the file) or three
// planes of red, green and blue. The picture always comes out at 24 bits without a palette.
void ReadPcxPicture(const std::string& path, DecodedPicture& picture);
void ReadPcxPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture);

struct PcxPacket {
    std::uint8_t RunLength = 0;  // 0 to 63
    std::uint8_t Value = 0;
};

// One run-length packet; nullopt when the count byte, or the value after it, is missing. Inline, as
// it runs once per byte of most pictures.
inline std::optional<PcxPacket> ReadPcxPacket(ByteCursor& cursor)
{
    const auto first = cursor.TryU8();
    if (!first) {
        return std::nullopt;
    }
    // A byte with both top bits set is a run count; the byte after it is the value.
    if ((*first & 0xC0) != 0xC0) {
        return PcxPacket{1, *first};
    }
    const auto value = cursor.TryU8();
    if (!value) {
        return std::nullopt;
    }
    return PcxPacket{static_cast<std::uint8_t>(*first & 0x3F), *value};
}

}  // namespace kinetar::pictures
