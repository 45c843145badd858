#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "project/CaptionedMoves.h"
#include "project/FrameEdits.h"
#include "project/Motion.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"
#include "session/RecordCache.h"
#include "session/RecordSplice.h"
#include "session/UndoHistory.h"

namespace kinetar::session {

// The selected lines in list order and the line that has the focus (-1: none).
struct FrameSelection {
    QList<int> Rows;
    int Current = -1;
    bool operator==(const FrameSelection&) const = default;
};

// What the list shows of the frames beyond their records: how many lines there are, and the text of
// each line whose record's picture was renamed after the line was made (a line shows the file name
// it was made with). Every other line shows its record's picture, read when it is shown.
struct FrameLines {
    int Count = 0;
    QMap<int, QString> KeptTexts;  // shared between the steps that do not change it
    bool operator==(const FrameLines&) const = default;
};

// What saving the details writes into the caption of each selected picture (or into a selected
// caption): its words, an empty text taking the caption away, and its looks (all of the caption but
// its words); nullopt keeps each caption's own.
struct CaptionEdit {
    std::optional<std::string> Text;
    std::optional<project::Caption> Style;
};

// What saving the details writes into each selected frame: the file's name, and the frame's
// settings as the core edits them; nullopt keeps each frame's own value.
struct DetailsEdit {
    std::optional<std::string> Name;
    project::FrameEdit Frame;
    std::optional<CaptionEdit> Caption;
};

// Bytes of the working copy that one edit changed, from `Offset` on, and its size before and after.
struct ByteChange {
    std::int64_t Offset = 0;
    std::vector<std::uint8_t> Before, After;
    std::int64_t SizeBefore = 0, SizeAfter = 0;
    bool Empty() const { return SizeBefore == SizeAfter && Before == After; }
};
// The smallest change that turns `before` into `after`.
ByteChange DifferenceOf(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after);

// The line a record shows: its file's name, with a note sign in front for a sound.
QString LineText(const QString& path, bool sound);
// The line of a caption or a title record (`kind`), from its words: what it says, on one line.
QString WordsLineText(std::uint8_t kind, const QString& words);

// What one step changed in the working copy: bytes overwritten in place (or appended), or records
// taken out and put in.
struct RecordsChange {
    std::vector<ByteChange> Pieces;
    std::optional<RecordSplice> Splice;
    bool Empty() const;
};

// The open project: its path, its working copy, whether it differs from the project file, the
// pending edits of the details panel. Every change to the working copy is made here, becomes one
// step of the undo history and is announced, so the windows follow it without knowing each other.
class ProjectSession : public QObject {
    Q_OBJECT

public:
    explicit ProjectSession(QObject* parent = nullptr);
    ~ProjectSession() override;

    bool IsOpen() const { return !m_projectPath.isEmpty(); }
    // Empty while no project is open.
    const QString& ProjectPath() const { return m_projectPath; }
    const std::string& WorkingCopyPath() const { return m_workingCopyPath; }
    // The working copy differs from the project file: the history is away from where it was saved.
    bool Modified() const { return !m_history.IsClean(); }
    // The lines, one per frame record of the working copy.
    int LineCount() const { return m_lines.Count; }
    // A line's text: the file-name part of its record's picture as it was when the line was made.
    QString LineTextAt(int row) const;
    // The file the line's record names now, and whether it is a sound.
    QString FileAt(int row) const { return FileOf(m_records.At(row).Picture); }
    bool SoundAt(int row) const { return m_records.At(row).Sound; }
    // The record's kind byte (project::kCaptionRecord, kTitleRecord...) and what the move rules see.
    std::uint8_t KindAt(int row) const { return m_records.At(row).Kind; }
    project::RecordRole RoleAt(int row) const;
    // How many records are held in memory for the lines: a few pages, whatever the file's size.
    std::size_t RecordsHeld() const { return m_records.Size(); }
    const FrameSelection& Selection() const { return m_selection; }
    UndoHistory& History() { return m_history; }

    // What the windows read of the project, all through here: the header (a blank one while no
    // project is open), the records of the given rows (ascending; rows past the end are left out)
    // and every record, for the video's length.
    project::ProjectHeader Header() const;
    std::vector<project::FrameRecord> Records(const QList<int>& rows) const;
    std::vector<project::FrameRecord> AllRecords() const;

    // A video is being generated: nothing may change the project or the selection meanwhile.
    bool Generating() const { return m_generating; }
    void SetGenerating(bool on);

    // Makes the path absolute and stores it as the project path; empty: no project.
    void SetProjectPath(const QString& path);
    // The project file's folder; empty while no project is open.
    std::string ProjectFolder() const;
    // The file a record's path names: a relative path is the project folder's, whichever folder the
    // program was started in.
    QString FileOf(const QString& recordPath) const;
    // Copies the project at the project path into a new working copy and reads its lines. Raises an
    // Error, and leaves no project open, when the copy cannot be made or the project is no regular
    // file. `recovered`: the working copy an earlier run left, copied instead and marked modified.
    void OpenWorkingCopy(const std::string& recovered = {});
    // Replaces the project file with the working copy; raises an Error when it cannot.
    void Save();
    // Deletes the working copy and forgets the project and its history.
    void Close();

