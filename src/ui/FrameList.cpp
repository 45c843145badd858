#include "ui/FrameList.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <algorithm>

#include "common/Error.h"
#include "project/CaptionedMoves.h"
#include "project/PictureOrder.h"
#include "project/TextRecords.h"
#include "ui/CommandGuard.h"
#include "ui/FrameListModel.h"
#include "ui/Messages.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

namespace {

bool IsDigit(char letter)
{
    return letter >= '0' && letter <= '9';
}

bool AskToSortByNumber(const UiServices& services, QWidget* parent, const QString& where)
{
    return services.Ask(parent, {msg::kQuestionCaption, msg::kSortByNumber.arg(where), QMessageBox::Question,
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) == QMessageBox::Yes;
}

// Asked only when several pictures come at once, by the name of the first one.
project::SortMode AskSortMode(const UiServices& services, QWidget* parent, const std::string& firstPath)
{
    auto mode = project::SortMode::Name;
    const std::string name = project::FileNameWithoutExtension(firstPath);
    const std::string fileName = firstPath.substr(firstPath.rfind('/') + 1);
    if (!fileName.empty() && IsDigit(fileName.front()) && AskToSortByNumber(services, parent, msg::kNumberAtBegin)) {
        mode = project::SortMode::NumberAtStart;
    }
    if (!name.empty() && IsDigit(name.back()) && AskToSortByNumber(services, parent, msg::kNumberAtEnd)) {
        mode = project::SortMode::NumberAtEnd;
    }
    return mode;
}

}  // namespace

FrameList::FrameList(session::ProjectSession& session, UiServices services)
    : m_session(session), m_services(std::move(services))
{
    setObjectName(QStringLiteral("Snimky"));
    m_lines = new FrameListModel(m_session, this);
    setModel(m_lines);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The lines are of one height, so the list need not measure each one.
    setUniformItemSizes(true);
    // Lines are dragged within the list only; dropped files go on to the window.
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
    setMinimumWidth(120);
    // Names longer than the line lose their middle (see the delegate) instead of scrolling sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideMiddle);

    connect(&m_session, &session::ProjectSession::SelectionPlaced, this, &FrameList::ShowSelection);
}

int FrameList::count() const
{
    return m_lines->rowCount();
}

int FrameList::currentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void FrameList::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    selectionModel()->setCurrentIndex(m_lines->index(row), command);
}

void FrameList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    if (!signalsBlocked()) {
        Guarded(this, m_services, [this] { SelectionEdited(); })();
    }
}

void FrameList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (!signalsBlocked()) {
        m_session.SetCurrentLine(current.isValid() ? current.row() : -1);
    }
}

void FrameList::ShowSelection(const session::FrameSelection& selection)
{
    const QSignalBlocker quiet(this);
    // The focus line is also where the keyboard extends a selection from.
    setCurrentIndex(selection.Current >= 0 ? m_lines->index(selection.Current) : QModelIndex());
    // One range for each run of neighbouring lines.
    QItemSelection lines;
    for (qsizetype i = 0; i < selection.Rows.size();) {
        qsizetype end = i + 1;
        while (end < selection.Rows.size() && selection.Rows[end] == selection.Rows[end - 1] + 1) {
            ++end;
        }
        lines.select(m_lines->index(selection.Rows[i]), m_lines->index(selection.Rows[end - 1]));
        i = end;
    }
    selectionModel()->select(lines, QItemSelectionModel::ClearAndSelect);
}

void FrameList::SelectionEdited()
{
    m_session.SetSelection({SelectedRows(), currentRow()});
}

