#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "ui/CommandGuard.h"
#include "ui/FrameDetails.h"
#include "ui/FrameList.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPlayer.h"

// The main window's commands: each declared once, with its menu and toolbar place, and the one
// rule that decides which of them can be used.

namespace kinetar::ui {

namespace {

enum class Place { None, Project, Items, Edit, View, Tools, ToolsExtension, Help };

// One command of the window: everything about it in one place.
struct ActionEntry {
    QAction* MainWindow::*Member;
    const char* Name;
    const char* Text;
    const char* Icon;  // "": none
    const char* Hint;  // "": the text without its "&"
    QKeySequence::StandardKey Key;
    Place Menu;
    bool SeparatorBefore;    // in its menu
    const char* ToolButton;  // nullptr: not on the toolbar
    bool DividerBefore;      // on the toolbar
    std::function<void()> Handler;
    bool Checkable = false;
    const char* OtherKey = nullptr;  // a key no standard one names
};

}  // namespace

void MainWindow::CreateActions()
{
    const auto none = QKeySequence::UnknownKey;
    const ActionEntry entries[] = {
        {&MainWindow::m_newAction, "menu_Novy", "&New...", "project-new", "Create new project", QKeySequence::New,
         Place::Project, false, "tl_Projekt_Novy", false, [this] { OnNewTriggered(); }},
        {&MainWindow::m_newSlideshowAction, "newSlideshowAction", "New sli&deshow...", "", "", none, Place::Project,
         false, nullptr, false, [this] { OnNewSlideshowTriggered(); }, false, "Ctrl+Shift+N"},
        {&MainWindow::m_openAction, "menu_Otevrit", "&Open...", "project-open", "Open existing project",
         QKeySequence::Open, Place::Project, false, "tl_Project_Open", false, [this] { OnOpenTriggered(); }},
        {&MainWindow::m_saveAction, "menu_Ulozit", "&Save", "project-save", "Save project", QKeySequence::Save,
         Place::Project, false, "tl_Project_Save", false, [this] { OnSaveTriggered(); }},
        {&MainWindow::m_saveAsAction, "menu_UlozitJako", "Save &as...", "project-save-as", "Save project as..",
         QKeySequence::SaveAs, Place::Project, false, "tl_Project_SaveAs", false, [this] { OnSaveAsTriggered(); }},
        {&MainWindow::m_closeAction, "menu_Zavrit", "&Close", "project-close", "Close current project",
         QKeySequence::Close, Place::Project, false, "tl_Project_Close", false, [this] { OnCloseTriggered(); }},
        {&MainWindow::m_fitToMusicAction, "fitToMusicAction", "&Fit pictures to music", "", "", none, Place::Project,
         true, nullptr, false, [this] { OnFitToMusicTriggered(); }},
        {&MainWindow::m_exitAction, "menu_Konec", "&Exit", "", "", QKeySequence::Quit, Place::Project, true, nullptr,
         false, [this] { OnExitTriggered(); }},
        // Alt+Up and Alt+Down, Insert and Delete are the list's own keys.
        {&MainWindow::m_moveUpAction, "tl_PosunNahoru", "Move up", "frame-move-up", "Move up(ALT+ UP arrow)", none,
         Place::None, false, "tl_PosunNahoru", true, [this] { m_frameList->MoveUp(); }},
        {&MainWindow::m_moveDownAction, "tl_PosunDolu", "Move down", "frame-move-down", "Move down(ALT+ DOWN arrow)",
         none, Place::None, false, "tl_PosunDolu", false, [this] { m_frameList->MoveDown(); }},
        {&MainWindow::m_addPicturesAction, "menu_Snimek_Pridat", "&Add pictures...", "frames-add", "Add pictures...",
         none, Place::Items, false, "tl_Polozka_Add", false, [this] { m_frameList->AddPictures(); }},
        {&MainWindow::m_addMusicAction, "addMusicAction", "Add &music...", "", "", none, Place::Items, false, nullptr,
         false, [this] { m_frameList->AddMusic(); }},
        {&MainWindow::m_addTitleAction, "addTitleAction", "Add &title...", "", "", none, Place::Items, false, nullptr,
         false, [this] { m_frameList->AddTitle(); }},
        {&MainWindow::m_removeAction, "menu_Snimek_Odebrat", "&Remove items...", "frames-remove",
         "Remove selected items", none, Place::Items, false, "tl_Polozka_Remove", false,
         [this] { m_frameList->RemoveSelected(); }},
        {&MainWindow::m_undoAction, "menu_Zpet", "&Undo", "edit-undo", "Undo the last change", QKeySequence::Undo,
         Place::Edit, false, "tl_Zpet", true, [this] { m_session.History().Undo(); }},
        {&MainWindow::m_redoAction, "menu_Znovu", "&Redo", "edit-redo", "Redo the change undone last",
         QKeySequence::Redo, Place::Edit, false, "tl_Znovu", false, [this] { m_session.History().Redo(); }},
        {&MainWindow::m_thumbnailsAction, "menu_Nahledy", "&Thumbnails", "",
         "Show a small picture before each frame's name", none, Place::View, false, nullptr, false,
         [this] { ShowThumbnails(m_thumbnailsAction->isChecked()); }, true},
        // Space is the player's on the list and the preview only, so typing a space anywhere else works.
        {&MainWindow::m_playAction, "menu_Play", "&Play / Pause", "",
         "Play the show in the preview, or pause it (Space)", none, Place::View, true, nullptr, false,
         [this] { m_details->Player().TogglePlay(); }},
        {&MainWindow::m_largePreviewAction, "menu_LargePreview", "Large preview", "", "", none, Place::View, false,
         nullptr, false, [this] { m_details->Player().ShowLarge(); }},
        {&MainWindow::m_generateAction, "menu_GenerovatAVI", "&Generate AVI file...", "generate-avi", "Generate AVI...",
         none, Place::Tools, false, "tl_Nastroje_GenerateAVI", true, [this] { OnGenerateTriggered(); }},
        {&MainWindow::m_registerAction, "menu_tools_ext_reg", "&Register", "", "", none, Place::ToolsExtension, false,
         nullptr, false, [this] { SetFileTypeRegistered(true); }},
        {&MainWindow::m_unregisterAction, "menu_tools_ext_unreg", "&Unregister", "", "", none, Place::ToolsExtension,
         false, nullptr, false, [this] { SetFileTypeRegistered(false); }},
        {&MainWindow::m_webSiteAction, "menu_WWWPage", "&WWW site...", "", "", none, Place::Help, false, nullptr, false,
         [this] { OnWebSiteTriggered(); }},
        {&MainWindow::m_aboutAction, "menu_OProgramu", "&About...", "", "", none, Place::Help, false, nullptr, false,
         [this] { OnAboutTriggered(); }},
    };

    m_projectMenu = menuBar()->addMenu(QStringLiteral("&Project"));
    m_itemsMenu = menuBar()->addMenu(QStringLiteral("&Items"));
    m_editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_toolsMenu = menuBar()->addMenu(QStringLiteral("&Tools"));
    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    m_projectMenu->setObjectName(QStringLiteral("menu_m_projekt"));
    m_itemsMenu->setObjectName(QStringLiteral("menu_m_polozka"));
    m_editMenu->setObjectName(QStringLiteral("menu_m_upravy"));
    m_viewMenu->setObjectName(QStringLiteral("menu_m_zobrazeni"));
    m_toolsMenu->setObjectName(QStringLiteral("menu_m_nastroje"));
    m_helpMenu->setObjectName(QStringLiteral("menu_m_napoveda"));
    const auto menuOf = [this](Place place) -> QMenu* {
        switch (place) {
        case Place::Project:
            return m_projectMenu;
        case Place::Items:
            return m_itemsMenu;
        case Place::Edit:
            return m_editMenu;
        case Place::View:
            return m_viewMenu;
        case Place::Tools:
            return m_toolsMenu;
        case Place::ToolsExtension:
            if (m_fileTypeMenu == nullptr) {
                m_fileTypeMenu = m_toolsMenu->addMenu(QStringLiteral("&Project extension"));
                m_fileTypeMenu->setObjectName(QStringLiteral("menu_tools_ext"));
            }
            return m_fileTypeMenu;
        case Place::Help:
            return m_helpMenu;
        case Place::None:
            break;
        }
        return nullptr;
    };

    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->toggleViewAction()->setEnabled(false);

    for (const ActionEntry& entry : entries) {
        const QString text = QString::fromUtf8(entry.Text);
        auto* action = new QAction(text, this);
        this->*entry.Member = action;
        action->setObjectName(QString::fromLatin1(entry.Name));
        if (*entry.Icon != '\0') {
            action->setIcon(
                QIcon(QStringLiteral(":/kinetar/icons/") + QString::fromLatin1(entry.Icon) + QStringLiteral(".svg")));
        }
        action->setToolTip(*entry.Hint != '\0' ? QString::fromUtf8(entry.Hint) : QString(text).remove(u'&'));
        if (entry.Key != QKeySequence::UnknownKey) {
            action->setShortcuts(entry.Key);
        }
        if (entry.OtherKey != nullptr) {
            action->setShortcut(QKeySequence(QString::fromLatin1(entry.OtherKey)));
        }
        action->setCheckable(entry.Checkable);
        connect(action, &QAction::triggered, this, Guarded(this, m_services, entry.Handler));
        if (QMenu* menu = menuOf(entry.Menu)) {
            if (entry.SeparatorBefore) {
                menu->addSeparator();
            }
            menu->addAction(action);
        }
        if (entry.ToolButton != nullptr) {
            if (entry.DividerBefore) {
                m_toolBar->addSeparator();
            }
            m_toolBar->addAction(action);
            m_toolBar->widgetForAction(action)->setObjectName(QString::fromLatin1(entry.ToolButton));
        }
    }
    m_largePreviewAction->setShortcut(QKeySequence(Qt::Key_F11));  // no standard key means it
}

void MainWindow::ShowModified(bool modified)
{
    if (windowTitle().contains(QStringLiteral("[*]"))) {
        setWindowModified(modified);
    }
    QFont font = m_saveAction->font();
    font.setBold(modified);
    m_saveAction->setFont(font);
}

void MainWindow::UpdateCommands()
{
    const bool open = m_session.IsOpen();
    const bool generating = m_session.Generating();
    // Pending edits in the details lock everything that could change the selection or the project.
    const bool idle = !m_session.PendingChanges() && !generating;
    const qsizetype selected = m_session.Selection().Rows.size();
    const session::UndoHistory& history = m_session.History();
    const std::pair<QAction*, bool> states[] = {
        {m_newAction, idle},
        {m_newSlideshowAction, idle},
        {m_fitToMusicAction, open && idle},
        {m_addMusicAction, open && idle},
        {m_addTitleAction, open && idle},
        {m_openAction, idle},
        {m_saveAction, open && idle},
        {m_saveAsAction, open && idle},
        {m_closeAction, open && idle},
        {m_generateAction, open && idle},
        {m_itemsMenu->menuAction(), open && idle},
        {m_addPicturesAction, open && idle},
        {m_removeAction, open && idle && selected >= 1},
        {m_moveUpAction, open && idle && selected == 1},
        {m_moveDownAction, open && idle && selected == 1},
        {m_undoAction, idle && history.CanUndo()},
        {m_redoAction, idle && history.CanRedo()},
        {m_playAction, open && !generating},
        {m_largePreviewAction, open && !generating},
    };
    for (const auto& [action, enabled] : states) {
        action->setEnabled(enabled);
    }
    // During a run the settings window is the only one that works: the rest says so.
    menuBar()->setEnabled(!generating);
    m_toolBar->setEnabled(!generating);
    m_frameList->setEnabled(idle);
    // With nothing selected there is nothing for the details to edit.
    m_details->setEnabled(open && selected >= 1 && !generating);
}

}  // namespace kinetar::ui
