#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "settings/StoredSettings.h"
#include "ui/FileAccess.h"
#include "ui/ProjectSession.h"
#include "ui/SdilenePrvky.h"
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

    ProjectSession& Session() { return m_session; }
    // Empty while no project is open.
    const QString& ProjectPath() const { return m_session.ProjectPath(); }
    const std::string& WorkingCopyPath() const { return m_session.WorkingCopyPath(); }
    bool ProjectModified() const { return m_session.Modified(); }

    // Makes the path absolute (the process's current folder becomes the project's folder), stores it
    // as the project path and enables the commands that need a project.
    void SetProjectPath(const QString& path);
    // Copies the project (or `recovered`, the working copy of a run that ended without closing it)
    // into a new working copy and fills the frame list from it. A project that cannot be copied is
    // reported and not opened; false then.
    bool OpenWorkingCopy(const std::string& recovered = {});
    // Replaces the project file with the working copy, after a question when another program changed
    // the file since it was opened or saved here. A failure is reported; not saving leaves the
    // project marked modified; false then.
    bool SaveProject();

    // The project commands, as the menu and the toolbar run them.
    void menu_NovyClick();
    void menu_OtevritClick();
    void menu_UlozitClick();
    void menu_UlozitJakoClick();
    void menu_ZavritClick();
    void menu_KonecClick();
    void menu_m_projektClick();
    void menu_GenerovatAVIClick();
    void menu_WWWPageClick();
    void menu_OProgramuClick();
    void menu_tools_ext_unregClick(QObject* sender);

    // What dropping these files on the window does.
    void DropFiles(const QStringList& paths);

    // The frame list and the details panel beside it.
    FrameList& Frames() { return *Snimky; }
    FrameDetails& Details() { return *Panel1; }

    // The command-line project, once, when the window is first shown.
    void FormShow();

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
    void FormCreate();
    // The window's place and size and the panel's width, with this project.
    settings::MainWindowSettings CurrentPlacement(const QString& lastProject) const;
    void LoadMainSettings();
    void StoreMainSettings();

    // Shows what the project path says: the panel, the commands that need a project, the status.
    void ShowProjectPath();
    // After every change of the selection: the commands that follow it.
    void UpdateFrameCommands();
    void UpdateHistoryCommands();
    // Off while the details panel holds unsaved edits: the list and every command that could change
    // the selection or the project.
    void EnableFrameEditing(bool enabled);
    void ShowThumbnails(bool shown);

    // Closes the open project, asking to save a modified one; false when a save that was asked for
    // failed, so nothing is lost and the caller stops.
    bool CloseProject();
    // Opens the project at `path` after closing the open one.
    void OpenProject(const QString& path);
    bool FormCloseQuery();
    // At start, before any other project opens: asks about the unsaved changes each run that ended
    // without closing its project left, opens the first the user recovers, and removes what such
    // runs left with nothing to recover. True when a project was recovered.
    bool RecoverSessions();
    // Keeps the note of the open project in the user's state folder, or removes it.
    void UpdateSessionNote();
    // Another program wrote the project file since it was opened or saved here.
    bool ProjectChangedOnDisk() const;

    UiServices m_services;
    ProjectSession m_session;
    QStringList m_arguments;
    bool m_shown = false;
    // The last project of the stored settings, opened when the window is first shown.
    QString m_storedProject;
    // The project that was open when the window was closed, for the stored settings.
    QString m_lastProject;
    int m_panelWidth = 406;
    FileDialogSetup m_saveDialogProjekt;
    // The project file as it was when opened or saved, to see another program's writes.
    QString m_stampedProject;
    std::optional<FileStamp> m_projectStamp;
    bool m_noteWritten = false;

    std::unique_ptr<ThumbnailCache> m_thumbnails;
    FrameList* Snimky = nullptr;
    ThumbnailDelegate* m_thumbnailLines = nullptr;
    QSplitter* sp_Rozdelovatko = nullptr;
    QWidget* PanelMain = nullptr;
    FrameDetails* Panel1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QLabel* m_statusVersion = nullptr;
    QLabel* m_statusProject = nullptr;

    QMenu* menu_m_projekt = nullptr;
    QMenu* menu_m_polozka = nullptr;
    QMenu* menu_m_upravy = nullptr;
    QMenu* menu_m_zobrazeni = nullptr;
    QMenu* menu_m_nastroje = nullptr;
    QMenu* menu_tools_ext = nullptr;
    QMenu* menu_m_napoveda = nullptr;

    QAction* menu_Novy = nullptr;
    QAction* menu_Otevrit = nullptr;
    QAction* menu_Ulozit = nullptr;
    QAction* menu_UlozitJako = nullptr;
    QAction* menu_Zavrit = nullptr;
    QAction* menu_Konec = nullptr;
    QAction* menu_Snimek_Pridat = nullptr;
    QAction* menu_Snimek_Odebrat = nullptr;
    QAction* menu_Zpet = nullptr;
    QAction* menu_Znovu = nullptr;
    QAction* menu_Nahledy = nullptr;
    QAction* menu_GenerovatAVI = nullptr;
    QAction* menu_tools_ext_reg = nullptr;
    QAction* menu_tools_ext_unreg = nullptr;
    QAction* menu_WWWPage = nullptr;
    QAction* menu_OProgramu = nullptr;
    QAction* tl_PosunNahoru = nullptr;
    QAction* tl_PosunDolu = nullptr;
};

// The address the Help menu's web site item opens.
QString WebSiteAddress();

}  // namespace kinetar::ui
