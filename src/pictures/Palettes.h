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

// Maps a colour to the palette entry nearest by squared RGB distance (the lowest index on a tie),
// exactly, for the first 256 entries of any palette. The colour cube is cut into 32x32x32 cells of
// 8x8x8 colours. A cell that one entry wins whole answers at once; a cell split between entries
// holds an answer for each of its 512 colours (cells split alike share them). So a pixel costs two
// table reads and no search, and no branch.
class NearestColorTable {
public:
    explicit NearestColorTable(std::span<const PaletteEntry> palette);
    std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const
    {
        // The low 15 bits of the key name the cell, the high bits the colour's place in it. A cell's
        // word holds where its answers start (from bit 9) and a mask over the place: 0 when the cell
        // has a single answer, all ones when it has 512.
        const std::uint32_t key = m_keys[0][red] | m_keys[1][green] | m_keys[2][blue];
        const std::uint32_t cell = m_cells[key & kCellMask];
        return m_answers[(cell >> kPlaceBits) + ((key >> 16) & cell)];
    }

private:
    static constexpr std::uint32_t kCellMask = 0x7fff;
    static constexpr unsigned kPlaceBits = 9;

    std::array<std::array<std::uint32_t, 256>, 3> m_keys{};
    std::vector<std::uint32_t> m_cells;
    std::vector<std::uint8_t> m_answers;
};

// The exact nearest entry, by search: the lowest index on a tie.
std::uint8_t NearestEntry(std::span<const PaletteEntry> palette, std::uint8_t red, std::uint8_t green,
                          std::uint8_t blue);

}  // namespace kinetar::pictures