    // The details panel holds edits not yet saved into the records.
    bool PendingChanges() const { return m_pending; }
    void SetPendingChanges(bool on);

    // The user changed the selection: stored and announced.
    void SetSelection(const FrameSelection& selection);
    // The focus moved without changing the selection.
    void SetCurrentLine(int row) { m_selection.Current = row; }

    // Edits of the working copy, each one step of the history. A failure raises an Error after the
    // step is recorded, so undo puts back whatever part was written.
    // Frames for these files after the last one, a sound record for each sound file; the last new
    // line becomes the selection.
    // Added pictures take the project's defaults for new pictures.
    void AddFrames(const std::vector<std::string>& picturePaths);
    // The same in front of line `row` (after the last: at the end); the new lines become the
    // selection.
    void InsertFrames(int row, const std::vector<std::string>& paths);
    // Writes these records over those of the lines (ascending, one record each), as one step.
    void ReplaceRecords(const QList<int>& rows, const std::vector<project::FrameRecord>& records);
    // Leaves out the records of these lines; nothing is selected afterwards.
    void RemoveFrames(const QList<int>& rows);
    // Moves the lines (sorted) as one block in front of line `destination`; they stay selected and
    // the line with the focus keeps it. A frame takes its captions along, and the block never lands
    // between a caption and its frame. False, and nothing recorded, when the order stays the same.
    bool MoveFrames(const QList<int>& rows, int destination);
    // Moves one line (a frame with its captions) past the neighbouring frame: step -1 up, +1 down.
    bool MoveFrameStep(int row, int step);
    // Puts these records in front of line `row` (after the last: at the end) as one step; they
    // become the selection.
    void InsertRecords(int row, const std::vector<project::FrameRecord>& records);
    // The caption each selected line's caption edit reaches: a picture's first caption (nullopt:
    // it has none yet), or a selected caption itself. Titles and sounds take none and are left out.
    std::vector<std::optional<project::Caption>> CaptionsOfSelection(const QList<int>& rows) const;
    // Writes the edit into the record of each line.
    void SaveDetails(const QList<int>& rows, const DetailsEdit& edit);
    // One header write; inside a settings edit, part of its step.
    bool WriteHeader(const project::ProjectHeader& header);
    // Everything the settings window writes between these two is one step; `changed` records a step
    // also when nothing was written.
    void BeginSettingsEdit();
    void EndSettingsEdit(bool changed);

    // The lines and the selection on one side of a step.
    struct Snapshot {
        FrameLines Lines;
        FrameSelection Selection;
        bool operator==(const Snapshot&) const = default;
    };
    // Puts back the working copy, the lines and the selection of one side of a step.
    void Restore(const RecordsChange& change, bool after, const Snapshot& side);

signals:
    void ProjectPathChanged();
    void ProjectOpened();
    void ProjectClosed();
    void FramesInserted(int first, int count);
    void FramesRemoved(const QList<int>& rows);
    // Lines first to last now show other frames.
    void FramesMoved(int first, int last);
    void FramesChanged(const QList<int>& rows);
    // Every line may differ: after an undo or a redo.
    void FramesReset();
    void HeaderChanged();
    void ModifiedChanged(bool modified);
    void PendingChangesChanged(bool on);
    void GeneratingChanged(bool on);
    // The program placed the selection; the list shows it.
    void SelectionPlaced(const FrameSelection& selection);
    // The selection changed (by the user, or by an edit that refreshes the details).
    void SelectionChanged();

private:
    // A stretch of the working copy an edit may write: offset and length (-1: to the end).
    using Region = std::pair<std::int64_t, std::int64_t>;
    struct SettingsBefore {
        Snapshot Side;
        FileRegion Header;
    };
    Snapshot Take() const { return {m_lines, m_selection}; }
    // Counts the lines of the working copy from its size; none while there is none.
    void Refill();
    // Applies a splice that keeps what trails the `count` whole records as it is.
    void ApplyKeepingTail(RecordSplice& splice, int count);
    // The move once its block and place are known; `selected` stay selected.
    bool MoveRecords(const project::RecordMove& move, const QList<int>& selected);
    // SaveDetails with a caption edit: records go and come, so it is one splice.
    void SaveDetailsWithCaptions(const QList<int>& rows, const DetailsEdit& edit);
    // The name and frame settings of an edit, written into one record of line `row`.
    void EditRecord(int row, project::FrameRecord& record, const DetailsEdit& edit);
    // Records for added files: a sound record for a sound, the project's defaults for a picture.
    std::vector<project::FrameRecord> NewRecords(const std::vector<std::string>& paths) const;
    // Runs an edit that writes only within the regions and records the step from their bytes before
    // and after it; rethrows its failure.
    template <typename Change>
    void Record(bool stepWhenUnchanged, const std::vector<Region>& regions, Change change);
    void Push(bool stepWhenUnchanged, RecordsChange change, const Snapshot& before);
    void PlaceSelection(const FrameSelection& selection, bool announce);

    QString m_projectPath;
    std::string m_workingCopyPath;
    FrameLines m_lines;
    FrameSelection m_selection;
    bool m_pending = false;
    bool m_generating = false;
    UndoHistory m_history;
    std::optional<SettingsBefore> m_settingsBefore;
    mutable RecordCache m_records;
};

}  // namespace kinetar::session
