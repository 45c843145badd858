#include "ui/ProjectSession.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QUndoCommand>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "avi/audio/SoundFile.h"
#include "common/Error.h"
#include "common/WriteAll.h"
#include "ui/FileAccess.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

namespace {

// A working copy that cannot be read is taken as empty, as a snapshot has nothing better.
std::vector<std::uint8_t> ReadAllBytes(const std::string& path)
{
    try {
        return ReadRegularFile(path, "Can't read project file ");
    } catch (const Error&) {
        return {};
    }
}

// Writes `bytes` at `offset` and ends the file at `size`.
void WriteBytesAt(const std::string& path, std::int64_t offset, const std::vector<std::uint8_t>& bytes,
                  std::int64_t size)
{
    const RegularFile file = OpenRegularFile(path, O_RDWR | O_CREAT, "Can't write project file ");
    int error = WriteAll(file.Descriptor(), offset, bytes);
    if (error == 0 && ::ftruncate(file.Descriptor(), static_cast<off_t>(size)) != 0) {
        error = errno;
    }
    if (error != 0) {
        throw Error("Can't write project file " + path + ": " + std::strerror(error));
    }
}

// One step of the history: the working copy's bytes, the lines and the selection on both sides.
// The edit itself has been made when the step is pushed, so its first redo does nothing.
class SessionStep : public QUndoCommand {
public:
    SessionStep(ProjectSession& session, const QString& text, ByteChange change, FrameLines linesBefore,
                FrameSelection selectionBefore, FrameLines linesAfter, FrameSelection selectionAfter)
        : QUndoCommand(text),
          m_session(session),
          m_change(std::move(change)),
          m_linesBefore(std::move(linesBefore)),
          m_linesAfter(std::move(linesAfter)),
          m_selectionBefore(std::move(selectionBefore)),
          m_selectionAfter(std::move(selectionAfter))
    {
    }

    void undo() override { m_session.Restore(m_change, false, m_linesBefore, m_selectionBefore); }
    void redo() override
    {
        if (m_made) {
            m_made = false;
            return;
        }
        m_session.Restore(m_change, true, m_linesAfter, m_selectionAfter);
    }

private:
    ProjectSession& m_session;
    ByteChange m_change;
    FrameLines m_linesBefore, m_linesAfter;
    FrameSelection m_selectionBefore, m_selectionAfter;
    bool m_made = true;
};

}  // namespace

QString LineText(const QString& path, bool sound)
{
    return sound ? QStringLiteral("\u266A ") + FileNamePart(path) : FileNamePart(path);
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

std::vector<int> MovedOrder(int count, const QList<int>& rows, int destination)
{
    std::vector<bool> moving(static_cast<std::size_t>(std::max(count, 0)), false);
    QList<int> block;
    for (const int row : rows) {
        if (row >= 0 && row < count && !moving[static_cast<std::size_t>(row)]) {
            moving[static_cast<std::size_t>(row)] = true;
            block << row;
        }
    }
    std::sort(block.begin(), block.end());
    destination = std::clamp(destination, 0, std::max(count, 0));
    std::vector<int> order;
    order.reserve(moving.size());
    for (int row = 0; row < destination; ++row) {
        if (!moving[static_cast<std::size_t>(row)]) {
            order.push_back(row);
        }
    }
    order.insert(order.end(), block.begin(), block.end());
    for (int row = destination; row < count; ++row) {
        if (!moving[static_cast<std::size_t>(row)]) {
            order.push_back(row);
        }
    }
    return order;
}

ProjectSession::ProjectSession(QObject* parent) : QObject(parent)
{
    connect(&m_history, &QUndoStack::cleanChanged, this, [this](bool clean) { emit ModifiedChanged(!clean); });
}

ProjectSession::~ProjectSession()
{
    if (!m_workingCopyPath.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_workingCopyPath, ignored);
    }
}

void ProjectSession::SetProjectPath(const QString& path)
{
    QString absolute;
    if (!path.isEmpty()) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString folder = path.left(slash + 1);
        if (QDir::setCurrent(folder) || folder.isEmpty()) {
            absolute = QDir::currentPath();
            if (!absolute.endsWith(u'/')) {
                absolute += u'/';
            }
            absolute += path.mid(slash + 1);
        } else {
            // A folder that cannot be entered stays in the path, so the project is never looked for
            // or written anywhere else.
            absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
        }
    }
    m_projectPath = absolute;
    emit ProjectPathChanged();
}

