#include <algorithm>
#include <memory>

#include "session/ProjectSession.h"

// The undo history of the session: each edit one step holding the bytes it changed and the lines
// and selection on both sides.

namespace kinetar::session {

namespace {

// One step of the history: the working copy's bytes, the lines and the selection on both sides.
class SessionStep : public UndoStep {
public:
    SessionStep(ProjectSession& session, RecordsChange change, ProjectSession::Snapshot before,
                ProjectSession::Snapshot after)
        : m_session(session), m_change(std::move(change)), m_before(std::move(before)), m_after(std::move(after))
    {
    }

    void Undo() override { m_session.Restore(m_change, false, m_before); }
    void Redo() override { m_session.Restore(m_change, true, m_after); }

private:
    ProjectSession& m_session;
    RecordsChange m_change;
    ProjectSession::Snapshot m_before, m_after;
};

}  // namespace

bool RecordsChange::Empty() const
{
    return !Splice && std::all_of(Pieces.begin(), Pieces.end(), [](const ByteChange& piece) { return piece.Empty(); });
}

ByteChange DifferenceOf(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after)
{
    const auto mismatch = std::mismatch(before.begin(), before.end(), after.begin(), after.end());
    auto start = static_cast<std::size_t>(mismatch.first - before.begin());
    std::size_t endBefore = before.size();
    std::size_t endAfter = after.size();
    // A change that moves the tail reaches the end of the file, as it is written in place.
    if (before.size() == after.size()) {
        while (endBefore > start && before[endBefore - 1] == after[endAfter - 1]) {
            --endBefore;
            --endAfter;
        }
    }
    ByteChange change;
    change.Offset = static_cast<std::int64_t>(start);
    change.Before.assign(before.begin() + static_cast<std::ptrdiff_t>(start),
                         before.begin() + static_cast<std::ptrdiff_t>(endBefore));
    change.After.assign(after.begin() + static_cast<std::ptrdiff_t>(std::min(start, after.size())),
                        after.begin() + static_cast<std::ptrdiff_t>(endAfter));
    change.SizeBefore = static_cast<std::int64_t>(before.size());
    change.SizeAfter = static_cast<std::int64_t>(after.size());
    return change;
}

void ProjectSession::Push(bool stepWhenUnchanged, RecordsChange change, const Snapshot& before)
{
    Snapshot after = Take();
    if (change.Empty() && before.Lines == after.Lines && !stepWhenUnchanged) {
        return;
    }
    m_history.Push(std::make_unique<SessionStep>(*this, std::move(change), before, std::move(after)));
}

void ProjectSession::BeginSettingsEdit()
{
    m_settingsBefore = SettingsBefore{Take(), ReadRegion(m_workingCopyPath, 0, project::kHeaderSize)};
}

void ProjectSession::EndSettingsEdit(bool changed)
{
    if (!m_settingsBefore) {
        return;
    }
    const SettingsBefore before = std::move(*m_settingsBefore);
    m_settingsBefore.reset();
    // The settings window writes the header alone.
    const FileRegion after = ReadRegion(m_workingCopyPath, 0, project::kHeaderSize);
    ByteChange piece = DifferenceOf(before.Header.Bytes, after.Bytes);
    piece.SizeBefore = before.Header.FileSize;
    piece.SizeAfter = after.FileSize;
    Push(changed, {{std::move(piece)}, {}}, before.Side);
}

void ProjectSession::Restore(const RecordsChange& change, bool after, const Snapshot& side)
{
    if (change.Splice) {
        ApplySplice(m_workingCopyPath, m_lines.Count, after ? *change.Splice : change.Splice->Inverse());
    }
    const auto put = [&](const ByteChange& piece) {
        if (!piece.Empty()) {
            WriteBytesAt(m_workingCopyPath, piece.Offset, after ? piece.After : piece.Before,
                         after ? piece.SizeAfter : piece.SizeBefore);
        }
    };
    if (after) {
        std::for_each(change.Pieces.begin(), change.Pieces.end(), put);
    } else {
        std::for_each(change.Pieces.rbegin(), change.Pieces.rend(), put);
    }
    m_records.Forget();
    m_lines = side.Lines;
    emit FramesReset();
    emit HeaderChanged();
    PlaceSelection(side.Selection, true);
}

}  // namespace kinetar::session
