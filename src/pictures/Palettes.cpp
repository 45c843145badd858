#include "pictures/Palettes.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

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

namespace {

constexpr int kCellSide = 8;
constexpr int kCellsPerSide = 256 / kCellSide;
constexpr std::size_t kCellColors = kCellSide * kCellSide * kCellSide;

// The entries that may still be nearest somewhere in a box of colours, in index order.
struct Candidates {
    std::array<std::uint8_t, 256> Index;
    std::size_t Count = 0;

    void Add(std::uint8_t index) { Index[Count++] = index; }
    std::span<const std::uint8_t> View() const { return {Index.data(), Count}; }
};

// A cube of colours: its lowest corner and its side, a power of two from 256 down to a cell's.
struct Box {
    std::array<int, 3> Low{};
    int Side = 256;
};

int Channel(const PaletteEntry& entry, std::size_t channel)
{
    return channel == 0 ? entry.Red : channel == 1 ? entry.Green : entry.Blue;
}

// Gives each cell of a table its block of answers, cutting the colour cube down to the cells and
// dropping at each step the entries that cannot be nearest anywhere in the box.
class TableBuilder {
public:
    TableBuilder(std::span<const PaletteEntry> entries, std::vector<std::uint16_t>& cells,
                 std::vector<std::uint8_t>& blocks)
        : m_entries(entries), m_cells(cells), m_blocks(blocks)
    {
        m_constant.fill(kNoBlock);
    }

    void Build()
    {
        // An entry that repeats an earlier colour loses every tie to it, so it is never the answer.
        Candidates all;
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            const bool repeated =
                std::any_of(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(i),
                            [&](const PaletteEntry& earlier) { return SameColor(earlier, m_entries[i]); });
            if (!repeated) {
                all.Add(static_cast<std::uint8_t>(i));
            }
        }
        Refine(Box{}, all);
    }

private:
    static bool SameColor(const PaletteEntry& a, const PaletteEntry& b)
    {
        return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
    }

    // Keeps the entries whose nearest colour in the box is no farther than the farthest colour of
    // the box is from some entry: any other is beaten everywhere by that entry.
    Candidates Prune(const Box& box, const Candidates& from) const
    {
        std::array<int, 256> nearest;
        int bound = std::numeric_limits<int>::max();
        for (std::size_t i = 0; i < from.Count; ++i) {
            const PaletteEntry& entry = m_entries[from.Index[i]];
            int low = 0;
            int high = 0;
            for (std::size_t c = 0; c < 3; ++c) {
                const int value = Channel(entry, c);
                const int first = box.Low[c];
                const int last = box.Low[c] + box.Side - 1;
                const int inside = value < first ? first - value : value > last ? value - last : 0;
                const int outside = std::max(value - first, last - value);
                low += inside * inside;
                high += outside * outside;
            }
            nearest[i] = low;
            bound = std::min(bound, high);
        }
        Candidates kept;
        for (std::size_t i = 0; i < from.Count; ++i) {
            if (nearest[i] <= bound) {
                kept.Add(from.Index[i]);
            }
        }
        return kept;
    }

    // Whether entry a is the answer rather than entry b at every colour of the box: the difference
    // of their squared distances is linear in the colour, so its least value is at a corner.
    bool Beats(std::uint8_t a, std::uint8_t b, const Box& box) const
    {
        const PaletteEntry& first = m_entries[a];
        const PaletteEntry& second = m_entries[b];
        const int last = box.Side - 1;
        const auto part = [last](int va, int vb, int low) {
            const int slope = 2 * (va - vb);
            return vb * vb - va * va + slope * (slope > 0 ? low : low + last);
        };
        const int least = part(first.Red, second.Red, box.Low[0]) + part(first.Green, second.Green, box.Low[1]) +
                          part(first.Blue, second.Blue, box.Low[2]);
        return least > 0 || (least == 0 && a < b);
    }

    // The nearest of the candidates to a colour; they come in index order, so keeping the first
    // least distance keeps the lowest index on a tie.
    std::uint8_t Winner(const Candidates& from, int red, int green, int blue) const
    {
        std::uint8_t winner = from.Index[0];
        int best = std::numeric_limits<int>::max();
        for (std::size_t i = 0; i < from.Count; ++i) {
            const PaletteEntry& entry = m_entries[from.Index[i]];
            const int dr = entry.Red - red;
            const int dg = entry.Green - green;
            const int db = entry.Blue - blue;
            const int distance = dr * dr + dg * dg + db * db;
            winner = distance < best ? from.Index[i] : winner;
            best = std::min(best, distance);
        }
        return winner;
    }

