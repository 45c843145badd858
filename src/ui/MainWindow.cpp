#include "ui/MainWindow.h"

#include <unistd.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScopeGuard>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <functional>

#include "common/Error.h"
#include "project/ProjectFile.h"
#include "session/Recovery.h"
#include "session/SessionNote.h"
#include "settings/FileTypes.h"
#include "settings/StoredSettings.h"
#include "ui/AboutWindow.h"
#include "ui/CommandGuard.h"
#include "ui/FrameDetails.h"
#include "ui/FrameList.h"
#include "ui/Messages.h"
#include "ui/QtConvert.h"
#include "ui/Thumbnails.h"
#include "ui/VideoSettingsWindow.h"

namespace kinetar::ui {

namespace {

const QString kWindowTitle = QStringLiteral("Kinetar - program to create AVI video's");

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
};

}  // namespace

MainWindow::MainWindow(UiServices services, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_arguments(std::move(arguments))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(kWindowTitle);
    setWindowIcon(QIcon(QStringLiteral(":/kinetar/icons/kinetar.svg")));
    m_projectSaveDialog = ProjectSaveDialogSetup();
    CreateActions();
    CreateCentralArea();
    CreateStatusBar();
    ConnectSession();
    move(188, 55);
    resize(578, 470);
    RestoreWindowState();
}

MainWindow::~MainWindow()
{
    // FormDestroy: no more drops, then the settings.
    setAcceptDrops(false);
    StoreMainSettings();
    if (m_noteWritten) {
        session::RemoveSessionNote(::getpid());
    }
    // The panels hold the session: they go first, and nothing the session says reaches the window
    // any more.
    m_session.disconnect();
    m_session.History().disconnect();
    delete takeCentralWidget();
}

void MainWindow::CreateActions()
{
    const auto none = QKeySequence::UnknownKey;
    const ActionEntry entries[] = {
        {&MainWindow::m_newAction, "menu_Novy", "&New...", "project-new", "Create new project", QKeySequence::New,
         Place::Project, false, "tl_Projekt_Novy", false, [this] { OnNewTriggered(); }},
        {&MainWindow::m_openAction, "menu_Otevrit", "&Open...", "project-open", "Open existing project",
         QKeySequence::Open, Place::Project, false, "tl_Project_Open", false, [this] { OnOpenTriggered(); }},
        {&MainWindow::m_saveAction, "menu_Ulozit", "&Save", "project-save", "Save project", QKeySequence::Save,
         Place::Project, false, "tl_Project_Save", false, [this] { OnSaveTriggered(); }},
        {&MainWindow::m_saveAsAction, "menu_UlozitJako", "Save &as...", "project-save-as", "Save project as..",
         QKeySequence::SaveAs, Place::Project, false, "tl_Project_SaveAs", false, [this] { OnSaveAsTriggered(); }},
        {&MainWindow::m_closeAction, "menu_Zavrit", "&Close", "project-close", "Close current project",
         QKeySequence::Close, Place::Project, false, "tl_Project_Close", false, [this] { OnCloseTriggered(); }},
        {&MainWindow::m_exitAction, "menu_Konec", "&Exit", "", "", QKeySequence::Quit, Place::Project, true, nullptr,
         false, [this] { OnExitTriggered(); }},
        // Alt+Up and Alt+Down, Insert and Delete are the list's own keys.
        {&MainWindow::m_moveUpAction, "tl_PosunNahoru", "Move up", "frame-move-up", "Move up(ALT+ UP arrow)", none,
         Place::None, false, "tl_PosunNahoru", true, [this] { m_frameList->MoveUp(); }},
        {&MainWindow::m_moveDownAction, "tl_PosunDolu", "Move down", "frame-move-down", "Move down(ALT+ DOWN arrow)",
         none, Place::None, false, "tl_PosunDolu", false, [this] { m_frameList->MoveDown(); }},
        {&MainWindow::m_addPicturesAction, "menu_Snimek_Pridat", "&Add pictures...", "frames-add", "Add pictures...",
         none, Place::Items, false, "tl_Polozka_Add", false, [this] { m_frameList->AddPictures(); }},
        {&MainWindow::m_removeAction, "menu_Snimek_Odebrat", "&Remove items...", "frames-remove",
         "Remove selected items", none, Place::Items, false, "tl_Polozka_Remove", false,
         [this] { m_frameList->RemoveSelected(); }},
        {&MainWindow::m_undoAction, "menu_Zpet", "&Undo", "edit-undo", "Undo the last change", QKeySequence::Undo,
         Place::Edit, false, "tl_Zpet", true, [this] { m_session.History().undo(); }},
        {&MainWindow::m_redoAction, "menu_Znovu", "&Redo", "edit-redo", "Redo the change undone last",
         QKeySequence::Redo, Place::Edit, false, "tl_Znovu", false, [this] { m_session.History().redo(); }},
        {&MainWindow::m_thumbnailsAction, "menu_Nahledy", "&Thumbnails", "",
         "Show a small picture before each frame's name", none, Place::View, false, nullptr, false,
         [this] { ShowThumbnails(m_thumbnailsAction->isChecked()); }, true},
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
}

void MainWindow::CreateCentralArea()
{
    m_frameList = new FrameList(m_session, m_services);
    m_thumbnails = std::make_unique<ThumbnailCache>();
    m_thumbnailLines = new ThumbnailDelegate(*m_thumbnails, m_frameList);
    m_frameList->setItemDelegate(m_thumbnailLines);

    m_detailsArea = new QWidget;
    m_detailsArea->setObjectName(QStringLiteral("PanelMain"));
    auto* panelLayout = new QVBoxLayout(m_detailsArea);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    m_details = new FrameDetails(m_session, m_services);
    panelLayout->addWidget(m_details);

    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setObjectName(QStringLiteral("sp_Rozdelovatko"));
    m_splitter->setHandleWidth(4);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_frameList);
    m_splitter->addWidget(m_detailsArea);
    // What the window gains is shared, the larger part to the panel, whose preview shows more.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 2);
    setCentralWidget(m_splitter);
}

