#include <algorithm>
#include <map>

#include "common/Error.h"
#include "project/CaptionedMoves.h"
#include "project/TextRecords.h"
#include "session/LineRows.h"
#include "session/ProjectSession.h"

// The details' caption edits: a picture's caption is a record of its own in front of it, so giving a
// picture words puts a record in, and clearing them takes it out.

namespace kinetar::session {

namespace {

// Whom one caption edit reaches: a picture with the captions in front of it, or a caption line.
struct CaptionTarget {
    int Picture = -1;
    std::vector<int> Captions;  // the picture's; the first is the one the details show and edit
    int Own = -1;               // a selected caption line that no selected picture holds
};

// The replacement of one record of the edit and where the record itself ends (-1: it is gone).
struct Replacement {
    std::vector<project::FrameRecord> Records;
    int Kept = -1;  // which of Records the old record became
};

// The caption after the edit: nullopt when its words are cleared. Raises an Error for words too
// long to store, before anything is written.
std::optional<project::FrameRecord> EditedCaption(const std::optional<project::Caption>& before,
                                                  const CaptionEdit& edit)
{
    project::Caption caption = edit.Style.value_or(before.value_or(project::Caption{}));
    caption.Text = edit.Text.value_or(before ? before->Text : std::string());
    if (caption.Text.empty()) {
        return std::nullopt;
    }
    return project::NewCaptionRecord(caption);
}

// Whom the caption edit of these lines reaches, each once: a selected caption line that a selected
// picture holds is reached through the picture.
std::vector<CaptionTarget> CaptionTargets(const ProjectSession& session, const QList<int>& rows)
{
    const std::vector<int> valid = ValidRows(rows, session.LineCount());
    const auto roleAt = [&session](int row) { return session.RoleAt(row); };
    std::vector<CaptionTarget> targets;
    std::vector<int> held;
    for (const int row : valid) {
        if (session.KindAt(row) == project::kCaptionRecord || session.KindAt(row) == project::kTitleRecord ||
            session.SoundAt(row)) {
            continue;
        }
        targets.push_back({row, project::CaptionsOf(row, roleAt), -1});
        held.insert(held.end(), targets.back().Captions.begin(), targets.back().Captions.end());
    }
    std::sort(held.begin(), held.end());
    for (const int row : valid) {
        if (session.KindAt(row) == project::kCaptionRecord && !std::binary_search(held.begin(), held.end(), row)) {
            targets.push_back({-1, {}, row});
        }
    }
    return targets;
}

}  // namespace

QString WordsLineText(std::uint8_t kind, const QString& words)
{
    // One line: a caption's line breaks and a title's second line become spaced slashes.
    QString line = words;
    line.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    return kind == project::kTitleRecord ? QStringLiteral("Title: ") + line
                                         : QStringLiteral("Caption: \u201C") + line + QStringLiteral("\u201D");
}

project::RecordRole ProjectSession::RoleAt(int row) const
{
    const LineRecord& record = m_records.At(row);
    if (record.Kind == project::kCaptionRecord) {
        return project::RecordRole::Caption;
    }
    return record.Sound ? project::RecordRole::Sound : project::RecordRole::Frame;
}

std::vector<std::optional<project::Caption>> ProjectSession::CaptionsOfSelection(const QList<int>& rows) const
{
    std::vector<std::optional<project::Caption>> captions;
    for (const CaptionTarget& target : CaptionTargets(*this, rows)) {
        const int shown = target.Own >= 0 ? target.Own : target.Captions.empty() ? -1 : target.Captions.front();
        const std::vector<project::FrameRecord> records =
            shown < 0 ? std::vector<project::FrameRecord>{} : Records({shown});
        captions.push_back(records.empty() ? std::nullopt : std::optional(project::GetCaption(records.front())));
    }
    return captions;
}

void ProjectSession::SaveDetailsWithCaptions(const QList<int>& rows, const DetailsEdit& edit)
{
    const int count = m_lines.Count;
    const std::vector<int> selected = ValidRows(rows, count);
    const std::vector<CaptionTarget> targets = CaptionTargets(*this, rows);
    // Every record the edit may take out or put back, with its record.
    std::map<int, project::FrameRecord> old;
    std::vector<int> reached(selected);
    for (const CaptionTarget& target : targets) {
        reached.insert(reached.end(), target.Captions.begin(), target.Captions.end());
    }
    ForEachFrameRecord(m_workingCopyPath, QList<int>(reached.begin(), reached.end()),
                       [&old](int row, const project::FrameRecord& record) { old[row] = record; });
    if (old.size() != ValidRows(QList<int>(reached.begin(), reached.end()), count).size()) {
        throw Error("Can't read project file " + m_workingCopyPath);
    }
    // What each record becomes; the captions first, so words too long are refused untouched.
    std::map<int, Replacement> replacements;
    for (const auto& [row, record] : old) {
        replacements[row] = {{record}, 0};
    }
    for (const CaptionTarget& target : targets) {
        const int first = target.Own >= 0 ? target.Own : target.Captions.empty() ? -1 : target.Captions.front();
        const std::optional<project::FrameRecord> caption =
            EditedCaption(first < 0 ? std::nullopt : std::optional(project::GetCaption(old.at(first))), *edit.Caption);
        if (first < 0) {
            if (caption) {
                replacements[target.Picture] = {{*caption, old.at(target.Picture)}, 1};
            }
            continue;
        }
        replacements[first] = caption ? Replacement{{*caption}, 0} : Replacement{};
        // Cleared words leave the picture without a caption, so its other captions go too.
        for (std::size_t i = 1; !caption && i < target.Captions.size(); ++i) {
            replacements[target.Captions[i]] = {};
        }
    }
    const Snapshot before = Take();
    RecordSplice splice;
    // Where each old record ends: those between the reached ones shift by what came and went before.
    std::map<int, int> newRows;
    std::vector<std::pair<int, int>> shiftAfter;  // (old row, records added minus taken up to it)
    try {
        int shift = 0;
        for (auto& [row, replacement] : replacements) {
            if (replacement.Kept >= 0 && std::binary_search(selected.begin(), selected.end(), row)) {
                EditRecord(row, replacement.Records[static_cast<std::size_t>(replacement.Kept)], edit);
            }
            const int base = row + shift;
            splice.Removed.push_back({row, old.at(row)});
            for (std::size_t i = 0; i < replacement.Records.size(); ++i) {
                splice.Inserted.push_back({base + static_cast<int>(i), replacement.Records[i]});
            }
            newRows[row] = replacement.Kept < 0 ? -1 : base + replacement.Kept;
            shift += static_cast<int>(replacement.Records.size()) - 1;
            shiftAfter.push_back({row, shift});
        }
        ApplyKeepingTail(splice, count);
    } catch (...) {
        Push(true, {}, before);
        throw;
    }
    m_records.Forget();
    const auto rowAfter = [&](int row) {
        if (const auto found = newRows.find(row); found != newRows.end()) {
            return found->second;
        }
        const auto past = std::lower_bound(shiftAfter.begin(), shiftAfter.end(), std::pair{row, 0});
        return row + (past == shiftAfter.begin() ? 0 : std::prev(past)->second);
    };
    const int added = shiftAfter.empty() ? 0 : shiftAfter.back().second;
    m_lines = {count + added, MoveKeptTexts(m_lines.KeptTexts, rowAfter)};
    emit FramesReset();
    FrameSelection selection;
    for (const int row : selected) {
        if (const int now = rowAfter(row); now >= 0) {
            selection.Rows << now;
        }
    }
    const int current = m_selection.Current;
    selection.Current = current >= 0 && current < count ? rowAfter(current) : -1;
    PlaceSelection(selection, true);
    Push(true, {{}, std::move(splice)}, before);
}

}  // namespace kinetar::session