    void Refine(const Box& box, const Candidates& from)
    {
        // Of the entries left, the one nearest to a corner is the likeliest to win the whole box;
        // keep only the others that it does not beat everywhere in the box.
        const Candidates near = Prune(box, from);
        const std::uint8_t first = near.Count == 0 ? 0 : Winner(near, box.Low[0], box.Low[1], box.Low[2]);
        Candidates kept;
        for (const std::uint8_t index : near.View()) {
            if (index == first || !Beats(first, index, box)) {
                kept.Add(index);
            }
        }
        if (kept.Count <= 1) {
            Settle(box, first);
            return;
        }
        if (box.Side == kCellSide) {
            SplitCell(box, kept);
            return;
        }
        const int half = box.Side / 2;
        for (int child = 0; child < 8; ++child) {
            Box part{box.Low, half};
            for (std::size_t c = 0; c < 3; ++c) {
                part.Low[c] += (child >> c & 1) * half;
            }
            Refine(part, kept);
        }
    }

    static std::size_t CellOf(int red, int green, int blue)
    {
        return static_cast<std::size_t>((red / kCellSide * kCellsPerSide + green / kCellSide) * kCellsPerSide +
                                        blue / kCellSide);
    }

    // Every cell of the box answers the one entry: they share a block that holds only it.
    void Settle(const Box& box, std::uint8_t answer)
    {
        if (m_constant[answer] == kNoBlock) {
            std::array<std::uint8_t, kCellColors> block;
            block.fill(answer);
            m_constant[answer] = Add(block);
        }
        for (int red = box.Low[0]; red < box.Low[0] + box.Side; red += kCellSide) {
            for (int green = box.Low[1]; green < box.Low[1] + box.Side; green += kCellSide) {
                for (int blue = box.Low[2]; blue < box.Low[2] + box.Side; blue += kCellSide) {
                    m_cells[CellOf(red, green, blue)] = m_constant[answer];
                }
            }
        }
    }

    // Answers each colour of a cell that no entry wins whole.
    void SplitCell(const Box& cell, const Candidates& all)
    {
        // Only the entries that no other one beats over the whole cell can be an answer in it.
        Candidates from;
        for (const std::uint8_t b : all.View()) {
            const auto others = all.View();
            if (std::none_of(others.begin(), others.end(),
                             [&](std::uint8_t a) { return a != b && Beats(a, b, cell); })) {
                from.Add(b);
            }
        }
        if (from.Count == 1) {
            Settle(cell, from.Index[0]);
            return;
        }
        // The answer at low + d minimises |e|^2 - 2 (low + d).e over the entries e, so two cells
        // whose candidates' scores at their lowest corners differ alike are split alike: the
        // cells along one boundary share the work as well as the answers.
        const auto score = [&](std::uint8_t index) {
            const PaletteEntry& entry = m_entries[index];
            return entry.Red * (entry.Red - 2 * cell.Low[0]) + entry.Green * (entry.Green - 2 * cell.Low[1]) +
                   entry.Blue * (entry.Blue - 2 * cell.Low[2]);
        };
        std::string relation(from.Count * 5, '\0');
        const int base = score(from.Index[0]);
        for (std::size_t i = 0; i < from.Count; ++i) {
            const int difference = score(from.Index[i]) - base;
            relation[i * 5] = static_cast<char>(from.Index[i]);
            std::memcpy(relation.data() + i * 5 + 1, &difference, sizeof difference);
        }
        const auto [known, added] = m_splits.try_emplace(std::move(relation), 0);
        if (added) {
            known->second = Store(Split(from, score));
        }
        m_cells[CellOf(cell.Low[0], cell.Low[1], cell.Low[2])] = known->second;
    }

