#include "ui/MainWindow.h"

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
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "common/Error.h"
#include "project/ProjectFile.h"
#include "settings/FileTypes.h"
#include "settings/StoredSettings.h"
#include "ui/AboutWindow.h"
#include "ui/AviCreateWindow.h"
#include "ui/CommandGuard.h"
#include "ui/DesktopOpener.h"
#include "ui/FrameDetails.h"
#include "ui/FrameList.h"
#include "ui/Prompter.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

namespace {

const QString kSaveChangesQuestion = QStringLiteral("Save changes to project?");
const QString kProjectChangedCaption = QStringLiteral("Project changed");

// From the last "." of the file name on; empty when the name has no ".".
QString Extension(const QString& path)
{
    const QString name = FileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

}  // namespace

MainWindow::MainWindow(QStringList arguments, QWidget* parent) : QMainWindow(parent), m_arguments(std::move(arguments))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Kinetar - program to create AVI video's"));
    setWindowIcon(QIcon(QStringLiteral(":/kinetar/icons/kinetar.svg")));
    m_saveDialogProjekt = ProjectSaveDialogSetup();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateCentralArea();
    CreateStatusBar();
    move(188, 55);
    resize(578, 470);
    FormCreate();
}

MainWindow::~MainWindow()
{
    // FormDestroy: no more drops, then the settings.
    setAcceptDrops(false);
    StoreMainSettings();
    if (!m_workingCopyPath.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_workingCopyPath, ignored);
    }
}

void MainWindow::CreateActions()
{
    const auto action = [this](QAction*& member, const char* name, const QString& text, const QString& icon,
                               const QString& hint) {
        member = new QAction(text, this);
        member->setObjectName(QString::fromLatin1(name));
        if (!icon.isEmpty()) {
            member->setIcon(QIcon(QStringLiteral(":/kinetar/icons/") + icon + QStringLiteral(".svg")));
        }
        member->setToolTip(hint.isEmpty() ? QString(text).remove(u'&') : hint);
    };
    action(menu_Novy, "menu_Novy", QStringLiteral("&New..."), QStringLiteral("project-new"),
           QStringLiteral("Create new project"));
    action(menu_Otevrit, "menu_Otevrit", QStringLiteral("&Open..."), QStringLiteral("project-open"),
           QStringLiteral("Open existing project"));
    action(menu_Ulozit, "menu_Ulozit", QStringLiteral("&Save"), QStringLiteral("project-save"),
           QStringLiteral("Save project"));
    action(menu_UlozitJako, "menu_UlozitJako", QStringLiteral("Save &as..."), QStringLiteral("project-save-as"),
           QStringLiteral("Save project as.."));
    action(menu_Zavrit, "menu_Zavrit", QStringLiteral("&Close"), QStringLiteral("project-close"),
           QStringLiteral("Close current project"));
    action(menu_Konec, "menu_Konec", QStringLiteral("&Exit"), {}, {});
    action(tl_PosunNahoru, "tl_PosunNahoru", QStringLiteral("Move up"), QStringLiteral("frame-move-up"),
           QStringLiteral("Move up(ALT+ UP arrow)"));
    action(tl_PosunDolu, "tl_PosunDolu", QStringLiteral("Move down"), QStringLiteral("frame-move-down"),
           QStringLiteral("Move down(ALT+ DOWN arrow)"));
    action(menu_Snimek_Pridat, "menu_Snimek_Pridat", QStringLiteral("&Add pictures..."), QStringLiteral("frames-add"),
           QStringLiteral("Add pictures..."));
    action(menu_Snimek_Odebrat, "menu_Snimek_Odebrat", QStringLiteral("&Remove items..."),
           QStringLiteral("frames-remove"), QStringLiteral("Remove selected items"));
    action(menu_GenerovatAVI, "menu_GenerovatAVI", QStringLiteral("&Generate AVI file..."),
           QStringLiteral("generate-avi"), QStringLiteral("Generate AVI..."));
    action(menu_tools_ext_reg, "menu_tools_ext_reg", QStringLiteral("&Register"), {}, {});
    action(menu_tools_ext_unreg, "menu_tools_ext_unreg", QStringLiteral("&Unregister"), {}, {});
    action(menu_WWWPage, "menu_WWWPage", QStringLiteral("&WWW site..."), {}, {});
    action(menu_OProgramu, "menu_OProgramu", QStringLiteral("&About..."), {}, {});

    const auto handle = [this](QAction* item, void (MainWindow::*handler)()) {
        connect(item, &QAction::triggered, this, Guarded(this, [this, handler] { (this->*handler)(); }));
    };
    handle(menu_Novy, &MainWindow::menu_NovyClick);
    handle(menu_Otevrit, &MainWindow::menu_OtevritClick);
    handle(menu_Ulozit, &MainWindow::menu_UlozitClick);
    handle(menu_UlozitJako, &MainWindow::menu_UlozitJakoClick);
    handle(menu_Zavrit, &MainWindow::menu_ZavritClick);
    handle(menu_Konec, &MainWindow::menu_KonecClick);
    handle(menu_WWWPage, &MainWindow::menu_WWWPageClick);
    handle(menu_OProgramu, &MainWindow::menu_OProgramuClick);
    handle(menu_GenerovatAVI, &MainWindow::menu_GenerovatAVIClick);
    for (QAction* item : {menu_tools_ext_reg, menu_tools_ext_unreg}) {
        connect(item, &QAction::triggered, this, Guarded(this, [this, item] { menu_tools_ext_unregClick(item); }));
    }
}