QList<int> FrameList::SelectedRows() const
{
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows << row;
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void FrameList::AddPictures()
{
    m_services.SharedDialog->PrepareFileDialog(kPicturesMode);
    if (m_services.RunSharedDialog(window())) {
        AddPictureFiles(m_services.SharedDialog->OpenDialog.Files);
    }
}

void FrameList::AddMusic()
{
    m_services.SharedDialog->PrepareFileDialog(kMusicMode);
    if (!m_services.RunSharedDialog(window())) {
        return;
    }
    std::vector<std::string> sounds;
    for (const QString& path : m_services.SharedDialog->OpenDialog.Files) {
        sounds.push_back(ToNativePath(path));
    }
    const QList<int>& selected = m_session.Selection().Rows;
    const int row = selected.isEmpty() ? 0 : *std::min_element(selected.begin(), selected.end());
    try {
        m_session.InsertFrames(row, project::SortPictures(sounds, project::SortMode::Name,
                                                          [](const std::string& left, const std::string& right) {
                                                              return CompareIgnoringCase(FromNativePath(left),
                                                                                         FromNativePath(right)) < 0;
                                                          }));
    } catch (const Error& error) {
        m_services.ReportError(window(), msg::kMusicNotAdded + FromCoreText(error.what()));
    }
}

void FrameList::AddTitle()
{
    const std::optional<TitleChoices> chosen = m_services.AskTitle(window(), m_services, {});
    setFocus(Qt::OtherFocusReason);
    if (!chosen) {
        return;
    }
    project::FrameRecord record;
    try {
        record = project::NewTitleRecord(chosen->Title);
    } catch (const Error& error) {
        m_services.ReportError(window(), FromCoreText(error.what()));
        return;
    }
    record.Duration = chosen->Duration;
    const QList<int>& selected = m_session.Selection().Rows;
    int row = selected.isEmpty() ? m_session.LineCount() : *std::min_element(selected.begin(), selected.end());
    // Before the picture's captions, which stay on it.
    if (row < m_session.LineCount() && m_session.RoleAt(row) == project::RecordRole::Frame) {
        const std::vector<std::int32_t> captions =
            project::CaptionsOf(row, [this](std::int32_t line) { return m_session.RoleAt(line); });
        row = captions.empty() ? row : captions.front();
    }
    m_session.InsertRecords(row, {record});
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
    const auto mode =
        paths.size() > 1 ? AskSortMode(m_services, window(), ToNativePath(paths.front())) : project::SortMode::Name;
    const auto sorted = project::SortPictures(accepted, mode, [](const std::string& left, const std::string& right) {
        return CompareIgnoringCase(FromNativePath(left), FromNativePath(right)) < 0;
    });
    bool added = false;
    if (!sorted.empty()) {
        try {
            m_session.AddFrames(sorted);
            added = true;
        } catch (const Error& error) {
            m_services.ReportError(window(), msg::kPicturesNotAdded + FromCoreText(error.what()));
        }
    }
    if (!refused.isEmpty()) {
        m_services.ReportError(window(),
                               msg::kPathsTooLong.arg(project::kMaxTextLength) + refused.join(QStringLiteral("\r\n")));
    }
    if (!added) {
        m_session.SetSelection(m_session.Selection());
    }
}

void FrameList::RemoveSelected()
{
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) {
        return;
    }
    if (m_services.Ask(window(), {msg::kConfirmCaption, msg::kRemoveQuestion + msg::RemoveCount(rows.size()),
                                  QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) !=
        QMessageBox::Yes) {
        return;
    }
    try {
        m_session.RemoveFrames(rows);
    } catch (const Error&) {
        m_services.Ask(window(), {msg::kApplicationTitle, msg::kRemoveFailed, QMessageBox::NoIcon, QMessageBox::Ok});
        m_session.SetSelection(m_session.Selection());
    }
}

void FrameList::MoveFrame(int step)
{
    const QItemSelection selected = selectionModel()->selection();
    if (selected.size() != 1 || selected.front().height() != 1) {
        return;
    }
    // A captioned picture steps past the whole neighbouring frame, its captions going along.
    m_session.MoveFrameStep(currentRow(), step);
}

void FrameList::MoveSelectedTo(int destination)
{
    m_session.MoveFrames(SelectedRows(), destination);
}

void FrameList::MoveUp()
{
    MoveFrame(-1);
}

void FrameList::MoveDown()
{
    MoveFrame(+1);
}

bool FrameList::HandleListKey(int key, Qt::KeyboardModifiers modifiers)
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
        // The list is off while the details hold edits or a video is made, so only an open project
        // is left to ask about.
        if (m_session.IsOpen() && !m_session.PendingChanges() && !m_session.Generating()) {
            AddPictures();
        }
        return true;
    case Qt::Key_Delete:
        if (!m_session.Selection().Rows.isEmpty() && !m_session.PendingChanges() && !m_session.Generating()) {
            RemoveSelected();
        }
        return true;
    default:
        return false;
    }
}

void FrameList::keyPressEvent(QKeyEvent* event)
{
    bool used = false;
    Guarded(window(), m_services, [&] { used = HandleListKey(event->key(), event->modifiers()); })();
    if (!used) {
        QListView::keyPressEvent(event);
    }
}

int FrameList::DropDestination(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid()) {
        return count();
    }
    return position.y() < visualRect(index).center().y() ? index.row() : index.row() + 1;
}

void FrameList::dragEnterEvent(QDragEnterEvent* event)
{
    // Anything but the list's own lines (files from outside) is the window's to take.
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QListView::dragEnterEvent(event);
}

void FrameList::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QListView::dragMoveEvent(event);
}

void FrameList::dropEvent(QDropEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    // The records move through the session; the drag itself must not take the lines away.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const int destination = DropDestination(event->position().toPoint());
    Guarded(window(), m_services, [this, destination] { MoveSelectedTo(destination); })();
}

}  // namespace kinetar::ui
