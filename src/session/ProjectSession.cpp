#include "session/ProjectSession.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <system_error>

#include "avi/audio/SoundFile.h"
#include "common/Error.h"
#include "common/WriteAll.h"
#include "project/FrameEdits.h"
#include "project/PictureDefaults.h"
#include "project/RecordPaths.h"
#include "session/FileAccess.h"
#include "session/LineRows.h"
#include "session/PathText.h"

namespace kinetar::session {

QString ProjectSession::LineTextAt(int row) const
{
    const auto kept = m_lines.KeptTexts.constFind(row);
    if (kept != m_lines.KeptTexts.cend()) {
        return *kept;
    }
    const LineRecord& record = m_records.At(row);
    if (record.Kind == project::kCaptionRecord || record.Kind == project::kTitleRecord) {
        return WordsLineText(record.Kind, record.Picture);
    }
    return LineText(record.Picture, record.Sound);
}

QString LineText(const QString& path, bool sound)
{
    return sound ? QStringLiteral("\u266A ") + FileNamePart(path) : FileNamePart(path);
}

ProjectSession::ProjectSession(QObject* parent) : QObject(parent)
{
    connect(&m_history, &UndoHistory::CleanChanged, this, [this](bool clean) { emit ModifiedChanged(!clean); });
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
    // The process's current folder stays as it is: relative record paths are resolved against the
    // project's folder wherever a file is read (FileOf, RecordsWithAbsolutePaths).
    m_projectPath = path.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(path));
    emit ProjectPathChanged();
}

std::string ProjectSession::ProjectFolder() const
{
    return m_projectPath.isEmpty() ? std::string() : project::ProjectFolder(ToNativePath(m_projectPath));
}

QString ProjectSession::FileOf(const QString& recordPath) const
{
    return FromNativePath(project::ResolveRecordPath(ToNativePath(recordPath), ProjectFolder()));
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
    Refill();
    m_selection = {};
    m_history.Clear();
    if (!recovered.empty()) {
        // Unsaved changes of an earlier run: nothing in this history leads back to the saved file.
        m_history.ResetClean();
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
    m_history.SetClean();
}

void ProjectSession::Close()
{
    if (!m_workingCopyPath.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_workingCopyPath, ignored);
        m_workingCopyPath.clear();
    }
    Refill();
    m_selection = {};
    m_settingsBefore.reset();
    m_history.Clear();
    SetProjectPath({});
    emit FramesReset();
    emit SelectionChanged();
    emit ProjectClosed();
}

project::ProjectHeader ProjectSession::Header() const
{
    project::ProjectHeader header = project::BlankProjectHeader();
    if (!m_workingCopyPath.empty()) {
        (void)project::ReadProjectHeader(m_workingCopyPath, header);
    }
    return header;
}

std::vector<project::FrameRecord> ProjectSession::Records(const QList<int>& rows) const
{
    std::vector<project::FrameRecord> records;
    if (m_workingCopyPath.empty()) {
        return records;
    }
    records.reserve(static_cast<std::size_t>(rows.size()));
    ForEachFrameRecord(m_workingCopyPath, rows,
                       [&records](int, const project::FrameRecord& record) { records.push_back(record); });
    return records;
}

std::vector<project::FrameRecord> ProjectSession::AllRecords() const
{
    std::vector<project::FrameRecord> records;
    if (!m_workingCopyPath.empty()) {
        project::ReadProject(m_workingCopyPath, &records);
    }
    return records;
}

