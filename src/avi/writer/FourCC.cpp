#include "avi/writer/FourCC.h"

#include <array>

namespace kinetar::avi {

std::string FourccText(std::uint32_t fourcc)
{
    std::array<std::uint8_t, 4> bytes{};
    StoreLE32(bytes, 0, fourcc);
    return {bytes.begin(), bytes.end()};
}

std::optional<std::uint32_t> ParseFourcc(std::string_view text)
{
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    std::string padded(text);
    padded.resize(4, ' ');
    return FourCC(padded[0], padded[1], padded[2], padded[3]);
}

}  // namespace kinetar::avi
