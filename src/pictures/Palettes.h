#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kinetar::pictures {

struct PaletteEntry {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    std::uint8_t Flags = 0;

    bool operator==(const PaletteEntry&) const = default;
};

// The fixed colour table of an indexed depth: black and white for 1 bit, the 16 VGA colours for
// 4 bits, and for 8 bits a 6x6x6 colour cube, 24 greys and the 16 VGA colours.
std::span<const PaletteEntry> DefaultPalette(int bitsPerPixel);

// Maps a colour to the palette entry nearest by squared RGB distance (the lowest index on a tie).
// The answer is looked up in 32x32x32 cells, each decided once for the colour at its centre, so a
// whole picture costs one table and no search per pixel.
class NearestColorTable {
public:
    explicit NearestColorTable(std::span<const PaletteEntry> palette);
    std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const
    {
        return m_cells[(static_cast<unsigned>(red >> 3) << 10) | (static_cast<unsigned>(green >> 3) << 5) |
                       static_cast<unsigned>(blue >> 3)];
    }

private:
    std::vector<std::uint8_t> m_cells;
};

// The exact nearest entry, by search.
std::uint8_t NearestEntry(std::span<const PaletteEntry> palette, std::uint8_t red, std::uint8_t green,
                          std::uint8_t blue);

}  // namespace kinetar::pictures