void ProjectSession::SetGenerating(bool on)
{
    if (m_generating == on) {
        return;
    }
    m_generating = on;
    emit GeneratingChanged(on);
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

void ProjectSession::Refill()
{
    m_records.Reset(m_workingCopyPath);
    // A copy too short for its header shows no frames, as an empty project would; the records are
    // read as their lines are shown.
    m_lines = {m_workingCopyPath.empty() ? 0 : std::max(project::ProjectFrameCount(m_workingCopyPath), 0), {}};
}

template <typename Change>
void ProjectSession::Record(bool stepWhenUnchanged, const std::vector<Region>& regions, Change change)
{
    const Snapshot before = Take();
    std::vector<FileRegion> regionsBefore;
    for (const auto& [offset, length] : regions) {
        regionsBefore.push_back(ReadRegion(m_workingCopyPath, offset, length));
    }
    const auto push = [&] {
        m_records.Forget();
        RecordsChange written;
        for (std::size_t i = 0; i < regions.size(); ++i) {
            const FileRegion after = ReadRegion(m_workingCopyPath, regions[i].first, regions[i].second);
            // Only the bytes that differ are kept, and the file's sizes on both sides.
            ByteChange piece = DifferenceOf(regionsBefore[i].Bytes, after.Bytes);
            piece.Offset += regions[i].first;
            piece.SizeBefore = regionsBefore[i].FileSize;
            piece.SizeAfter = after.FileSize;
            written.Pieces.push_back(std::move(piece));
        }
        Push(stepWhenUnchanged, std::move(written), before);
    };
    try {
        change();
    } catch (...) {
        push();
        throw;
    }
    push();
}

std::vector<project::FrameRecord> ProjectSession::NewRecords(const std::vector<std::string>& paths) const
{
    const project::FrameEdit defaults = project::WithDefaults({}, project::GetPictureDefaults(Header()));
    std::vector<project::FrameRecord> records;
    records.reserve(paths.size());
    for (const auto& path : paths) {
        records.push_back(avi::NewRecordFor(path));
        // A sound takes no time and fills no frame: the edit leaves it as it is.
        project::ApplyFrameEdit(records.back(), defaults);
    }
    return records;
}

void ProjectSession::ApplyKeepingTail(RecordSplice& splice, int count)
{
    splice.TailBefore = splice.TailAfter = ReadRegion(m_workingCopyPath, RecordsFrom(count), -1).Bytes;
    ApplySplice(m_workingCopyPath, count, splice);
}

void ProjectSession::InsertFrames(int row, const std::vector<std::string>& paths)
{
    if (paths.empty()) {
        return;
    }
    if (row >= m_lines.Count) {
        AddFrames(paths);
        return;
    }
    InsertRecords(row, NewRecords(paths));
}

void ProjectSession::InsertRecords(int row, const std::vector<project::FrameRecord>& records)
{
    const int count = m_lines.Count;
    row = std::clamp(row, 0, count);
    if (records.empty()) {
        return;
    }
    const Snapshot before = Take();
    RecordSplice splice;
    try {
        for (std::size_t i = 0; i < records.size(); ++i) {
            splice.Inserted.push_back({row + static_cast<int>(i), records[i]});
        }
        ApplyKeepingTail(splice, count);
    } catch (...) {
        Push(true, {}, before);
        throw;
    }
    m_records.Forget();
    const int added = static_cast<int>(records.size());
    m_lines = {count + added,
               MoveKeptTexts(m_lines.KeptTexts, [&](int line) { return line < row ? line : line + added; })};
    emit FramesInserted(row, added);
    FrameSelection selection;
    for (int line = row; line < row + added; ++line) {
        selection.Rows << line;
    }
    selection.Current = row + added - 1;
    PlaceSelection(selection, true);
    Push(true, {{}, std::move(splice)}, before);
}

void ProjectSession::ReplaceRecords(const QList<int>& rows, const std::vector<project::FrameRecord>& records)
{
    std::vector<Region> regions;
    for (const int row : rows) {
        regions.push_back({RecordsFrom(row), project::kFrameRecordSize});
    }
    Record(true, regions, [&] {
        const auto written = std::min(static_cast<std::size_t>(rows.size()), records.size());
        for (std::size_t i = 0; i < written; ++i) {
            if (!project::WriteFrameRecord(m_workingCopyPath, rows[static_cast<qsizetype>(i)], records[i])) {
                throw Error("Can't write project file " + m_workingCopyPath);
            }
        }
        m_records.Forget();
        emit FramesChanged(rows);
    });
}

void ProjectSession::AddFrames(const std::vector<std::string>& picturePaths)
{
    if (picturePaths.empty()) {
        return;
    }
    const int first = m_lines.Count;
    Record(false, {{RecordsFrom(first), -1}}, [&] {
        const std::vector<project::FrameRecord> records = NewRecords(picturePaths);
        // Lines only for records that are in the working copy, so line i stays record i.
        if (!project::WriteFrameRecords(m_workingCopyPath, first, records)) {
            throw Error("Can't write project file " + m_workingCopyPath);
        }
        m_records.Forget();
        m_lines.Count += static_cast<int>(records.size());
        emit FramesInserted(first, static_cast<int>(records.size()));
        const int last = m_lines.Count - 1;
        PlaceSelection({{last}, last}, true);
    });
}

void ProjectSession::SaveDetails(const QList<int>& rows, const DetailsEdit& edit)
{
    if (edit.Caption) {
        SaveDetailsWithCaptions(rows, edit);
        return;
    }
    // Each run of neighbouring rows is one region of the working copy.
    const std::vector<int> sorted = ValidRows(rows, std::numeric_limits<int>::max());
    std::vector<Region> regions;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t end = i + 1;
        while (end < sorted.size() && sorted[end] == sorted[end - 1] + 1) {
            ++end;
        }
        regions.push_back({RecordsFrom(sorted[i]), static_cast<std::int64_t>(end - i) * project::kFrameRecordSize});
        i = end;
    }
    Record(true, regions, [&] {
        for (const int row : rows) {
            project::FrameRecord record{};
            project::ReadFrameRecord(m_workingCopyPath, row, record);
            EditRecord(row, record, edit);
            project::WriteFrameRecord(m_workingCopyPath, row, record);
        }
        m_records.Forget();
        emit FramesChanged(rows);
    });
}

void ProjectSession::EditRecord(int row, project::FrameRecord& record, const DetailsEdit& edit)
{
    // A caption's or a title's text field holds its words, never a file's name.
    if (edit.Name && (project::IsSoundRecord(record) || project::IsPictureRecord(record))) {
        // The line keeps its text; its thumbnail shows the new picture.
        if (row >= 0 && row < m_lines.Count && !m_lines.KeptTexts.contains(row)) {
            const bool sound = project::IsSoundRecord(record);
            const QString text = LineText(FromNativePath(project::GetText(record.PictureFileName)), sound);
            if (text != LineText(FromNativePath(*edit.Name), sound)) {
                m_lines.KeptTexts.insert(row, text);
            }
        }
        project::SetText(record.PictureFileName, *edit.Name);
    }
    // A sound or a caption among the frames has no fit or time.
    project::ApplyFrameEdit(record, edit.Frame);
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
        Record(true, {{0, project::kHeaderSize}}, write);
    }
    return written;
}

}  // namespace kinetar::session
