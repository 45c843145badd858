#pragma once

#include <QList>
#include <QListView>
#include <QStringList>

#include "session/ProjectSession.h"
#include "ui/UiServices.h"

namespace kinetar::ui {

class FrameListModel;

// The frame list `Snimky`: line i shows the file name of frame record i of the working copy. Its
// commands change both through the session and the list follows the session's announcements.
class FrameList : public QListView {
    Q_OBJECT

public:
    FrameList(session::ProjectSession& session, UiServices services);

    void AddPictures();
    // Sounds chosen in the music dialog, put in front of the first selected line (of the first line
    // when none is), so that they play from there on.
    void AddMusic();
    // A title card from the title dialog, in front of the first selected line and its captions (at
    // the end when none is selected); the keyboard stays on the list.
    void AddTitle();
    // Appends a frame for each picture, and a sound record for each sound file, asking how to order
    // several by the numbers in their names.
    void AddPictureFiles(const QStringList& paths);
    void RemoveSelected();
    void MoveUp();
    void MoveDown();
    // The list's own keys; true when the key was used up.
    bool HandleListKey(int key, Qt::KeyboardModifiers modifiers);
    // Moves the selected lines as one block in front of line `destination`, as a drag does.
    void MoveSelectedTo(int destination);
    // The line a drop at `position` (in the viewport) puts the dragged lines in front of.
    int DropDestination(const QPoint& position) const;

    // The selected lines' indexes in list order.
    QList<int> SelectedRows() const;
    int count() const;
    // The line with the focus; -1: none.
    int currentRow() const;
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    // Swaps the one selected frame with its neighbour `step` lines away.
    void MoveFrame(int step);
    void ShowSelection(const session::FrameSelection& selection);
    void SelectionEdited();

    session::ProjectSession& m_session;
    UiServices m_services;
    FrameListModel* m_lines = nullptr;
};

}  // namespace kinetar::ui
