#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "project/ProjectFile.h"

// Where lines go when records are taken out, put in or moved: shared by the session's edits.
namespace kinetar::session {

// The rows (ascending, each once) of a list of `count` lines.
inline std::vector<int> ValidRows(const QList<int>& rows, int count)
{
    std::vector<int> valid;
    for (const int row : rows) {
        if (row >= 0 && row < count) {
            valid.push_back(row);
        }
    }
    std::sort(valid.begin(), valid.end());
    valid.erase(std::unique(valid.begin(), valid.end()), valid.end());
    return valid;
}

// How many of the rows (ascending) come before `row`.
inline int CountBelow(const std::vector<int>& rows, int row)
{
    return static_cast<int>(std::lower_bound(rows.begin(), rows.end(), row) - rows.begin());
}

// Where `row` goes when the `moved` rows (ascending) go as one block to `place`, where it starts
// once they have left.
inline int PlaceAfterMove(const std::vector<int>& moved, int place, int row)
{
    const auto found = std::lower_bound(moved.begin(), moved.end(), row);
    if (found != moved.end() && *found == row) {
        return place + static_cast<int>(found - moved.begin());
    }
    const int left = row - static_cast<int>(found - moved.begin());
    return left < place ? left : left + static_cast<int>(moved.size());
}

// The texts that lines keep, each at the row `newRow` gives its line (-1: the line is gone).
template <typename NewRow>
QMap<int, QString> MoveKeptTexts(const QMap<int, QString>& texts, NewRow newRow)
{
    QMap<int, QString> moved;
    for (auto line = texts.cbegin(); line != texts.cend(); ++line) {
        if (const int row = newRow(line.key()); row >= 0) {
            moved.insert(row, line.value());
        }
    }
    return moved;
}

// The records' bytes from `first` on (to the end), whose change an append is.
inline std::int64_t RecordsFrom(int first)
{
    return project::FrameRecordOffset(first);
}

}  // namespace kinetar::session