void ProjectSession::OpenWorkingCopy(const std::string& recovered)
{
    const std::string source = recovered.empty() ? ToNativePath(m_projectPath) : recovered;
    try {
        m_workingCopyPath = project::MakeTempFileName();
        project::CopyProjectFile(source, m_workingCopyPath);
    } catch (const Error&) {
        // Never an empty working copy that a later Save would put over the project.
        Close();
        throw;
    }
    std::vector<project::FrameRecord> records;
    try {
        project::ReadProject(m_workingCopyPath, &records);
    } catch (const Error&) {
        // A copy too short for its header shows no frames, as an empty project would.
    }
    m_lines = {};
    m_lines.Texts.reserve(static_cast<qsizetype>(records.size()));
    m_lines.Pictures.reserve(static_cast<qsizetype>(records.size()));
    m_lines.Sounds.reserve(static_cast<qsizetype>(records.size()));
    for (const auto& record : records) {
        m_lines.Pictures << FromNativePath(project::GetText(record.PictureFileName));
        m_lines.Sounds << project::IsSoundRecord(record);
        m_lines.Texts << LineText(m_lines.Pictures.back(), m_lines.Sounds.back());
    }
    m_selection = {};
    m_history.clear();
    if (!recovered.empty()) {
        // Unsaved changes of an earlier run: nothing in this history leads back to the saved file.
        m_history.resetClean();
    }
    emit FramesReset();
    emit SelectionChanged();
    emit ProjectOpened();
}

void ProjectSession::Save()
{
    if (IsOpen()) {
        project::CopyProjectFile(m_workingCopyPath, ToNativePath(m_projectPath));
    }
    m_history.setClean();
}

void ProjectSession::Close()
{
    if (!m_workingCopyPath.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_workingCopyPath, ignored);
        m_workingCopyPath.clear();
    }
    m_lines = {};
    m_selection = {};
    m_settingsBefore.reset();
    m_history.clear();
    SetProjectPath({});
    emit FramesReset();
    emit SelectionChanged();
    emit ProjectClosed();
}

void ProjectSession::SetPendingChanges(bool on)
{
    m_pending = on;
    emit PendingChangesChanged(on);
}

void ProjectSession::SetSelection(const FrameSelection& selection)
{
    m_selection = selection;
    emit SelectionChanged();
}

void ProjectSession::PlaceSelection(const FrameSelection& selection, bool announce)
{
    m_selection = selection;
    emit SelectionPlaced(selection);
    if (announce) {
        emit SelectionChanged();
    }
}

ProjectSession::Snapshot ProjectSession::Take() const
{
    return {ReadAllBytes(m_workingCopyPath), m_lines, m_selection};
}

template <typename Change>
void ProjectSession::Record(const QString& text, bool stepWhenUnchanged, Change change)
{
    const Snapshot before = Take();
    try {
        change();
    } catch (...) {
        Push(text, stepWhenUnchanged, before);
        throw;
    }
    Push(text, stepWhenUnchanged, before);
}

void ProjectSession::Push(const QString& text, bool stepWhenUnchanged, const Snapshot& before)
{
    Snapshot after = Take();
    ByteChange change = DifferenceOf(before.Bytes, after.Bytes);
    if (change.Empty() && before.Lines == after.Lines && !stepWhenUnchanged) {
        return;
    }
    m_history.push(new SessionStep(*this, text, std::move(change), before.Lines, before.Selection,
                                   std::move(after.Lines), after.Selection));
}

void ProjectSession::AddFrames(const std::vector<std::string>& picturePaths)
{
    if (picturePaths.empty()) {
        return;
    }
    Record(QStringLiteral("Add pictures"), false, [&] {
        FrameLines lines;
        std::vector<project::FrameRecord> records;
        records.reserve(picturePaths.size());
        for (const auto& path : picturePaths) {
            records.push_back(avi::NewRecordFor(path));
            lines.Pictures << FromNativePath(path);
            lines.Sounds << project::IsSoundRecord(records.back());
            lines.Texts << LineText(lines.Pictures.back(), lines.Sounds.back());
        }
        // Lines only for records that are in the working copy, so line i stays record i.
        const auto first = static_cast<int>(m_lines.Texts.size());
        if (!project::WriteFrameRecords(m_workingCopyPath, first, records)) {
            throw Error("Can't write project file " + m_workingCopyPath);
        }
        m_lines.Texts += lines.Texts;
        m_lines.Pictures += lines.Pictures;
        m_lines.Sounds += lines.Sounds;
        emit FramesInserted(first, static_cast<int>(lines.Texts.size()));
        const auto last = static_cast<int>(m_lines.Texts.size()) - 1;
        PlaceSelection({{last}, last}, true);
    });
}

void ProjectSession::RemoveFrames(const QList<int>& rows)
{
    Record(QStringLiteral("Remove items"), true, [&] {
        std::vector<project::FrameRecord> records;
        const project::ProjectHeader header = project::ReadProject(m_workingCopyPath, &records);
        QList<int> removed = rows;
        std::sort(removed.begin(), removed.end());
        std::vector<project::FrameRecord> kept;
        FrameLines lines;
        kept.reserve(records.size());
        auto next = removed.cbegin();
        for (int line = 0; line < m_lines.Texts.size(); ++line) {
            if (next != removed.cend() && *next == line) {
                ++next;
                continue;
            }
            if (static_cast<std::size_t>(line) < records.size()) {
                kept.push_back(records[static_cast<std::size_t>(line)]);
            }
            lines.Texts << m_lines.Texts[line];
            lines.Pictures << m_lines.Pictures[line];
            lines.Sounds << m_lines.Sounds[line];
        }
        // Written beside the working copy and renamed over it: a failure leaves it whole.
        project::ReplaceProjectFile(m_workingCopyPath, header, kept);
        m_lines = lines;
        emit FramesRemoved(removed);
        PlaceSelection({}, true);
    });
}