void MainWindow::CreateStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    m_statusVersion = new QLabel(QStringLiteral("Kinetar version 1.0(stable)"));
    m_statusVersion->setObjectName(QStringLiteral("StatusBar_Version"));
    m_statusVersion->setFixedWidth(190);
    m_statusProject = new QLabel;
    m_statusProject->setObjectName(QStringLiteral("StatusBar_Project"));
    statusBar()->addWidget(m_statusVersion);
    statusBar()->addWidget(m_statusProject, 1);
}

void MainWindow::ConnectSession()
{
    connect(&m_session, &session::ProjectSession::ProjectPathChanged, this, &MainWindow::ShowProjectPath);
    for (const auto signal : {&session::ProjectSession::ProjectPathChanged, &session::ProjectSession::ProjectOpened,
                              &session::ProjectSession::ProjectClosed}) {
        connect(&m_session, signal, this, &MainWindow::UpdateSessionNote);
    }
    for (const auto signal : {&session::ProjectSession::ProjectPathChanged, &session::ProjectSession::ProjectOpened,
                              &session::ProjectSession::ProjectClosed, &session::ProjectSession::SelectionChanged}) {
        connect(&m_session, signal, this, &MainWindow::UpdateCommands);
    }
    for (const auto signal :
         {&session::ProjectSession::PendingChangesChanged, &session::ProjectSession::GeneratingChanged}) {
        connect(&m_session, signal, this, &MainWindow::UpdateCommands);
    }
    connect(&m_session.History(), &QUndoStack::canUndoChanged, this, &MainWindow::UpdateCommands);
    connect(&m_session.History(), &QUndoStack::canRedoChanged, this, &MainWindow::UpdateCommands);
    connect(&m_session, &session::ProjectSession::ModifiedChanged, this, &MainWindow::ShowModified);
}

void MainWindow::RestoreWindowState()
{
    ShowProjectPath();
    LoadMainSettings();
    m_thumbnailsAction->setChecked(settings::LoadThumbnailsShown());
    ShowThumbnails(m_thumbnailsAction->isChecked());
    setAcceptDrops(true);
    UpdateCommands();
}

settings::MainWindowSettings MainWindow::CurrentPlacement(const QString& lastProject) const
{
    settings::MainWindowSettings values;
    values.Left = x();
    values.Top = y();
    values.Width = width();
    values.Height = height();
    values.PanelWidth = m_shown ? m_detailsArea->width() : m_panelWidth;
    values.LastProject = lastProject;
    return values;
}

void MainWindow::LoadMainSettings()
{
    const settings::MainWindowSettings stored = settings::LoadMainSettings(CurrentPlacement({}));
    move(stored.Left, stored.Top);
    resize(stored.Width, stored.Height);
    m_panelWidth = stored.PanelWidth;
    // Shown only once the window is on the screen, after any question about the command line's project.
    if (!stored.LastProject.isEmpty() && IsExistingFile(stored.LastProject)) {
        m_storedProject = stored.LastProject;
    }
}

