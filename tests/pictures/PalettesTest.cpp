#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pictures/Palettes.h"

namespace kinetar::pictures {
namespace {

struct Rgb {
    int Red;
    int Green;
    int Blue;
};

std::string Describe(int bits, Rgb color)
{
    return std::to_string(bits) + " bits, colour " + std::to_string(color.Red) + "," + std::to_string(color.Green) +
           "," + std::to_string(color.Blue);
}

std::uint8_t LookupOf(const NearestColorTable& table, Rgb color)
{
    return table.Lookup(static_cast<std::uint8_t>(color.Red), static_cast<std::uint8_t>(color.Green),
                        static_cast<std::uint8_t>(color.Blue));
}

std::uint8_t SearchOf(std::span<const PaletteEntry> palette, Rgb color)
{
    return NearestEntry(palette, static_cast<std::uint8_t>(color.Red), static_cast<std::uint8_t>(color.Green),
                        static_cast<std::uint8_t>(color.Blue));
}

// Colours where the answers of the table change most: the first and last level of each 8-wide
// cell on every channel, and levels halfway between table colours (25/26, 76/77, ...).
std::vector<int> EdgeLevels()
{
    std::vector<int> levels;
    for (int level = 0; level < 256; level += 8) {
        levels.push_back(level);
        levels.push_back(level + 7);
    }
    for (int level = 25; level < 256; level += 51) {
        levels.push_back(level);
        levels.push_back(level + 1);
    }
    return levels;
}

// Compares the table with the search over the given colours; returns the first colour that
// differs, so a fault fails once and not a million times.
void ExpectTableMatchesSearch(int bits, std::span<const PaletteEntry> palette, const std::vector<Rgb>& colors)
{
    const NearestColorTable table(palette);
    for (const Rgb& color : colors) {
        const std::uint8_t searched = SearchOf(palette, color);
        const std::uint8_t looked = LookupOf(table, color);
        if (looked != searched) {
            ADD_FAILURE() << Describe(bits, color) << ": table " << int{looked} << ", search " << int{searched};
            return;
        }
    }
}

std::vector<Rgb> SampledColors()
{
    std::vector<Rgb> colors;
    const auto edges = EdgeLevels();
    for (const int red : edges) {
        for (const int green : edges) {
            for (const int blue : edges) {
                colors.push_back({red, green, blue});
            }
        }
    }
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> level(0, 255);
    for (int i = 0; i < 200000; ++i) {
        colors.push_back({level(random), level(random), level(random)});
    }
    return colors;
}

TEST(NearestEntry, TiesGoToTheLowestIndex)
{
    const std::vector<PaletteEntry> twins{{40, 0, 0, 0}, {0, 0, 0, 0}, {40, 0, 0, 0}, {0, 0, 0, 0}};
    const std::vector<PaletteEntry> around{{30, 20, 20, 0}, {10, 20, 20, 0}, {20, 20, 30, 0}, {20, 20, 10, 0}};
    const std::vector<PaletteEntry> later{{0, 0, 0, 0}, {30, 20, 20, 0}, {10, 20, 20, 0}};
    const struct {
        const std::vector<PaletteEntry>* palette;
        Rgb color;
        std::uint8_t index;
    } rows[] = {
        {&twins, {40, 0, 0}, 0},    {&twins, {0, 0, 0}, 1},     {&twins, {20, 0, 0}, 0},    {&twins, {21, 0, 0}, 0},
        {&twins, {19, 0, 0}, 1},    {&around, {20, 20, 20}, 0}, {&around, {19, 20, 20}, 1}, {&around, {20, 20, 21}, 2},
        {&around, {20, 20, 19}, 3}, {&later, {20, 20, 20}, 1},  {&later, {21, 20, 20}, 1},  {&later, {19, 20, 20}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Describe(0, row.color));
        EXPECT_EQ(SearchOf(*row.palette, row.color), row.index);
        EXPECT_EQ(LookupOf(NearestColorTable(*row.palette), row.color), row.index);
    }
}

TEST(NearestColorTable, KnownColoursOfTheDefaultTables)
{
    const struct {
        int bits;
        Rgb color;
        std::uint8_t index;
    } rows[] = {
        {8, {192, 192, 192}, 247},  // the VGA light grey, which no cube or grey level holds
        {8, {191, 191, 191}, 247}, {8, {128, 128, 128}, 228}, {8, {128, 0, 0}, 241},   {8, {255, 255, 255}, 215},
        {8, {198, 198, 198}, 235}, {8, {25, 0, 255}, 5},      {8, {26, 0, 255}, 41},   {4, {192, 192, 192}, 7},
        {4, {160, 160, 160}, 7},   {4, {159, 159, 159}, 8},   {4, {161, 161, 161}, 7}, {1, {127, 127, 128}, 0},
        {1, {127, 128, 128}, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Describe(row.bits, row.color));
        const auto palette = DefaultPalette(row.bits);
        EXPECT_EQ(SearchOf(palette, row.color), row.index);
        EXPECT_EQ(LookupOf(NearestColorTable(palette), row.color), row.index);
    }
}

TEST(NearestColorTable, EveryTableColourComesBackAsItself)
{
    for (const int bits : {1, 4, 8}) {
        const auto palette = DefaultPalette(bits);
        const NearestColorTable table(palette);
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const Rgb color{palette[i].Red, palette[i].Green, palette[i].Blue};
            SCOPED_TRACE(Describe(bits, color));
            // A colour the table repeats comes back at its first index.
            const auto first = std::find_if(palette.begin(), palette.end(), [&](const PaletteEntry& entry) {
                return entry.Red == palette[i].Red && entry.Green == palette[i].Green && entry.Blue == palette[i].Blue;
            });
            const std::uint8_t index = LookupOf(table, color);
            EXPECT_EQ(index, first - palette.begin());
            EXPECT_EQ(palette[index], palette[i]);
        }
    }
}

TEST(NearestColorTable, MatchesTheSearchOnSampledColours)
{
    const auto colors = SampledColors();
    for (const int bits : {1, 4, 8}) {
        ExpectTableMatchesSearch(bits, DefaultPalette(bits), colors);
    }
}

TEST(NearestColorTable, MatchesTheSearchForOtherPalettes)
{
    // Random palettes of a few sizes, with repeated colours, and a palette longer than 256 entries
    // (the entries past 256 are never answers).
    std::mt19937 random(7);
    std::uniform_int_distribution<int> level(0, 255);
    std::vector<Rgb> colors;
    for (int i = 0; i < 100000; ++i) {
        colors.push_back({level(random), level(random), level(random)});
    }
    for (const std::size_t size : {1U, 3U, 17U, 256U, 300U}) {
        SCOPED_TRACE(size);
        std::vector<PaletteEntry> palette;
        for (std::size_t i = 0; i < size; ++i) {
            if (i % 5 == 4) {
                palette.push_back(palette[i / 2]);
            } else {
                palette.push_back({static_cast<std::uint8_t>(level(random)), static_cast<std::uint8_t>(level(random)),
                                   static_cast<std::uint8_t>(level(random)), 0});
            }
        }
        for (const PaletteEntry& entry : palette) {
            colors.push_back({entry.Red, entry.Green, entry.Blue});
        }
        ExpectTableMatchesSearch(0, palette, colors);
    }
}

TEST(NearestColorTable, EmptyPaletteAnswersZero)
{
    const NearestColorTable table(std::span<const PaletteEntry>{});
    for (const Rgb color : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{12, 200, 99}}) {
        EXPECT_EQ(LookupOf(table, color), 0);
    }
}

