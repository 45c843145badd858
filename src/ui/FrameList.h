#pragma once

#include <QList>
#include <QListWidget>
#include <QStringList>
#include <vector>

#include "project/ProjectFile.h"

class QAction;

namespace kinetar::ui {

class MainWindow;

// The main window's commands that follow the list's selection or add to it.
struct FrameCommands {
    QAction* MoveUp = nullptr;
    QAction* MoveDown = nullptr;
    QAction* Add = nullptr;
    QAction* Remove = nullptr;
    QAction* ItemsMenu = nullptr;  // the "&Items" menu's own action
};

// The frame list `Snimky`: line i shows the file name of frame record i of the working copy, and
// every command changes the two together.
class FrameList : public QListWidget {
    Q_OBJECT

public:
    FrameList(MainWindow& window, FrameCommands commands);

    // One line per record, repainted once.
    void Fill(const std::vector<project::FrameRecord>& records);

    void menu_Snimek_PridatClick();
    // Appends a frame for each picture, asking how to order several by the numbers in their names.
    void AddPictureFiles(const QStringList& paths);
    void menu_Snimek_OdebratClick();
    void tl_PosunNahoruClick();
    void tl_PosunDoluClick();
    // The list's own keys; true when the key was used up.
    bool SnimkyKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // After every change of the selection: the commands, then the details and the preview.
    void SnimkyClick();
    void UpdateFrameCommands();

    // The selected lines' indexes in list order.
    QList<int> SelectedRows() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Swaps the one selected frame with its neighbour `step` lines away.
    void MoveFrame(int step);

    MainWindow& m_window;
    FrameCommands m_commands;
};

// The comparison of names that the user reads: the locale's collation, letter case ignored.
int CompareIgnoringCase(const QString& left, const QString& right);

}  // namespace kinetar::ui