bool ProjectSession::MoveFrames(const QList<int>& rows, int destination)
{
    const auto count = static_cast<int>(m_lines.Texts.size());
    const std::vector<int> order = MovedOrder(count, rows, destination);
    int first = 0;
    while (first < count && order[static_cast<std::size_t>(first)] == first) {
        ++first;
    }
    if (first == count) {
        return false;
    }
    int last = count - 1;
    while (order[static_cast<std::size_t>(last)] == last) {
        --last;
    }
    Record(QStringLiteral("Move"), true, [&] {
        std::vector<project::FrameRecord> records;
        project::ReadProject(m_workingCopyPath, &records);
        // A record that cannot be read moves as zeros, as a swap of two reads would.
        records.resize(std::max(records.size(), static_cast<std::size_t>(count)), project::FrameRecord{});
        std::vector<project::FrameRecord> moved;
        FrameLines lines = m_lines;
        std::vector<int> placeOf(static_cast<std::size_t>(count));
        for (int place = 0; place < count; ++place) {
            placeOf[static_cast<std::size_t>(order[static_cast<std::size_t>(place)])] = place;
        }
        for (int place = first; place <= last; ++place) {
            const int from = order[static_cast<std::size_t>(place)];
            moved.push_back(records[static_cast<std::size_t>(from)]);
            lines.Texts[place] = m_lines.Texts[from];
            lines.Pictures[place] = m_lines.Pictures[from];
            lines.Sounds[place] = m_lines.Sounds[from];
        }
        (void)project::WriteFrameRecords(m_workingCopyPath, first, moved);
        m_lines = lines;
        emit FramesMoved(first, last);
        FrameSelection selection;
        for (const int row : rows) {
            if (row >= 0 && row < count) {
                selection.Rows << placeOf[static_cast<std::size_t>(row)];
            }
        }
        std::sort(selection.Rows.begin(), selection.Rows.end());
        const int current = m_selection.Current;
        selection.Current = current >= 0 && current < count ? placeOf[static_cast<std::size_t>(current)] : -1;
        // The details keep showing the same frames, so they are not filled again.
        PlaceSelection(selection, false);
    });
    return true;
}

void ProjectSession::SaveDetails(const QList<int>& rows, const DetailsEdit& edit)
{
    Record(QStringLiteral("Save changes"), true, [&] {
        for (const int row : rows) {
            project::FrameRecord record{};
            project::ReadFrameRecord(m_workingCopyPath, row, record);
            if (edit.Name) {
                project::SetText(record.PictureFileName, *edit.Name);
                // The line keeps its text; its thumbnail shows the new picture.
                if (row >= 0 && row < m_lines.Pictures.size()) {
                    m_lines.Pictures[row] = FromNativePath(*edit.Name);
                }
            }
            // A sound among the frames takes its new name only: it has no fit or time.
            if (project::IsSoundRecord(record)) {
                project::WriteFrameRecord(m_workingCopyPath, row, record);
                continue;
            }
            if (edit.Stretch) {
                record.Stretch = *edit.Stretch;
            }
            if (edit.Fit) {
                project::SetFit(record, *edit.Fit);
            }
            if (edit.Duration) {
                record.Duration = *edit.Duration;
            }
            if (edit.Crossfade) {
                record.Crossfade = *edit.Crossfade;
            }
            project::WriteFrameRecord(m_workingCopyPath, row, record);
        }
        emit FramesChanged(rows);
    });
}

bool ProjectSession::WriteHeader(const project::ProjectHeader& header)
{
    bool written = false;
    const auto write = [&] {
        written = project::WriteProjectHeader(m_workingCopyPath, header);
        emit HeaderChanged();
    };
    if (m_settingsBefore) {
        write();
    } else {
        Record(QStringLiteral("Video settings"), true, write);
    }
    return written;
}

void ProjectSession::BeginSettingsEdit()
{
    m_settingsBefore = Take();
}

void ProjectSession::EndSettingsEdit(bool changed)
{
    if (!m_settingsBefore) {
        return;
    }
    const Snapshot before = std::move(*m_settingsBefore);
    m_settingsBefore.reset();
    Push(QStringLiteral("Video settings"), changed, before);
}

void ProjectSession::Restore(const ByteChange& change, bool after, const FrameLines& lines,
                             const FrameSelection& selection)
{
    if (!change.Empty()) {
        WriteBytesAt(m_workingCopyPath, change.Offset, after ? change.After : change.Before,
                     after ? change.SizeAfter : change.SizeBefore);
    }
    m_lines = lines;
    emit FramesReset();
    emit HeaderChanged();
    PlaceSelection(selection, true);
}

}  // namespace kinetar::ui