// The nearest entry of every colour on one line of blue, by its own search: the entries sorted
// by their distance in red and green from the line, each blue level scanning them only while that
// distance alone is no more than the best found.
class LineSearch {
public:
    explicit LineSearch(std::span<const PaletteEntry> palette) : m_palette(palette) {}

    void Line(int red, int green, std::array<std::uint8_t, 256>& answers)
    {
        m_order.clear();
        for (std::size_t i = 0; i < m_palette.size(); ++i) {
            const int dr = m_palette[i].Red - red;
            const int dg = m_palette[i].Green - green;
            m_order.push_back({dr * dr + dg * dg, static_cast<int>(i)});
        }
        std::sort(m_order.begin(), m_order.end());
        for (int blue = 0; blue < 256; ++blue) {
            int best = std::numeric_limits<int>::max();
            int bestIndex = 0;
            for (const auto& [across, index] : m_order) {
                if (across > best) {
                    break;
                }
                const int db = m_palette[static_cast<std::size_t>(index)].Blue - blue;
                const int distance = across + db * db;
                if (distance < best || (distance == best && index < bestIndex)) {
                    best = distance;
                    bestIndex = index;
                }
            }
            answers[static_cast<std::size_t>(blue)] = static_cast<std::uint8_t>(bestIndex);
        }
    }

private:
    std::span<const PaletteEntry> m_palette;
    std::vector<std::pair<int, int>> m_order;
};

// Every one of the 16,777,216 colours at each depth; run by its own CTest entry labelled large.
TEST(NearestColorTableExhaustive, EveryColourMatchesASearch)
{
    for (const int bits : {1, 4, 8}) {
        const auto started = std::chrono::steady_clock::now();
        const auto palette = DefaultPalette(bits);
        const NearestColorTable table(palette);
        LineSearch search(palette);
        std::array<std::uint8_t, 256> answers{};
        std::size_t mismatches = 0;
        for (int red = 0; red < 256; ++red) {
            for (int green = 0; green < 256; ++green) {
                search.Line(red, green, answers);
                for (int blue = 0; blue < 256; ++blue) {
                    const Rgb color{red, green, blue};
                    const std::uint8_t looked = LookupOf(table, color);
                    if (looked != answers[static_cast<std::size_t>(blue)] && mismatches++ < 5) {
                        ADD_FAILURE() << Describe(bits, color) << ": table " << int{looked} << ", search "
                                      << int{answers[static_cast<std::size_t>(blue)]};
                    }
                }
            }
        }
        EXPECT_EQ(mismatches, 0U) << bits << " bits";
        std::cout << bits
                  << " bits: " << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()
                  << " s\n";
    }
}

}  // namespace
}  // namespace kinetar::pictures