void MainWindow::CreateMenus()
{
    menu_m_projekt = menuBar()->addMenu(QStringLiteral("&Project"));
    menu_m_projekt->setObjectName(QStringLiteral("menu_m_projekt"));
    menu_m_projekt->addActions({menu_Novy, menu_Otevrit, menu_Ulozit, menu_UlozitJako, menu_Zavrit});
    menu_m_projekt->addSeparator();
    menu_m_projekt->addAction(menu_Konec);
    connect(menu_m_projekt, &QMenu::aboutToShow, this, Guarded(this, [this] { menu_m_projektClick(); }));

    menu_m_polozka = menuBar()->addMenu(QStringLiteral("&Items"));
    menu_m_polozka->setObjectName(QStringLiteral("menu_m_polozka"));
    menu_m_polozka->addActions({menu_Snimek_Pridat, menu_Snimek_Odebrat});

    menu_m_nastroje = menuBar()->addMenu(QStringLiteral("&Tools"));
    menu_m_nastroje->setObjectName(QStringLiteral("menu_m_nastroje"));
    menu_m_nastroje->addAction(menu_GenerovatAVI);
    menu_tools_ext = menu_m_nastroje->addMenu(QStringLiteral("&Project extension"));
    menu_tools_ext->setObjectName(QStringLiteral("menu_tools_ext"));
    menu_tools_ext->addActions({menu_tools_ext_reg, menu_tools_ext_unreg});

    menu_m_napoveda = menuBar()->addMenu(QStringLiteral("&Help"));
    menu_m_napoveda->setObjectName(QStringLiteral("menu_m_napoveda"));
    menu_m_napoveda->addActions({menu_WWWPage, menu_OProgramu});
}

void MainWindow::CreateToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("Toolbar"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->toggleViewAction()->setEnabled(false);
    const auto button = [this](QAction* item, const char* name) {
        ToolBar1->addAction(item);
        ToolBar1->widgetForAction(item)->setObjectName(QString::fromLatin1(name));
    };
    button(menu_Novy, "tl_Projekt_Novy");
    button(menu_Otevrit, "tl_Project_Open");
    button(menu_Ulozit, "tl_Project_Save");
    button(menu_UlozitJako, "tl_Project_SaveAs");
    button(menu_Zavrit, "tl_Project_Close");
    ToolBar1->addSeparator();
    button(tl_PosunNahoru, "tl_PosunNahoru");
    button(tl_PosunDolu, "tl_PosunDolu");
    button(menu_Snimek_Pridat, "tl_Polozka_Add");
    button(menu_Snimek_Odebrat, "tl_Polozka_Remove");
    ToolBar1->addSeparator();
    button(menu_GenerovatAVI, "tl_Nastroje_GenerateAVI");
}

