#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "pictures/Palettes.h"

namespace kinetar::pictures {
namespace {

using Rgb = std::array<std::uint8_t, 3>;

std::vector<PaletteEntry> RandomPalette(std::mt19937& random, std::size_t size)
{
    // Every fifth entry repeats an earlier one, so that ties between equal colours are common.
    std::vector<PaletteEntry> palette;
    for (std::size_t i = 0; i < size; ++i) {
        palette.push_back(i % 5 == 4
                              ? palette[i / 2]
                              : PaletteEntry{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                                             static_cast<std::uint8_t>(random()), 0});
    }
    return palette;
}

// Compares the table with the search; reports the first colour that differs, so that a fault
// fails once and not a million times.
void ExpectTableMatchesSearch(std::span<const PaletteEntry> palette, const std::vector<Rgb>& colors)
{
    const NearestColorTable table(palette);
    for (const auto& [red, green, blue] : colors) {
        const std::uint8_t searched = NearestEntry(palette, red, green, blue);
        const std::uint8_t looked = table.Lookup(red, green, blue);
        if (looked != searched) {
            ADD_FAILURE() << "colour " << +red << "," << +green << "," << +blue << ": table " << +looked << ", search "
                          << +searched;
            return;
        }
    }
}

TEST(NearestColorTable, KnownAnswersAndTiesToTheLowestIndex)
{
    const std::vector<PaletteEntry> twins{{40, 0, 0, 0}, {0, 0, 0, 0}, {40, 0, 0, 0}, {0, 0, 0, 0}};
    const std::vector<PaletteEntry> around{{0, 0, 0, 0}, {30, 20, 20, 0}, {10, 20, 20, 0}, {20, 20, 30, 0}};
    const auto full = DefaultPalette(8);
    const auto vga = DefaultPalette(4);
    const auto mono = DefaultPalette(1);
    const struct {
        std::span<const PaletteEntry> palette;
        Rgb color;
        std::uint8_t index;
    } rows[] = {
        {twins, {40, 0, 0}, 0},       {twins, {0, 0, 0}, 1},        {twins, {20, 0, 0}, 0},
        {twins, {19, 0, 0}, 1},       {around, {20, 20, 20}, 1},    {around, {21, 20, 20}, 1},
        {around, {19, 20, 20}, 2},    {around, {20, 20, 26}, 3},    {{}, {9, 9, 9}, 0},
        {full, {192, 192, 192}, 247},  // the VGA light grey, which no cube or grey level holds
        {full, {191, 191, 191}, 247}, {full, {128, 128, 128}, 228}, {full, {128, 0, 0}, 241},
        {full, {255, 255, 255}, 215}, {full, {198, 198, 198}, 235}, {full, {25, 0, 255}, 5},
        {full, {26, 0, 255}, 41},     {vga, {160, 160, 160}, 7},    {vga, {159, 159, 159}, 8},
        {mono, {127, 127, 128}, 0},   {mono, {127, 128, 128}, 1},
    };
    for (const auto& row : rows) {
        const auto [red, green, blue] = row.color;
        SCOPED_TRACE(testing::Message() << row.palette.size() << " entries, " << +red << "," << +green << "," << +blue);
        EXPECT_EQ(NearestEntry(row.palette, red, green, blue), row.index);
        EXPECT_EQ(NearestColorTable(row.palette).Lookup(red, green, blue), row.index);
    }
}

TEST(NearestColorTable, EveryTableColourComesBackAsItsFirstIndex)
{
    for (const int bits : {1, 4, 8}) {
        const auto palette = DefaultPalette(bits);
        const NearestColorTable table(palette);
        for (const PaletteEntry& entry : palette) {
            SCOPED_TRACE(testing::Message()
                         << bits << " bits, " << +entry.Red << "," << +entry.Green << "," << +entry.Blue);
            const std::uint8_t index = table.Lookup(entry.Red, entry.Green, entry.Blue);
            EXPECT_EQ(palette[index], entry);
            EXPECT_EQ(index, std::find(palette.begin(), palette.end(), entry) - palette.begin());
        }
    }
}

TEST(NearestColorTable, MatchesTheSearchOnSampledColoursForAnyPalette)
{
    // The first and last level of each cell, the levels halfway between cube levels, and random
    // colours; for the default palettes, and a third of them for random palettes, one longer than
    // the 256 entries used.
    std::vector<std::uint8_t> edges;
    for (int level = 0; level < 256; level += 8) {
        edges.insert(edges.end(), {static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(level + 7)});
    }
    for (int level = 25; level < 256; level += 51) {
        edges.insert(edges.end(), {static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(level + 1)});
    }
    std::vector<Rgb> colors;
    for (const std::uint8_t red : edges) {
        for (const std::uint8_t green : edges) {
            for (const std::uint8_t blue : edges) {
                colors.push_back({red, green, blue});
            }
        }
    }
    std::mt19937 random(20240611);
    for (int i = 0; i < 200000; ++i) {
        colors.push_back({static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                          static_cast<std::uint8_t>(random())});
    }
    for (const int bits : {1, 4, 8}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        ExpectTableMatchesSearch(DefaultPalette(bits), colors);
    }
    std::vector<Rgb> some;
    for (std::size_t i = 0; i < colors.size(); i += 3) {
        some.push_back(colors[i]);
    }
    for (const std::size_t size : {1U, 3U, 17U, 256U, 300U}) {
        SCOPED_TRACE(testing::Message() << size << " random entries");
        ExpectTableMatchesSearch(RandomPalette(random, size), some);
    }
}

// Every one of the 16,777,216 colours at each depth, against a search of its own: for each line
// of blue, the entries sorted by their distance in red and green, each level scanning them only
// while that distance alone is no more than the best found. Run by its own CTest entry, labelled
// large.
TEST(NearestColorTableExhaustive, EveryColourMatchesASearch)
{
    for (const int bits : {1, 4, 8}) {
        const auto palette = DefaultPalette(bits);
        const NearestColorTable table(palette);
        std::vector<std::pair<int, int>> order;
        std::size_t mismatches = 0;
        for (int red = 0; red < 256; ++red) {
            for (int green = 0; green < 256; ++green) {
                order.clear();
                for (std::size_t i = 0; i < palette.size(); ++i) {
                    const int dr = palette[i].Red - red;
                    const int dg = palette[i].Green - green;
                    order.emplace_back(dr * dr + dg * dg, static_cast<int>(i));
                }
                std::sort(order.begin(), order.end());
                for (int blue = 0; blue < 256; ++blue) {
                    int best = std::numeric_limits<int>::max();
                    int bestIndex = 0;
                    for (const auto& [across, index] : order) {
                        if (across > best) {
                            break;
                        }
                        const int db = palette[static_cast<std::size_t>(index)].Blue - blue;
                        const int distance = across + db * db;
                        if (distance < best || (distance == best && index < bestIndex)) {
                            best = distance;
                            bestIndex = index;
                        }
                    }
                    const auto looked = table.Lookup(static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                                                     static_cast<std::uint8_t>(blue));
                    if (looked != bestIndex && mismatches++ < 5) {
                        ADD_FAILURE() << bits << " bits, colour " << red << "," << green << "," << blue << ": table "
                                      << +looked << ", search " << bestIndex;
                    }
                }
            }
        }
        EXPECT_EQ(mismatches, 0U) << bits << " bits";
    }
}

}  // namespace
}  // namespace kinetar::pictures
