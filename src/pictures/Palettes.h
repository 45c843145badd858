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
// 8x8x8 colours, and each cell names a block of 512 answers, one for each of its colours: the
// cells that one entry wins whole share a block that holds only that entry, and the cells split
// alike between entries share one too. So a pixel costs two table reads, no search and no branch.
class NearestColorTable {
public:
    explicit NearestColorTable(std::span<const PaletteEntry> palette);
    std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const
    {
        // The key holds the cell from bit 9 up and the colour's place in the cell below. A cell's
        // word is where its block of 512 answers starts less the cell's own part of the key, so the
        // word and the key add up to the colour's answer: two reads and an add.
        const std::uint32_t key = m_keys[0][red] | m_keys[1][green] | m_keys[2][blue];
        const std::int32_t* const cells = m_table.data();
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(key) + cells[key >> kPlaceBits];
        return reinterpret_cast<const std::uint8_t*>(cells + kCellCount)[at];
    }

private:
    static constexpr unsigned kPlaceBits = 9;
    static constexpr std::size_t kCellCount = 32 * 32 * 32;

    std::array<std::array<std::uint32_t, 256>, 3> m_keys{};
    // The cells' words, then the blocks, four answers to a word: one address for both.
    std::vector<std::int32_t> m_table;
};

// The exact nearest entry, by search: the lowest index on a tie.
std::uint8_t NearestEntry(std::span<const PaletteEntry> palette, std::uint8_t red, std::uint8_t green,
                          std::uint8_t blue);

}  // namespace kinetar::pictures
