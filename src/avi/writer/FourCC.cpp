#include "avi/writer/FourCC.h"

namespace kinetar::avi {

std::string FourccText(std::uint32_t fourcc)
{
    std::string text(4, ' ');
    for (std::size_t i = 0; i < 4; ++i) {
        text[i] = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
    }
    return text;
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
