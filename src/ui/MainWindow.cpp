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
#include "settings/FileTypes.h"
#include "settings/StoredSettings.h"
#include "ui/AboutWindow.h"
#include "ui/AviCreateWindow.h"
#include "ui/CommandGuard.h"
#include "ui/FrameDetails.h"
#include "ui/FrameList.h"
#include "ui/Messages.h"
#include "ui/QtConvert.h"
#include "ui/Recovery.h"
#include "ui/SessionNote.h"
#include "ui/Thumbnails.h"

namespace kinetar::ui {

namespace {

// From the last "." of the file name on; empty when the name has no ".".
QString Extension(const QString& path)
{
    const QString name = FileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

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
    setWindowTitle(QStringLiteral("Kinetar - program to create AVI video's"));
    setWindowIcon(QIcon(QStringLiteral(":/kinetar/icons/kinetar.svg")));
    m_saveDialogProjekt = ProjectSaveDialogSetup();
    CreateActions();
    CreateCentralArea();
    CreateStatusBar();
    ConnectSession();
    move(188, 55);
    resize(578, 470);
    FormCreate();
}

MainWindow::~MainWindow()
{
    // FormDestroy: no more drops, then the settings.
    setAcceptDrops(false);
    StoreMainSettings();
    if (m_noteWritten) {
        RemoveSessionNote(::getpid());
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
        {&MainWindow::menu_Novy, "menu_Novy", "&New...", "project-new", "Create new project", QKeySequence::New,
         Place::Project, false, "tl_Projekt_Novy", false, [this] { menu_NovyClick(); }},
        {&MainWindow::menu_Otevrit, "menu_Otevrit", "&Open...", "project-open", "Open existing project",
         QKeySequence::Open, Place::Project, false, "tl_Project_Open", false, [this] { menu_OtevritClick(); }},
        {&MainWindow::menu_Ulozit, "menu_Ulozit", "&Save", "project-save", "Save project", QKeySequence::Save,
         Place::Project, false, "tl_Project_Save", false, [this] { menu_UlozitClick(); }},
        {&MainWindow::menu_UlozitJako, "menu_UlozitJako", "Save &as...", "project-save-as", "Save project as..",
         QKeySequence::SaveAs, Place::Project, false, "tl_Project_SaveAs", false, [this] { menu_UlozitJakoClick(); }},
        {&MainWindow::menu_Zavrit, "menu_Zavrit", "&Close", "project-close", "Close current project",
         QKeySequence::Close, Place::Project, false, "tl_Project_Close", false, [this] { menu_ZavritClick(); }},
        {&MainWindow::menu_Konec, "menu_Konec", "&Exit", "", "", QKeySequence::Quit, Place::Project, true, nullptr,
         false, [this] { menu_KonecClick(); }},
        // Alt+Up and Alt+Down, Insert and Delete are the list's own keys.
        {&MainWindow::tl_PosunNahoru, "tl_PosunNahoru", "Move up", "frame-move-up", "Move up(ALT+ UP arrow)", none,
         Place::None, false, "tl_PosunNahoru", true, [this] { Snimky->tl_PosunNahoruClick(); }},
        {&MainWindow::tl_PosunDolu, "tl_PosunDolu", "Move down", "frame-move-down", "Move down(ALT+ DOWN arrow)", none,
         Place::None, false, "tl_PosunDolu", false, [this] { Snimky->tl_PosunDoluClick(); }},
        {&MainWindow::menu_Snimek_Pridat, "menu_Snimek_Pridat", "&Add pictures...", "frames-add", "Add pictures...",
         none, Place::Items, false, "tl_Polozka_Add", false, [this] { Snimky->menu_Snimek_PridatClick(); }},
        {&MainWindow::menu_Snimek_Odebrat, "menu_Snimek_Odebrat", "&Remove items...", "frames-remove",
         "Remove selected items", none, Place::Items, false, "tl_Polozka_Remove", false,
         [this] { Snimky->menu_Snimek_OdebratClick(); }},
        {&MainWindow::menu_Zpet, "menu_Zpet", "&Undo", "edit-undo", "Undo the last change", QKeySequence::Undo,
         Place::Edit, false, "tl_Zpet", true, [this] { m_session.History().undo(); }},
        {&MainWindow::menu_Znovu, "menu_Znovu", "&Redo", "edit-redo", "Redo the change undone last", QKeySequence::Redo,
         Place::Edit, false, "tl_Znovu", false, [this] { m_session.History().redo(); }},
        {&MainWindow::menu_Nahledy, "menu_Nahledy", "&Thumbnails", "", "Show a small picture before each frame's name",
         none, Place::View, false, nullptr, false, [this] { ShowThumbnails(menu_Nahledy->isChecked()); }, true},
        {&MainWindow::menu_GenerovatAVI, "menu_GenerovatAVI", "&Generate AVI file...", "generate-avi",
         "Generate AVI...", none, Place::Tools, false, "tl_Nastroje_GenerateAVI", true,
         [this] { menu_GenerovatAVIClick(); }},
        {&MainWindow::menu_tools_ext_reg, "menu_tools_ext_reg", "&Register", "", "", none, Place::ToolsExtension, false,
         nullptr, false, [this] { menu_tools_ext_unregClick(menu_tools_ext_reg); }},
        {&MainWindow::menu_tools_ext_unreg, "menu_tools_ext_unreg", "&Unregister", "", "", none, Place::ToolsExtension,
         false, nullptr, false, [this] { menu_tools_ext_unregClick(menu_tools_ext_unreg); }},
        {&MainWindow::menu_WWWPage, "menu_WWWPage", "&WWW site...", "", "", none, Place::Help, false, nullptr, false,
         [this] { menu_WWWPageClick(); }},
        {&MainWindow::menu_OProgramu, "menu_OProgramu", "&About...", "", "", none, Place::Help, false, nullptr, false,
         [this] { menu_OProgramuClick(); }},
    };

    menu_m_projekt = menuBar()->addMenu(QStringLiteral("&Project"));
    menu_m_polozka = menuBar()->addMenu(QStringLiteral("&Items"));
    menu_m_upravy = menuBar()->addMenu(QStringLiteral("&Edit"));
    menu_m_zobrazeni = menuBar()->addMenu(QStringLiteral("&View"));
    menu_m_nastroje = menuBar()->addMenu(QStringLiteral("&Tools"));
    menu_m_napoveda = menuBar()->addMenu(QStringLiteral("&Help"));
    menu_m_projekt->setObjectName(QStringLiteral("menu_m_projekt"));
    menu_m_polozka->setObjectName(QStringLiteral("menu_m_polozka"));
    menu_m_upravy->setObjectName(QStringLiteral("menu_m_upravy"));
    menu_m_zobrazeni->setObjectName(QStringLiteral("menu_m_zobrazeni"));
    menu_m_nastroje->setObjectName(QStringLiteral("menu_m_nastroje"));
    menu_m_napoveda->setObjectName(QStringLiteral("menu_m_napoveda"));
    const auto menuOf = [this](Place place) -> QMenu* {
        switch (place) {
        case Place::Project:
            return menu_m_projekt;
        case Place::Items:
            return menu_m_polozka;
        case Place::Edit:
            return menu_m_upravy;
        case Place::View:
            return menu_m_zobrazeni;
        case Place::Tools:
            return menu_m_nastroje;
        case Place::ToolsExtension:
            if (menu_tools_ext == nullptr) {
                menu_tools_ext = menu_m_nastroje->addMenu(QStringLiteral("&Project extension"));
                menu_tools_ext->setObjectName(QStringLiteral("menu_tools_ext"));
            }
            return menu_tools_ext;
        case Place::Help:
            return menu_m_napoveda;
        case Place::None:
            break;
        }
        return nullptr;
    };

    ToolBar1 = addToolBar(QStringLiteral("Toolbar"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->toggleViewAction()->setEnabled(false);

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
                ToolBar1->addSeparator();
            }
            ToolBar1->addAction(action);
            ToolBar1->widgetForAction(action)->setObjectName(QString::fromLatin1(entry.ToolButton));
        }
    }
    connect(menu_m_projekt, &QMenu::aboutToShow, this, Guarded(this, m_services, [this] { menu_m_projektClick(); }));
}

void MainWindow::CreateCentralArea()
{
    Snimky = new FrameList(
        m_session, m_services,
        {tl_PosunNahoru, tl_PosunDolu, menu_Snimek_Pridat, menu_Snimek_Odebrat, menu_m_polozka->menuAction()});
    m_thumbnails = std::make_unique<ThumbnailCache>();
    m_thumbnailLines = new ThumbnailDelegate(*m_thumbnails, Snimky);
    Snimky->setItemDelegate(m_thumbnailLines);

    PanelMain = new QWidget;
    PanelMain->setObjectName(QStringLiteral("PanelMain"));
    auto* panelLayout = new QVBoxLayout(PanelMain);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    Panel1 = new FrameDetails(m_session, m_services);
    panelLayout->addWidget(Panel1);

    sp_Rozdelovatko = new QSplitter(Qt::Horizontal);
    sp_Rozdelovatko->setObjectName(QStringLiteral("sp_Rozdelovatko"));
    sp_Rozdelovatko->setHandleWidth(4);
    sp_Rozdelovatko->setChildrenCollapsible(false);
    sp_Rozdelovatko->addWidget(Snimky);
    sp_Rozdelovatko->addWidget(PanelMain);
    // The list takes what the window gains; the panel keeps its width.
    sp_Rozdelovatko->setStretchFactor(0, 1);
    sp_Rozdelovatko->setStretchFactor(1, 0);
    setCentralWidget(sp_Rozdelovatko);
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
    connect(&m_session, &ProjectSession::ProjectPathChanged, this, &MainWindow::ShowProjectPath);
    for (const auto signal :
         {&ProjectSession::ProjectPathChanged, &ProjectSession::ProjectOpened, &ProjectSession::ProjectClosed}) {
        connect(&m_session, signal, this, &MainWindow::UpdateSessionNote);
    }
    connect(&m_session, &ProjectSession::SelectionChanged, this, &MainWindow::UpdateFrameCommands);
    connect(&m_session, &ProjectSession::PendingChangesChanged, this, [this](bool on) { EnableFrameEditing(!on); });
    connect(&m_session.History(), &QUndoStack::canUndoChanged, this, &MainWindow::UpdateHistoryCommands);
    connect(&m_session.History(), &QUndoStack::canRedoChanged, this, &MainWindow::UpdateHistoryCommands);
}

void MainWindow::FormCreate()
{
    ShowProjectPath();
    UpdateHistoryCommands();
    LoadMainSettings();
    menu_Nahledy->setChecked(settings::LoadThumbnailsShown());
    ShowThumbnails(menu_Nahledy->isChecked());
    setAcceptDrops(true);
    UpdateFrameCommands();
}

settings::MainWindowSettings MainWindow::CurrentPlacement(const QString& lastProject) const
{
    settings::MainWindowSettings values;
    values.Left = x();
    values.Top = y();
    values.Width = width();
    values.Height = height();
    values.PanelWidth = m_shown ? PanelMain->width() : m_panelWidth;
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
    Panel1->setVisible(open);
    for (QAction* item : {menu_Ulozit, menu_UlozitJako, menu_Zavrit, menu_Snimek_Pridat, menu_GenerovatAVI}) {
        item->setEnabled(open);
    }
    menu_m_polozka->menuAction()->setEnabled(open);
    m_statusProject->setText(open ? QStringLiteral("Project: ") + m_session.ProjectPath()
                                  : QStringLiteral("No project opened."));
}

void MainWindow::UpdateFrameCommands()
{
    const qsizetype selected = m_session.Selection().Rows.size();
    tl_PosunNahoru->setEnabled(selected == 1);
    tl_PosunDolu->setEnabled(selected == 1);
    menu_Snimek_Odebrat->setEnabled(selected >= 1);
}

void MainWindow::UpdateHistoryCommands()
{
    menu_Zpet->setEnabled(m_session.History().canUndo() && !m_session.PendingChanges());
    menu_Znovu->setEnabled(m_session.History().canRedo() && !m_session.PendingChanges());
}

void MainWindow::EnableFrameEditing(bool enabled)
{
    Snimky->setEnabled(enabled);
    menu_m_polozka->menuAction()->setEnabled(enabled);
    for (QAction* item : {tl_PosunNahoru, tl_PosunDolu, menu_Snimek_Pridat, menu_Snimek_Odebrat, menu_Novy,
                          menu_Otevrit, menu_Zavrit, menu_Ulozit, menu_UlozitJako, menu_GenerovatAVI}) {
        item->setEnabled(enabled);
    }
    UpdateHistoryCommands();
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
    m_projectStamp = StampOf(ToNativePath(m_stampedProject));
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
    const std::optional<FileStamp> now = StampOf(ToNativePath(m_stampedProject));
    return now.has_value() && now != m_projectStamp;
}

bool MainWindow::SaveProject()
{
    if (ProjectChangedOnDisk() &&
        m_services.Ask(this, {msg::kQuestionCaption, msg::kChangedOnDisk.arg(m_session.ProjectPath()),
                              QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No}) != QMessageBox::Yes) {
        return false;
    }
    try {
        m_session.Save();
    } catch (const Error& error) {
        m_services.ReportError(this, msg::kProjectNotSaved + FromCoreText(error.what()));
        return false;
    }
    m_stampedProject = m_session.ProjectPath();
    m_projectStamp = StampOf(ToNativePath(m_stampedProject));
    return true;
}

void MainWindow::UpdateSessionNote()
{
    if (m_session.IsOpen() && !m_session.WorkingCopyPath().empty()) {
        m_noteWritten =
            WriteSessionNote({::getpid(), ToNativePath(m_session.ProjectPath()), m_session.WorkingCopyPath()});
    } else if (m_noteWritten) {
        RemoveSessionNote(::getpid());
        m_noteWritten = false;
    }
}

bool MainWindow::RecoverSessions()
{
    const RecoveryPlan plan = PlanRecovery();
    bool recovered = false;
    for (const SessionNote& note : plan.Recoverable) {
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
                DiscardSession(note);
            }
        } else if (answer == QMessageBox::No) {
            DiscardSession(note);
        }
    }
    RemoveStale(plan);
    return recovered;
}