    // Each candidate in turn over the whole cell, a line of blue at a time.
    template <typename Score>
    std::array<std::uint8_t, kCellColors> Split(const Candidates& from, Score score) const
    {
        std::array<int, kCellColors> best;
        best.fill(std::numeric_limits<int>::max());
        std::array<int, kCellColors> winner{};
        for (const std::uint8_t index : from.View()) {
            const PaletteEntry& entry = m_entries[index];
            std::array<int, kCellSide> step{};
            for (int b = 0; b < kCellSide; ++b) {
                step[static_cast<std::size_t>(b)] = 2 * b * entry.Blue;
            }
            const int corner = score(index);
            for (int r = 0; r < kCellSide; ++r) {
                for (int g = 0; g < kCellSide; ++g) {
                    const int start = corner - 2 * (r * entry.Red + g * entry.Green);
                    int* const lineBest = best.data() + (r * kCellSide + g) * kCellSide;
                    int* const lineWinner = winner.data() + (r * kCellSide + g) * kCellSide;
                    for (std::size_t b = 0; b < kCellSide; ++b) {
                        const int value = start - step[b];
                        // Strictly less: the earlier, lower index keeps a tie.
                        const int nearer = -static_cast<int>(value < lineBest[b]);
                        lineBest[b] = std::min(lineBest[b], value);
                        lineWinner[b] = (lineWinner[b] & ~nearer) | (index & nearer);
                    }
                }
            }
        }
        std::array<std::uint8_t, kCellColors> block;
        std::transform(winner.begin(), winner.end(), block.begin(),
                       [](int index) { return static_cast<std::uint8_t>(index); });
        return block;
    }

    // The number of a block holding these answers; cells split alike (most of them, along the
    // same boundaries) share one.
    std::uint16_t Store(const std::array<std::uint8_t, kCellColors>& block)
    {
        const std::string_view bytes(reinterpret_cast<const char*>(block.data()), block.size());
        const std::size_t hash = std::hash<std::string_view>{}(bytes);
        const auto [first, last] = m_stored.equal_range(hash);
        for (auto it = first; it != last; ++it) {
            if (std::equal(block.begin(), block.end(), m_blocks.begin() + it->second * kCellColors)) {
                return it->second;
            }
        }
        const std::uint16_t number = Add(block);
        m_stored.emplace(hash, number);
        return number;
    }

    std::uint16_t Add(const std::array<std::uint8_t, kCellColors>& block)
    {
        const auto number = static_cast<std::uint16_t>(m_blocks.size() / kCellColors);
        m_blocks.insert(m_blocks.end(), block.begin(), block.end());
        return number;
    }

    // Every block is made for a cell that needs it, so there are no more blocks than cells.
    static constexpr std::uint16_t kNoBlock = 0xffff;

    std::span<const PaletteEntry> m_entries;
    std::vector<std::uint16_t>& m_cells;
    std::vector<std::uint8_t>& m_blocks;
    std::array<std::uint16_t, 256> m_constant;
    std::unordered_multimap<std::size_t, std::uint16_t> m_stored;
    std::unordered_map<std::string, std::uint16_t> m_splits;
};

}  // namespace

NearestColorTable::NearestColorTable(std::span<const PaletteEntry> palette)
{
    static_assert(kCellColors == std::size_t{1} << kPlaceBits &&
                  kCellCount == std::size_t{kCellsPerSide} * kCellsPerSide * kCellsPerSide);
    // Each channel's level gives its part of the cell number, from bit 9 up, and of the place in
    // the cell, below; the three parts of each are apart, so they join by or.
    for (unsigned level = 0; level < 256; ++level) {
        const unsigned cell = level / kCellSide;
        const unsigned place = level % kCellSide;
        m_keys[0][level] = cell << (10 + 9) | place << 6;
        m_keys[1][level] = cell << (5 + 9) | place << 3;
        m_keys[2][level] = cell << 9 | place;
    }
    std::vector<std::uint16_t> cells(kCellCount);
    std::vector<std::uint8_t> blocks;
    TableBuilder(palette.first(std::min<std::size_t>(palette.size(), 256)), cells, blocks).Build();
    m_table.resize(kCellCount + (blocks.size() + 3) / 4);
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        m_table[cell] = (static_cast<std::int32_t>(cells[cell]) - static_cast<std::int32_t>(cell)) << kPlaceBits;
    }
    std::memcpy(m_table.data() + kCellCount, blocks.data(), blocks.size());
}

}  // namespace kinetar::pictures
