#include "ui/FrameList.h"

#include <QAction>
#include <QCollator>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <algorithm>

#include "common/Error.h"
#include "project/PictureOrder.h"
#include "ui/CommandGuard.h"
#include "ui/FrameDetails.h"
#include "ui/MainWindow.h"
#include "ui/Prompter.h"
#include "ui/QtConvert.h"
#include "ui/SdilenePrvky.h"

namespace kinetar::ui {

namespace {

bool IsDigit(char letter)
{
    return letter >= '0' && letter <= '9';
}

bool AskToSortByNumber(QWidget* parent, const QString& where)
{
    return Ask(parent, {QStringLiteral("Question"),
                        QStringLiteral("Detected number at the ") + where +
                            QStringLiteral(" of filename\r\nShall added files be sorted by this number?"),
                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) ==
           QMessageBox::Yes;
}

// Asked only when several pictures come at once, by the name of the first one.
project::SortMode AskSortMode(QWidget* parent, const std::string& firstPath)
{
    auto mode = project::SortMode::Name;
    const std::string name = project::FileNameWithoutExtension(firstPath);
    const std::string fileName = firstPath.substr(firstPath.rfind('/') + 1);
    if (!fileName.empty() && IsDigit(fileName.front()) && AskToSortByNumber(parent, QStringLiteral("begin"))) {
        mode = project::SortMode::NumberAtStart;
    }
    if (!name.empty() && IsDigit(name.back()) && AskToSortByNumber(parent, QStringLiteral("end"))) {
        mode = project::SortMode::NumberAtEnd;
    }
    return mode;
}

}  // namespace

int CompareIgnoringCase(const QString& left, const QString& right)
{
    static const QCollator collator = [] {
        QCollator made;
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator.compare(left, right);
}

FrameList::FrameList(MainWindow& window, FrameCommands commands) : m_window(window), m_commands(commands)
{
    setObjectName(QStringLiteral("Snimky"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The lines are plain text of one height, so the list need not measure each one.
    setUniformItemSizes(true);
}

void FrameList::Fill(const std::vector<project::FrameRecord>& records)
{
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(records.size()));
    for (const auto& record : records) {
        lines << FileNamePart(FromNativePath(project::GetText(record.PictureFileName)));
    }
    const QSignalBlocker quiet(this);
    clear();
    addItems(lines);
    // No current line yet, so the first Down arrow selects the first frame.
    setCurrentIndex({});
}

QList<int> FrameList::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FrameList::UpdateFrameCommands()
{
    const qsizetype selected = selectionModel()->selectedIndexes().size();
    m_commands.MoveUp->setEnabled(selected == 1);
    m_commands.MoveDown->setEnabled(selected == 1);
    m_commands.Remove->setEnabled(selected >= 1);
}

void FrameList::SnimkyClick()
{
    UpdateFrameCommands();
    m_window.Details().ShowSelectedFrames();
    m_window.Details().RefreshPreview();
}

void FrameList::menu_Snimek_PridatClick()
{
    SdilenePrvky& dialogs = *SdilenePrvky::Instance();
    dialogs.PrepareFileDialog(kPicturesMode);
    if (dialogs.Execute(&m_window)) {
        AddPictureFiles(dialogs.OpenDialog.Files);
    }
}

void FrameList::AddPictureFiles(const QStringList& paths)
{
    // A path the record cannot hold is left out and named; the others still go in.
    std::vector<std::string> accepted;
    QStringList refused;
    for (const QString& path : paths) {
        std::string native = ToNativePath(path);
        if (native.size() > project::kMaxTextLength) {
            refused << path;
        } else {
            accepted.push_back(std::move(native));
        }
    }
    const auto mode = paths.size() > 1 ? AskSortMode(&m_window, ToNativePath(paths.front())) : project::SortMode::Name;
    const auto sorted = project::SortPictures(accepted, mode, [](const std::string& left, const std::string& right) {
        return CompareIgnoringCase(FromNativePath(left), FromNativePath(right)) < 0;
    });

    if (!sorted.empty()) {
        const std::string& workingCopy = m_window.WorkingCopyPath();
        QStringList lines;
        lines.reserve(static_cast<qsizetype>(sorted.size()));
        std::vector<project::FrameRecord> records;
        records.reserve(sorted.size());
        for (const auto& path : sorted) {
            lines << FileNamePart(FromNativePath(path));
            records.push_back(project::NewFrameRecord(path));
        }
        // Lines only for records that are in the working copy, so line i stays record i.
        if (project::WriteFrameRecords(workingCopy, count(), records)) {
            const QSignalBlocker quiet(this);
            addItems(lines);
            m_window.SetProjectModified(true);
            setCurrentRow(count() - 1, QItemSelectionModel::ClearAndSelect);
        } else {
            m_window.ReportError(QStringLiteral("The pictures were not added.\r\nCan't write project file ") +
                                 FromNativePath(workingCopy));
        }
    }
    if (!refused.isEmpty()) {
        m_window.ReportError(QStringLiteral("These pictures were not added: their paths are longer than %1 bytes, "
                                            "more than a frame can hold.\r\n")
                                 .arg(project::kMaxTextLength) +
                             refused.join(QStringLiteral("\r\n")));
    }
    SnimkyClick();
}

void FrameList::menu_Snimek_OdebratClick()
{
    if (Ask(&m_window,
            {QStringLiteral("Confirm"), QStringLiteral("Do you really want to remove selected items from project?"),
             QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) != QMessageBox::Yes) {
        return;
    }
    const std::string& workingCopy = m_window.WorkingCopyPath();
    const QList<int> selected = SelectedRows();
    bool removed = false;
    try {
        std::vector<project::FrameRecord> records;
        const project::ProjectHeader header = project::ReadProject(workingCopy, &records);
        std::vector<project::FrameRecord> kept;
        kept.reserve(records.size());
        auto next = selected.begin();
        for (int line = 0; line < count(); ++line) {
            if (next != selected.end() && *next == line) {
                ++next;
            } else if (static_cast<std::size_t>(line) < records.size()) {
                kept.push_back(records[static_cast<std::size_t>(line)]);
            }
        }
        // Written beside the working copy and renamed over it: a failure leaves it whole.
        project::ReplaceProjectFile(workingCopy, header, kept);
        removed = true;
    } catch (const Error&) {
        Ask(&m_window,
            {kApplicationTitle, QStringLiteral("There is some error, when removing items.\r\nOperation was storned."),
             QMessageBox::NoIcon, QMessageBox::Ok});
    }
    if (removed) {
        // The lines left, made again in one go: taking thousands out one by one costs seconds.
        QStringList left;
        left.reserve(count() - selected.size());
        auto next = selected.begin();
        for (int line = 0; line < count(); ++line) {
            if (next != selected.end() && *next == line) {
                ++next;
            } else {
                left << item(line)->text();
            }
        }
        const QSignalBlocker quiet(this);
        clear();
        addItems(left);
        setCurrentIndex({});
    }
    m_window.SetProjectModified(true);
    SnimkyClick();
}

void FrameList::MoveFrame(int step)
{
    if (selectionModel()->selectedIndexes().size() != 1) {
        return;
    }
    const int from = currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= count()) {
        return;
    }
    const std::string& workingCopy = m_window.WorkingCopyPath();
    project::FrameRecord moving{};
    project::FrameRecord other{};
    project::ReadFrameRecord(workingCopy, from, moving);
    project::ReadFrameRecord(workingCopy, to, other);
    project::WriteFrameRecord(workingCopy, to, moving);
    project::WriteFrameRecord(workingCopy, from, other);
    {
        // The details keep showing the same frame, so they are not filled again.
        const QSignalBlocker quiet(this);
        insertItem(to, takeItem(from));
        setCurrentRow(to, QItemSelectionModel::ClearAndSelect);
    }
    m_window.SetProjectModified(true);
}

void FrameList::tl_PosunNahoruClick()
{
    MoveFrame(-1);
}

void FrameList::tl_PosunDoluClick()
{
    MoveFrame(+1);
}

bool FrameList::SnimkyKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!modifiers.testFlag(Qt::AltModifier)) {
            return false;
        }
        MoveFrame(key == Qt::Key_Up ? -1 : +1);
        return true;
    case Qt::Key_Insert:
        if (m_commands.ItemsMenu->isEnabled()) {
            m_commands.Add->trigger();
        }
        return true;
    case Qt::Key_Delete:
        if (m_commands.Remove->isEnabled()) {
            m_commands.Remove->trigger();
        }
        return true;
    default:
        return false;
    }
}

void FrameList::keyPressEvent(QKeyEvent* event)
{
    bool used = false;
    Guarded(&m_window, [&] { used = SnimkyKeyDown(event->key(), event->modifiers()); })();
    if (!used) {
        QListWidget::keyPressEvent(event);
    }
}

}  // namespace kinetar::ui
