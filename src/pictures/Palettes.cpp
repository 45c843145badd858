#include "pictures/Palettes.h"

#include <limits>

namespace kinetar::pictures {

namespace {

constexpr std::array<PaletteEntry, 2> kMonochrome{{{0, 0, 0, 0}, {255, 255, 255, 0}}};

// clang-format off
constexpr std::array<PaletteEntry, 16> kVga{{
    {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0},
}};
// clang-format on

constexpr std::array<PaletteEntry, 256> MakeHalftone()
{
    std::array<PaletteEntry, 256> table{};
    std::size_t index = 0;
    for (int red = 0; red < 6; ++red) {
        for (int green = 0; green < 6; ++green) {
            for (int blue = 0; blue < 6; ++blue) {
                table[index++] = {static_cast<std::uint8_t>(red * 51), static_cast<std::uint8_t>(green * 51),
                                  static_cast<std::uint8_t>(blue * 51), 0};
            }
        }
    }
    for (int grey = 0; grey < 24; ++grey) {
        const auto level = static_cast<std::uint8_t>(8 + grey * 10);
        table[index++] = {level, level, level, 0};
    }
    for (const PaletteEntry& entry : kVga) {
        table[index++] = entry;
    }
    return table;
}

constexpr std::array<PaletteEntry, 256> kHalftone = MakeHalftone();

}  // namespace

std::span<const PaletteEntry> DefaultPalette(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return kMonochrome;
    case 4:
        return kVga;
    case 8:
        return kHalftone;
    default:
        return {};
    }
}

std::uint8_t NearestEntry(std::span<const PaletteEntry> palette, std::uint8_t red, std::uint8_t green,
                          std::uint8_t blue)
{
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
        const int dr = palette[i].Red - red;
        const int dg = palette[i].Green - green;
        const int db = palette[i].Blue - blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return static_cast<std::uint8_t>(best);
}

NearestColorTable::NearestColorTable(std::span<const PaletteEntry> palette) : m_cells(32 * 32 * 32)
{
    // A cell's centre colour widens its 5 bits to 8 the usual way, so 0 and 31 stand for 0 and 255.
    const auto widen = [](unsigned level) { return static_cast<std::uint8_t>((level << 3) | (level >> 2)); };
    for (unsigned red = 0; red < 32; ++red) {
        for (unsigned green = 0; green < 32; ++green) {
            for (unsigned blue = 0; blue < 32; ++blue) {
                m_cells[(red << 10) | (green << 5) | blue] =
                    NearestEntry(palette, widen(red), widen(green), widen(blue));
            }
        }
    }
}

}  // namespace kinetar::pictures
