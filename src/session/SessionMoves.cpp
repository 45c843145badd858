#include <algorithm>

#include "common/Error.h"
#include "project/CaptionedMoves.h"
#include "session/FileAccess.h"
#include "session/LineRows.h"
#include "session/ProjectSession.h"

// The session's edits that take records out or move them: a frame's captions go with it.

namespace kinetar::session {

void ProjectSession::RemoveFrames(const QList<int>& rows)
{
    const Snapshot before = Take();
    // A frame's captions go with it: left behind, they would go on the next picture.
    const std::vector<int> given = ValidRows(rows, m_lines.Count);
    const std::vector<int> removed = project::WithTheirCaptions(given, [this](int row) { return RoleAt(row); });
    RecordSplice splice;
    try {
        project::ProjectHeader header;
        if (!project::ReadProjectHeader(m_workingCopyPath, header)) {
            throw Error("Can't read project file " + m_workingCopyPath);
        }
        ForEachFrameRecord(m_workingCopyPath, QList<int>(removed.begin(), removed.end()),
                           [&](int row, const project::FrameRecord& record) {
                               splice.Removed.push_back({row, record});
                           });
        if (splice.Removed.size() != removed.size()) {
            throw Error("Can't read project file " + m_workingCopyPath);
        }
        // The copy is made of whole records, as it always was: what trailed them is left out.
        splice.TailBefore = ReadRegion(m_workingCopyPath, RecordsFrom(m_lines.Count), -1).Bytes;
        // Written beside the working copy and renamed over it: a failure leaves it whole.
        ApplySplice(m_workingCopyPath, m_lines.Count, splice);
    } catch (...) {
        Push(true, {}, before);
        throw;
    }
    m_records.Forget();
    const auto rowAfter = [&removed](int row) {
        return std::binary_search(removed.begin(), removed.end(), row) ? -1 : row - CountBelow(removed, row);
    };
    m_lines = {m_lines.Count - static_cast<int>(removed.size()), MoveKeptTexts(m_lines.KeptTexts, rowAfter)};
    emit FramesRemoved(QList<int>(removed.begin(), removed.end()));
    PlaceSelection({}, true);
    Push(true, {{}, std::move(splice)}, before);
}

bool ProjectSession::MoveFrames(const QList<int>& rows, int destination)
{
    const std::vector<int> given = ValidRows(rows, m_lines.Count);
    return MoveRecords(project::PlanMove(given, destination, m_lines.Count, [this](int row) { return RoleAt(row); }),
                       QList<int>(given.begin(), given.end()));
}

bool ProjectSession::MoveFrameStep(int row, int step)
{
    return MoveRecords(project::PlanStep(row, step, m_lines.Count, [this](int line) { return RoleAt(line); }), {row});
}

bool ProjectSession::MoveRecords(const project::RecordMove& move, const QList<int>& selected)
{
    const int count = m_lines.Count;
    const std::vector<int>& moved = move.Indexes;
    const int destination = move.Destination;
    const int place = destination - CountBelow(moved, destination);
    // The order stays when the lines are already one block at that place.
    if (moved.empty() || (moved.front() == place && moved.back() == place + static_cast<int>(moved.size()) - 1)) {
        return false;
    }
    const Snapshot before = Take();
    RecordSplice splice;
    try {
        ForEachFrameRecord(m_workingCopyPath, QList<int>(moved.begin(), moved.end()),
                           [&](int row, const project::FrameRecord& record) {
                               splice.Removed.push_back({row, record});
                           });
        // A record that cannot be read moves as zeros, as a swap of two reads would.
        for (std::size_t i = 0; i < moved.size(); ++i) {
            if (i >= splice.Removed.size() || splice.Removed[i].first != moved[i]) {
                splice.Removed.insert(splice.Removed.begin() + static_cast<std::ptrdiff_t>(i),
                                      std::pair<std::int32_t, project::FrameRecord>{moved[i], {}});
            }
            splice.Inserted.push_back({place + static_cast<int>(i), splice.Removed[i].second});
        }
        ApplyKeepingTail(splice, count);
    } catch (...) {
        Push(true, {}, before);
        throw;
    }
    m_records.Forget();
    m_lines.KeptTexts = MoveKeptTexts(m_lines.KeptTexts, [&](int row) { return PlaceAfterMove(moved, place, row); });
    const int first = std::min(moved.front(), place);
    const int last = std::max(moved.back(), place + static_cast<int>(moved.size()) - 1);
    emit FramesMoved(first, last);
    FrameSelection selection;
    for (const int row : selected) {
        selection.Rows << PlaceAfterMove(moved, place, row);
    }
    std::sort(selection.Rows.begin(), selection.Rows.end());
    const int current = m_selection.Current;
    selection.Current = current >= 0 && current < count ? PlaceAfterMove(moved, place, current) : -1;
    // The details keep showing the same frames, so they are not filled again.
    PlaceSelection(selection, false);
    Push(true, {{}, std::move(splice)}, before);
    return true;
}

}  // namespace kinetar::session
