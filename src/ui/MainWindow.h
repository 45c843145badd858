#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "session/FileAccess.h"
#include "session/ProjectSession.h"
#include "session/SoundLength.h"
#include "settings/StoredSettings.h"
#include "ui/FileDialogs.h"
#include "ui/UiServices.h"

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace kinetar::ui {

class FrameDetails;
class FrameList;
class ThumbnailCache;
class ThumbnailDelegate;

// The main window: the project commands, and the frame list and the details panel wired to the one
// project session.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // `arguments` are the command line's, without the program's name.
    explicit MainWindow(UiServices services, QStringList arguments = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    session::ProjectSession& Session() { return m_session; }
    // Empty while no project is open.
    const QString& ProjectPath() const { return m_session.ProjectPath(); }
    const std::string& WorkingCopyPath() const { return m_session.WorkingCopyPath(); }
    bool ProjectModified() const { return m_session.Modified(); }

    // Makes the path absolute, stores it as the project path and enables the commands that need a
    // project.
    void SetProjectPath(const QString& path);
    // Copies the project (or `recovered`, the working copy of a run that ended without closing it)
    // into a new working copy and fills the frame list from it. A project that cannot be copied is
    // reported and not opened; false then.
    bool OpenWorkingCopy(const std::string& recovered = {});
    // Replaces the project file with the working copy, after a question when another program changed
    // the file since it was opened or saved here. A failure is reported; not saving leaves the
    // project marked modified; false then.
    bool SaveProject();

    // Asks for the name of a project to create (a file there is replaced only when the user says
    // so); nothing when the user cancelled.
    std::optional<QString> AskNewProjectPath();
    // The status bar's length: "2:05.3 — 3,133 frames · music 2:10.0".
    void ShowShowLength();

    // The project commands, as the menu and the toolbar run them.
    void OnNewTriggered();
    void OnNewSlideshowTriggered();
    void OnFitToMusicTriggered();
    void OnOpenTriggered();
    void OnSaveTriggered();
    void OnSaveAsTriggered();
    void OnCloseTriggered();
    void OnExitTriggered();
    void OnGenerateTriggered();
    void OnWebSiteTriggered();
    void OnAboutTriggered();
    void SetFileTypeRegistered(bool registered);

    // What dropping these files on the window does.
    void DropFiles(const QStringList& paths);

    // The frame list and the details panel beside it.
    FrameList& Frames() { return *m_frameList; }
    FrameDetails& Details() { return *m_details; }

    // The command-line project, once, when the window is first shown.
    void OpenStartupProject();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateCentralArea();
    void ConnectSession();
    // The preview player: the list follows it, its notes go to the status bar.
    void ConnectPlayer();
    void RestoreWindowState();
    // The window's place and size and the panel's width, with this project.
    settings::MainWindowSettings CurrentPlacement(const QString& lastProject) const;
    void LoadMainSettings();
    void StoreMainSettings();

    // Shows what the project path says: the panel, the status, the title.
    void ShowProjectPath();
    // The one place that decides which commands can be used now, from the session's state: open,
    // selection, pending edits, a run, the history. Every signal that changes one of them calls it.
    void UpdateCommands();
    // The modified flag in the title ("[*]") and a bold Save.
    void ShowModified(bool modified);
    void ShowThumbnails(bool shown);
    // After a run: the window in front, the keyboard on the list.
    void ReturnFromSettings();
    // Back from the task bar when it was minimised.
    void ShowRestored();

    // Closes the open project, asking to save a modified one; false when a save that was asked for
    // failed, so nothing is lost and the caller stops.
    // Asks whether to save a modified project: false when the answer was Cancel or the save failed.
    bool SaveChangesIfWanted();
    bool CloseProject();
    // Opens the project at `path` after closing the open one.
    void OpenProject(const QString& path);
    bool MayClose();
    // At start, before any other project opens: asks about the unsaved changes each run that ended
    // without closing its project left, opens the first the user recovers, and removes what such
    // runs left with nothing to recover. True when a project was recovered.
    bool RecoverSessions();
    // Drops this window's edits and reads the project file again, after asking; false when the user
    // keeps them.
    bool ReloadProject();
    // Keeps the note of the open project in the user's state folder, or removes it.
    void UpdateSessionNote();
    // Another program wrote the project file since it was opened or saved here.
    bool ProjectChangedOnDisk() const;

    UiServices m_services;
    session::ProjectSession m_session;
    QStringList m_arguments;
    bool m_shown = false;
    // The last project of the stored settings, opened when the window is first shown.
    QString m_storedProject;
    // The project that was open when the window was closed, for the stored settings.
    QString m_lastProject;
    int m_panelWidth = 406;
    FileDialogSetup m_projectSaveDialog;
    // The project file as it was when opened or saved, to see another program's writes.
    QString m_stampedProject;
    std::optional<session::FileStamp> m_projectStamp;
    bool m_noteWritten = false;

    std::unique_ptr<ThumbnailCache> m_thumbnails;
    FrameList* m_frameList = nullptr;
    ThumbnailDelegate* m_thumbnailLines = nullptr;
    QSplitter* m_splitter = nullptr;
    QWidget* m_detailsArea = nullptr;
    FrameDetails* m_details = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_statusVersion = nullptr;
    QLabel* m_statusProject = nullptr;
    // The show's length, its music's, and where the music stops when it ends before the pictures.
    QLabel* m_statusLength = nullptr;
    session::SoundLengthProbe m_lengthProbe;
    QStringList m_probedSounds;
    QList<qint64> m_soundMilliseconds;  // of m_probedSounds, once measured

    QMenu* m_projectMenu = nullptr;
    QMenu* m_itemsMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_toolsMenu = nullptr;
    QMenu* m_fileTypeMenu = nullptr;
    QMenu* m_helpMenu = nullptr;

    QAction* m_newAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_saveAsAction = nullptr;
    QAction* m_closeAction = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_addPicturesAction = nullptr;
    QAction* m_addMusicAction = nullptr;
    QAction* m_addTitleAction = nullptr;
    QAction* m_newSlideshowAction = nullptr;
    QAction* m_fitToMusicAction = nullptr;
    QAction* m_removeAction = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QAction* m_thumbnailsAction = nullptr;
    QAction* m_generateAction = nullptr;
    QAction* m_registerAction = nullptr;
    QAction* m_unregisterAction = nullptr;
    QAction* m_webSiteAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_moveUpAction = nullptr;
    QAction* m_moveDownAction = nullptr;
    QAction* m_playAction = nullptr;
    QAction* m_largePreviewAction = nullptr;
};

// The address the Help menu's web site item opens.
QString WebSiteAddress();

}  // namespace kinetar::ui