bool MainWindow::CloseProject()
{
    if (!m_session.IsOpen()) {
        return true;
    }
    if (m_session.Modified() &&
        m_services.Ask(this, {msg::kProjectChangedCaption, msg::kSaveChangesQuestion, QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes) {
        if (!SaveProject()) {
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

void MainWindow::menu_NovyClick()
{
    const project::ProjectHeader header = project::NewProjectHeader();
    SdilenePrvky& dialog = *m_services.SharedDialog;
    dialog.PrepareFileDialog(kProjectMode);
    dialog.OpenDialog.Title = msg::kNewProjectTitle;
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

void MainWindow::menu_OtevritClick()
{
    SdilenePrvky& dialog = *m_services.SharedDialog;
    dialog.PrepareFileDialog(kProjectMode);
    dialog.OpenDialog.FileMustExist = true;
    if (!m_services.RunSharedDialog(this)) {
        return;
    }
    OpenProject(dialog.OpenDialog.FileName);
}

void MainWindow::menu_UlozitClick()
{
    SaveProject();
}

void MainWindow::menu_UlozitJakoClick()
{
    if (!m_services.RunDialog(this, m_saveDialogProjekt)) {
        return;
    }
    const QString chosen = m_saveDialogProjekt.FileName;
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

void MainWindow::menu_ZavritClick()
{
    CloseProject();
}

void MainWindow::menu_KonecClick()
{
    close();
}

void MainWindow::menu_m_projektClick()
{
    QFont font = menu_Ulozit->font();
    font.setBold(m_session.Modified());
    menu_Ulozit->setFont(font);
}

void MainWindow::menu_GenerovatAVIClick()
{
    // What the window writes is one step of the history, and so is a change it only reports.
    m_session.BeginSettingsEdit();
    bool changed = false;
    const auto endEdit = qScopeGuard([this, &changed] { m_session.EndSettingsEdit(changed); });
    TAVICreateWindow window(m_session, m_services, {Snimky, menu_m_polozka, menu_m_projekt, menu_m_upravy}, this);
    window.exec();
    changed = window.SettingsChanged();
}

void MainWindow::menu_WWWPageClick()
{
    if (!m_services.OpenDocument(QUrl(WebSiteAddress()))) {
        m_services.Ask(this, {msg::kErrorCaption, msg::kNoBrowser, QMessageBox::Critical, QMessageBox::Ok});
    }
}

void MainWindow::menu_OProgramuClick()
{
    AboutWindow about(this);
    about.exec();
}

void MainWindow::menu_tools_ext_unregClick(QObject* sender)
{
    QString text;
    if (sender == menu_tools_ext_reg) {
        settings::RegisterProjectFileType(QCoreApplication::applicationFilePath());
        text = msg::kRegistered;
    } else {
        settings::UnregisterProjectFileType();
        text = msg::kUnregistered;
    }
    m_services.Ask(this, {msg::kInformationCaption, text, QMessageBox::Information, QMessageBox::Ok});
}

void MainWindow::DropFiles(const QStringList& paths)
{
    if (paths.size() == 1 && Extension(paths.front()) == QStringLiteral(".AVIprj")) {
        OpenProject(paths.front());
        return;
    }
    if (!m_session.IsOpen()) {
        m_services.Ask(this, {msg::kErrorCaption, msg::kNoProjectForDrop, QMessageBox::Critical, QMessageBox::Ok});
        return;
    }
    Snimky->AddPictureFiles(paths);
}

void MainWindow::FormShow()
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
    const int handle = sp_Rozdelovatko->handleWidth();
    sp_Rozdelovatko->setSizes({std::max(0, sp_Rozdelovatko->width() - m_panelWidth - handle), m_panelWidth});
    // After the window is on the screen, so questions appear above it.
    QTimer::singleShot(0, this, Guarded(this, m_services, [this] { FormShow(); }));
}

bool MainWindow::FormCloseQuery()
{
    if (m_session.PendingChanges()) {
        m_services.Ask(this, {msg::kWarningCaption, msg::kChangingItems, QMessageBox::Critical, QMessageBox::Ok});
        Panel1->FocusSaveChanges();
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
    Guarded(this, m_services, [this, &accept] { accept = FormCloseQuery(); })();
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