void MainWindow::CreateCentralArea()
{
    Snimky = new FrameList(
        *this, {tl_PosunNahoru, tl_PosunDolu, menu_Snimek_Pridat, menu_Snimek_Odebrat, menu_m_polozka->menuAction()});
    connect(Snimky, &QListWidget::itemSelectionChanged, this, Guarded(this, [this] { Snimky->SnimkyClick(); }));
    connect(menu_Snimek_Pridat, &QAction::triggered, this,
            Guarded(this, [this] { Snimky->menu_Snimek_PridatClick(); }));
    connect(menu_Snimek_Odebrat, &QAction::triggered, this,
            Guarded(this, [this] { Snimky->menu_Snimek_OdebratClick(); }));
    connect(tl_PosunNahoru, &QAction::triggered, this, Guarded(this, [this] { Snimky->tl_PosunNahoruClick(); }));
    connect(tl_PosunDolu, &QAction::triggered, this, Guarded(this, [this] { Snimky->tl_PosunDoluClick(); }));

    PanelMain = new QWidget;
    PanelMain->setObjectName(QStringLiteral("PanelMain"));
    auto* panelLayout = new QVBoxLayout(PanelMain);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    Panel1 = new FrameDetails(*this);
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

void MainWindow::FormCreate()
{
    m_projectModified = false;
    SetProjectPath({});
    LoadMainSettings();
    setAcceptDrops(true);
    Snimky->SnimkyClick();
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
    const settings::MainWindowSettings stored = settings::LoadMainSettings(CurrentPlacement(m_projectPath));
    move(stored.Left, stored.Top);
    resize(stored.Width, stored.Height);
    m_panelWidth = stored.PanelWidth;
    if (!stored.LastProject.isEmpty() && IsExistingFile(stored.LastProject)) {
        SetProjectPath(stored.LastProject);
    }
}

void MainWindow::StoreMainSettings()
{
    settings::StoreMainSettings(CurrentPlacement(m_lastProject));
}

void MainWindow::SetProjectPath(const QString& path)
{
    QString absolute;
    if (!path.isEmpty()) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString folder = path.left(slash + 1);
        if (QDir::setCurrent(folder) || folder.isEmpty()) {
            absolute = QDir::currentPath();
            if (!absolute.endsWith(u'/')) {
                absolute += u'/';
            }
            absolute += path.mid(slash + 1);
        } else {
            // A folder that cannot be entered stays in the path, so the project is never looked for
            // or written anywhere else.
            absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
        }
    }
    m_projectPath = absolute;
    const bool open = !m_projectPath.isEmpty();
    Panel1->setVisible(open);
    for (QAction* item : {menu_Ulozit, menu_UlozitJako, menu_Zavrit, menu_Snimek_Pridat, menu_GenerovatAVI}) {
        item->setEnabled(open);
    }
    menu_m_polozka->menuAction()->setEnabled(open);
    m_statusProject->setText(open ? QStringLiteral("Project: ") + m_projectPath : QStringLiteral("No project opened."));
}

bool MainWindow::OpenWorkingCopy()
{
    const std::string project = ToNativePath(m_projectPath);
    try {
        m_workingCopyPath = project::MakeTempFileName();
        project::CopyProjectFile(project, m_workingCopyPath);
    } catch (const Error& error) {
        // Never open an empty working copy that a later Save would put over the project.
        if (!m_workingCopyPath.empty()) {
            std::error_code ignored;
            std::filesystem::remove(m_workingCopyPath, ignored);
            m_workingCopyPath.clear();
        }
        SetProjectPath({});
        ReportError(QStringLiteral("The project was not opened.\r\n") + FromCoreText(error.what()));
        return false;
    }
    std::vector<project::FrameRecord> records;
    try {
        project::ReadProject(m_workingCopyPath, &records);
    } catch (const Error&) {
        // A copy too short for its header shows no frames, as an empty project would.
    }
    Snimky->Fill(records);
    m_projectModified = false;
    Snimky->UpdateFrameCommands();
    return true;
}