void MainWindow::StoreMainSettings()
{
    settings::StoreMainSettings(CurrentPlacement(m_lastProject));
}

void MainWindow::SetProjectPath(const QString& path)
{
    m_session.SetProjectPath(path);
}

void MainWindow::ShowProjectPath()
{
    const bool open = m_session.IsOpen();
    m_details->setVisible(open);
    m_statusProject->setText(open ? QStringLiteral("Project: ") + m_session.ProjectPath()
                                  : QStringLiteral("No project opened."));
    // The project's name first, as desktop programs name their document; "[*]" marks unsaved changes.
    setWindowTitle(open ? FileNamePart(m_session.ProjectPath()) + QStringLiteral("[*] - ") + kWindowTitle
                        : kWindowTitle);
    ShowModified(m_session.Modified());
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
    const QUndoStack& history = m_session.History();
    const std::pair<QAction*, bool> states[] = {
        {m_newAction, idle},
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
        {m_undoAction, idle && history.canUndo()},
        {m_redoAction, idle && history.canRedo()},
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

void MainWindow::ShowThumbnails(bool shown)
{
    m_thumbnailLines->SetEnabled(shown);
    settings::StoreThumbnailsShown(shown);
}

bool MainWindow::OpenWorkingCopy(const std::string& recovered)
{
    // Taken before the copy: a write that comes in meanwhile counts as another program's.
    m_stampedProject = m_session.ProjectPath();
    m_projectStamp = session::StampOf(ToNativePath(m_stampedProject));
    try {
        m_session.OpenWorkingCopy(recovered);
    } catch (const Error& error) {
        m_services.ReportError(this, msg::kProjectNotOpened + FromCoreText(error.what()));
        return false;
    }
    // Any file opens as a project; one that does not look like one is worth a word.
    if (const auto doubt = project::ProjectDoubt(ToNativePath(m_stampedProject))) {
        m_services.Ask(this, {msg::kWarningCaption, FromCoreText(*doubt), QMessageBox::Warning, QMessageBox::Ok});
    }
    return true;
}

bool MainWindow::ProjectChangedOnDisk() const
{
    if (!m_session.IsOpen() || m_stampedProject != m_session.ProjectPath()) {
        return false;
    }
    // A file that went away loses nothing by being written again.
    const std::optional<session::FileStamp> now = session::StampOf(ToNativePath(m_stampedProject));
    return now.has_value() && now != m_projectStamp;
}

bool MainWindow::SaveProject()
{
    if (ProjectChangedOnDisk()) {
        // Enter keeps the other program's file: overwriting it takes a choice.
        Prompt prompt{msg::kQuestionCaption, msg::kChangedOnDisk.arg(m_session.ProjectPath()), QMessageBox::Warning,
                      QMessageBox::Yes | QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Cancel};
        prompt.ButtonTexts = {{QMessageBox::Yes, QStringLiteral("&Overwrite")},
                              {QMessageBox::Retry, QStringLiteral("&Reload")}};
        const auto answer = m_services.Ask(this, prompt);
        if (answer == QMessageBox::Retry) {
            ReloadProject();
            return false;
        }
        if (answer != QMessageBox::Yes) {
            return false;
        }
    }
    try {
        m_session.Save();
    } catch (const Error& error) {
        m_services.ReportError(this, msg::kProjectNotSaved + FromCoreText(error.what()));
        return false;
    }
    m_stampedProject = m_session.ProjectPath();
    m_projectStamp = session::StampOf(ToNativePath(m_stampedProject));
    return true;
}

void MainWindow::UpdateSessionNote()
{
    if (m_session.IsOpen() && !m_session.WorkingCopyPath().empty()) {
        m_noteWritten =
            session::WriteSessionNote({::getpid(), ToNativePath(m_session.ProjectPath()), m_session.WorkingCopyPath()});
    } else if (m_noteWritten) {
        session::RemoveSessionNote(::getpid());
        m_noteWritten = false;
    }
}

bool MainWindow::RecoverSessions()
{
    const session::RecoveryPlan plan = session::PlanRecovery();
    bool recovered = false;
    for (const session::SessionNote& note : plan.Recoverable) {
        // The window holds one project: the others are asked about at a later start.
        if (recovered) {
            break;
        }
        const auto answer =
            m_services.Ask(this, {msg::kQuestionCaption, msg::kRecoverChanges.arg(FromNativePath(note.Project)),
                                  QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
        if (answer == QMessageBox::Yes) {
            SetProjectPath(FromNativePath(note.Project));
            // A working copy that cannot be taken over stays, with its note, for another try.
            recovered = OpenWorkingCopy(note.WorkingCopy);
            if (recovered) {
                session::DiscardSession(note);
            }
        } else if (answer == QMessageBox::No) {
            session::DiscardSession(note);
        }
    }
    session::RemoveStale(plan);
    return recovered;
}

bool MainWindow::ReloadProject()
{
    if (m_services.Ask(this, {msg::kQuestionCaption, msg::kReloadQuestion.arg(m_session.ProjectPath()),
                              QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No}) !=
        QMessageBox::Yes) {
        return false;
    }
    const QString path = m_session.ProjectPath();
    m_session.Close();
    SetProjectPath(path);
    return OpenWorkingCopy();
}

bool MainWindow::CloseProject()
{
    if (!m_session.IsOpen()) {
        return true;
    }
    if (m_session.Modified()) {
        // Escape is Cancel, as on leaving the program: the edits stay and nothing happens.
        const auto answer =
            m_services.Ask(this, {msg::kProjectChangedCaption, msg::kSaveChangesQuestion, QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !SaveProject())) {
            return false;
        }
    }
    m_session.Close();
    return true;
}

void MainWindow::OpenProject(const QString& path)
{
    if (!CloseProject()) {
        return;
    }
    // Every way here is locked while the details hold unsaved edits, so there is no such mode to
    // leave (leaving it would enable the frame commands whatever the selection).
    SetProjectPath(path);
    OpenWorkingCopy();
}

void MainWindow::OnNewTriggered()
{
    const project::ProjectHeader header = project::NewProjectHeader();
    SharedFileDialog& dialog = *m_services.SharedDialog;
    dialog.PrepareFileDialog(kProjectMode);
    dialog.OpenDialog.Title = msg::kNewProjectTitle;
    // The dialog names a file to make, not one to open.
    dialog.OpenDialog.AcceptText = QStringLiteral("&Create");
    if (!m_services.RunSharedDialog(this)) {
        return;
    }
    const QString chosen = dialog.OpenDialog.FileName;
    if (QFileInfo::exists(chosen) &&
        m_services.Ask(this, {msg::kErrorCaption, msg::kProjectFileExists, QMessageBox::Critical,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) != QMessageBox::Yes) {
        return;
    }
    if (!CloseProject()) {
        return;
    }
    SetProjectPath(chosen);
    try {
        // A new file in one step: a project that cannot be written leaves the old file as it was.
        project::ReplaceProjectFile(ToNativePath(m_session.ProjectPath()), header, {});
    } catch (const Error& error) {
        SetProjectPath({});
        m_services.ReportError(this, msg::kProjectNotCreated + FromCoreText(error.what()));
        return;
    }
    OpenWorkingCopy();
}

void MainWindow::OnOpenTriggered()
{
    SharedFileDialog& dialog = *m_services.SharedDialog;
    dialog.PrepareFileDialog(kProjectMode);
    dialog.OpenDialog.FileMustExist = true;
    if (!m_services.RunSharedDialog(this)) {
        return;
    }
    OpenProject(dialog.OpenDialog.FileName);
}

void MainWindow::OnSaveTriggered()
{
    SaveProject();
}

void MainWindow::OnSaveAsTriggered()
{
    if (!m_services.RunDialog(this, m_projectSaveDialog)) {
        return;
    }
    const QString chosen = m_projectSaveDialog.FileName;
    if (QFileInfo::exists(chosen) &&
        m_services.Ask(this, {msg::kQuestionCaption, msg::kFileExists, QMessageBox::NoIcon,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) != QMessageBox::Yes) {
        return;
    }
    // Asked already, if there was a file to overwrite.
    m_stampedProject.clear();
    SetProjectPath(chosen);
    SaveProject();
}

void MainWindow::OnCloseTriggered()
{
    CloseProject();
}

void MainWindow::OnExitTriggered()
{
    close();
}

void MainWindow::OnGenerateTriggered()
{
    // What the window writes is one step of the history, and so is a change it only reports.
    m_session.BeginSettingsEdit();
    bool changed = false;
    const auto endEdit = qScopeGuard([this, &changed] {
        m_session.EndSettingsEdit(changed);
        ReturnFromSettings();
    });
    VideoSettingsWindow window(m_session, m_services, this);
    window.exec();
    changed = window.SettingsChanged();
}

void MainWindow::ReturnFromSettings()
{
    // A window manager may leave no window active once the dialog is gone; the user goes on in the
    // list.
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    raise();
    activateWindow();
    if (m_frameList->isEnabled()) {
        m_frameList->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void MainWindow::OnWebSiteTriggered()
{
    if (!m_services.OpenDocument(QUrl(WebSiteAddress()))) {
        m_services.Ask(this, {msg::kErrorCaption, msg::kNoBrowser, QMessageBox::Critical, QMessageBox::Ok});
    }
}

void MainWindow::OnAboutTriggered()
{
    AboutWindow about(this);
    about.exec();
}

void MainWindow::SetFileTypeRegistered(bool registered)
{
    if (registered) {
        settings::RegisterProjectFileType(QCoreApplication::applicationFilePath());
    } else {
        settings::UnregisterProjectFileType();
    }
    m_services.Ask(this, {msg::kInformationCaption, registered ? msg::kRegistered : msg::kUnregistered,
                          QMessageBox::Information, QMessageBox::Ok});
}

void MainWindow::DropFiles(const QStringList& paths)
{
    if (paths.size() == 1 && session::ExtensionPart(paths.front()) == QStringLiteral(".AVIprj")) {
        OpenProject(paths.front());
        return;
    }
    if (!m_session.IsOpen()) {
        m_services.Ask(this, {msg::kErrorCaption, msg::kNoProjectForDrop, QMessageBox::Critical, QMessageBox::Ok});
        return;
    }
    m_frameList->AddPictureFiles(paths);
}

void MainWindow::OpenStartupProject()
{
    if (RecoverSessions()) {
        return;
    }
    QString project = m_storedProject;
    if (m_arguments.size() == 1) {
        const QString& argument = m_arguments.front();
        if (IsExistingFile(argument)) {
            project = argument;
        } else if (m_services.Ask(this, {msg::kQuestionCaption, msg::kProjectDoesntExist, QMessageBox::Question,
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) ==
                   QMessageBox::Yes) {
            SetProjectPath(argument);
            project = m_session.ProjectPath();
            try {
                project::ReplaceProjectFile(ToNativePath(project), project::BlankProjectHeader(), {});
            } catch (const Error& error) {
                SetProjectPath({});
                project.clear();
                m_services.ReportError(this, msg::kProjectNotCreated + FromCoreText(error.what()));
            }
        }
    }
    if (!project.isEmpty()) {
        SetProjectPath(project);
        OpenWorkingCopy();
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown) {
        return;
    }
    m_shown = true;
    const int handle = m_splitter->handleWidth();
    m_splitter->setSizes({std::max(0, m_splitter->width() - m_panelWidth - handle), m_panelWidth});
    // After the window is on the screen, so questions appear above it.
    QTimer::singleShot(0, this, Guarded(this, m_services, [this] { OpenStartupProject(); }));
}

bool MainWindow::MayClose()
{
    if (m_session.PendingChanges()) {
        m_services.Ask(this, {msg::kWarningCaption, msg::kChangingItems, QMessageBox::Critical, QMessageBox::Ok});
        m_details->FocusSaveChanges();
        return false;
    }
    if (m_session.Modified()) {
        const auto answer =
            m_services.Ask(this, {msg::kProjectChangedCaption, msg::kSaveChangesQuestion, QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !SaveProject())) {
            return false;
        }
    }
    m_lastProject = m_session.ProjectPath();
    // Asked already: closed without a second question.
    m_session.Close();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool accept = false;
    Guarded(this, m_services, [this, &accept] { accept = MayClose(); })();
    if (accept) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    // Not while the details hold unsaved edits: a drop would add frames or open another project
    // under them.
    if (event->mimeData()->hasUrls() && !m_session.PendingChanges()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    if (paths.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    Guarded(this, m_services, [this, paths] { DropFiles(paths); })();
}

QString WebSiteAddress()
{
    // A program run where it was built has no manual installed beside it, or one of an older
    // build: the manual in its source tree is the one that goes with it.
    const QString prefix = QDir(QStringLiteral(KINETAR_INSTALL_PREFIX)).canonicalPath();
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const bool installed =
        !prefix.isEmpty() && !QDir(prefix).relativeFilePath(program).startsWith(QStringLiteral("../"));
    if (!installed && QFileInfo::exists(QStringLiteral(KINETAR_SOURCE_MANUAL))) {
        return QUrl::fromLocalFile(QStringLiteral(KINETAR_SOURCE_MANUAL)).toString();
    }
    return QStringLiteral(KINETAR_WEB_SITE);
}

}  // namespace kinetar::ui