bool MainWindow::SaveProject()
{
    if (!m_projectPath.isEmpty()) {
        try {
            project::CopyProjectFile(m_workingCopyPath, ToNativePath(m_projectPath));
        } catch (const Error& error) {
            ReportError(QStringLiteral("The project was not saved.\r\n") + FromCoreText(error.what()));
            return false;
        }
    }
    m_projectModified = false;
    return true;
}

void MainWindow::ReportError(const QString& text)
{
    Ask(this, {QStringLiteral("Error"), text, QMessageBox::Critical, QMessageBox::Ok});
}

bool MainWindow::CloseProject()
{
    if (m_projectPath.isEmpty()) {
        m_projectModified = false;
        return true;
    }
    if (m_projectModified && Ask(this, {kProjectChangedCaption, kSaveChangesQuestion, QMessageBox::Question,
                                        QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes) {
        if (!SaveProject()) {
            return false;
        }
    }
    Snimky->Fill({});
    std::error_code ignored;
    std::filesystem::remove(m_workingCopyPath, ignored);
    m_workingCopyPath.clear();
    SetProjectPath({});
    Snimky->SnimkyClick();
    m_projectModified = false;
    return true;
}

void MainWindow::OpenProject(const QString& path)
{
    if (!CloseProject()) {
        return;
    }
    SetProjectPath(path);
    // Every way here is locked while the details hold unsaved edits, so there is no such mode to
    // leave (leaving it would enable the frame commands whatever the selection).
    if (OpenWorkingCopy()) {
        m_projectModified = false;
    }
}

void MainWindow::menu_NovyClick()
{
    const project::ProjectHeader header = project::NewProjectHeader();
    SdilenePrvky& dialog = *SdilenePrvky::Instance();
    dialog.PrepareFileDialog(kProjectMode);
    dialog.OpenDialog.Title = QStringLiteral("Creating new project...Please,select name of new project");
    if (!dialog.Execute(this)) {
        return;
    }
    const QString chosen = dialog.OpenDialog.FileName;
    if (QFileInfo::exists(chosen) &&
        Ask(this, {QStringLiteral("Error"), QStringLiteral("Project file exists!\r\nOverwrite it?"),
                   QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) !=
            QMessageBox::Yes) {
        return;
    }
    if (!CloseProject()) {
        return;
    }
    SetProjectPath(chosen);
    try {
        // A new file in one step: a project that cannot be written leaves the old file as it was.
        project::ReplaceProjectFile(ToNativePath(m_projectPath), header, {});
    } catch (const Error& error) {
        SetProjectPath({});
        ReportError(QStringLiteral("The project was not created.\r\n") + FromCoreText(error.what()));
        return;
    }
    OpenWorkingCopy();
}

void MainWindow::menu_OtevritClick()
{
    SdilenePrvky& dialog = *SdilenePrvky::Instance();
    dialog.PrepareFileDialog(kProjectMode);
    dialog.OpenDialog.FileMustExist = true;
    if (!dialog.Execute(this)) {
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
    if (!ExecuteFileDialog(this, m_saveDialogProjekt)) {
        return;
    }
    const QString chosen = m_saveDialogProjekt.FileName;
    if (QFileInfo::exists(chosen) &&
        Ask(this, {QStringLiteral("Question"), QStringLiteral("File exists.\r\nOverwrite it?"), QMessageBox::NoIcon,
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) != QMessageBox::Yes) {
        return;
    }
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
    font.setBold(m_projectModified);
    menu_Ulozit->setFont(font);
}

void MainWindow::menu_GenerovatAVIClick()
{
    TAVICreateWindow window(m_projectPath, m_workingCopyPath, {Snimky, menu_m_polozka, menu_m_projekt}, this);
    window.exec();
    m_projectModified = m_projectModified || window.SettingsChanged();
}

void MainWindow::menu_WWWPageClick()
{
    if (!OpenWithDesktop(QUrl(WebSiteAddress()))) {
        Ask(this, {QStringLiteral("Error"),
                   QStringLiteral("WWW page couldn't be runed , probably you haven't \r\ninstaled any WWW browser."),
                   QMessageBox::Critical, QMessageBox::Ok});
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
        text = QStringLiteral("Extension .AVIprj was succesfully registered.");
    } else {
        settings::UnregisterProjectFileType();
        text = QStringLiteral("Extension .AVIprj was succesfully unregistered.");
    }
    Ask(this, {QStringLiteral("Information"), text, QMessageBox::Information, QMessageBox::Ok});
}

void MainWindow::DropFiles(const QStringList& paths)
{
    if (paths.size() == 1 && Extension(paths.front()) == QStringLiteral(".AVIprj")) {
        OpenProject(paths.front());
        return;
    }
    if (m_projectPath.isEmpty()) {
        Ask(this, {QStringLiteral("Error"),
                   QStringLiteral("You haven't opened project!\r\nYou can't use DRAG&DROP for pictures in this stage."),
                   QMessageBox::Critical, QMessageBox::Ok});
        return;
    }
    Snimky->AddPictureFiles(paths);
}

void MainWindow::FormShow()
{
    if (m_arguments.size() == 1) {
        const QString& argument = m_arguments.front();
        if (IsExistingFile(argument)) {
            SetProjectPath(argument);
        } else if (Ask(this, {QStringLiteral("Question"),
                              QStringLiteral("Project doesn't exists.\r\nDo you want to create it?"),
                              QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) ==
                   QMessageBox::Yes) {
            SetProjectPath(argument);
            try {
                project::ReplaceProjectFile(ToNativePath(m_projectPath), project::BlankProjectHeader(), {});
            } catch (const Error& error) {
                SetProjectPath({});
                ReportError(QStringLiteral("The project was not created.\r\n") + FromCoreText(error.what()));
            }
        }
    }
    if (!m_projectPath.isEmpty()) {
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
    QTimer::singleShot(0, this, Guarded(this, [this] { FormShow(); }));
}

bool MainWindow::FormCloseQuery()
{
    if (Panel1->EditingMode()) {
        Ask(this, {QStringLiteral("Warning"),
                   QStringLiteral("You are changing some items.\r\nPlease, confirm(cancel) your changes and than "
                                  "close this program"),
                   QMessageBox::Critical, QMessageBox::Ok});
        if (auto* saveChanges = findChild<QWidget*>(QStringLiteral("bt_UlozitZmeny"))) {
            saveChanges->setFocus();
        }
        return false;
    }
    if (m_projectModified) {
        const auto answer = Ask(this, {kProjectChangedCaption, kSaveChangesQuestion, QMessageBox::Question,
                                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !SaveProject())) {
            return false;
        }
    }
    m_lastProject = m_projectPath;
    m_projectModified = false;
    CloseProject();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool accept = false;
    Guarded(this, [this, &accept] { accept = FormCloseQuery(); })();
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
    if (event->mimeData()->hasUrls() && !Panel1->EditingMode()) {
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
    Guarded(this, [this, paths] { DropFiles(paths); })();
}

void MainWindow::EnableFrameEditing(bool enabled)
{
    Snimky->setEnabled(enabled);
    menu_m_polozka->menuAction()->setEnabled(enabled);
    for (QAction* item : {tl_PosunNahoru, tl_PosunDolu, menu_Snimek_Pridat, menu_Snimek_Odebrat, menu_Novy,
                          menu_Otevrit, menu_Zavrit, menu_Ulozit, menu_UlozitJako, menu_GenerovatAVI}) {
        item->setEnabled(enabled);
    }
}

QString WebSiteAddress()
{
    const QString configured = QStringLiteral(KINETAR_WEB_SITE);
    const QUrl url(configured);
    // Run from the build folder, the manual is not installed yet: the one beside the sources serves.
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()) &&
        QFileInfo::exists(QStringLiteral(KINETAR_SOURCE_MANUAL))) {
        return QUrl::fromLocalFile(QStringLiteral(KINETAR_SOURCE_MANUAL)).toString();
    }
    return configured;
}

}  // namespace kinetar::ui
