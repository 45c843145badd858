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
#include "project/MusicFit.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"
#include "session/Recovery.h"
#include "session/SessionNote.h"
#include "settings/FileTypes.h"
#include "settings/StoredSettings.h"
#include "ui/AboutWindow.h"
#include "ui/CaptionFields.h"
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
    ConnectPlayer();
    move(188, 55);
    resize(578, 470);
    RestoreWindowState();
}

MainWindow::~MainWindow()
{
    // No more drops, then the settings.
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
    // The title's window saves at once; the keyboard goes back to the list, as after Add title....
    connect(&m_details->Caption(), &CaptionFields::TitleEdited, m_frameList,
            [this] { m_frameList->setFocus(Qt::OtherFocusReason); });

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
    m_statusLength = new QLabel;
    m_statusLength->setObjectName(QStringLiteral("StatusBar_Length"));
    statusBar()->addWidget(m_statusVersion);
    statusBar()->addWidget(m_statusProject, 1);
    statusBar()->addPermanentWidget(m_statusLength);
}

void MainWindow::ShowShowLength()
{
    const project::FrameRate rate = project::GetFrameRate(m_session.Header());
    if (!m_session.IsOpen() || rate.Numerator == 0) {
        m_statusLength->clear();
        return;
    }
    const std::vector<project::FrameRecord> records = m_session.AllRecords();
    QStringList sounds;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (project::IsSoundRecord(records[i])) {
            sounds << m_session.FileOf(FromNativePath(project::GetText(records[i].PictureFileName)));
        }
    }
    if (sounds != m_probedSounds) {
        m_probedSounds = sounds;
        m_soundMilliseconds.clear();
        if (!sounds.isEmpty()) {
            m_lengthProbe.Measure(sounds);
        }
    }
    QString text = FromCoreText(project::VideoLengthText(project::VideoFrameCount(records, rate), rate));
    if (!sounds.isEmpty()) {
        text += QStringLiteral(" \u00b7 ") +
                session::MusicLengthText(records, rate, m_soundMilliseconds, QStringLiteral(" \u00b7 "));
    }
    m_statusLength->setText(text);
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
    connect(&m_session.History(), &session::UndoHistory::CanUndoChanged, this, &MainWindow::UpdateCommands);
    connect(&m_session.History(), &session::UndoHistory::CanRedoChanged, this, &MainWindow::UpdateCommands);
    connect(&m_session, &session::ProjectSession::ModifiedChanged, this, &MainWindow::ShowModified);
    for (const auto signal : {&session::ProjectSession::ProjectOpened, &session::ProjectSession::ProjectClosed,
                              &session::ProjectSession::FramesReset, &session::ProjectSession::HeaderChanged}) {
        connect(&m_session, signal, this, &MainWindow::ShowShowLength);
    }
    connect(&m_session, &session::ProjectSession::FramesInserted, this, &MainWindow::ShowShowLength);
    connect(&m_session, &session::ProjectSession::FramesRemoved, this, &MainWindow::ShowShowLength);
    connect(&m_session, &session::ProjectSession::FramesMoved, this, &MainWindow::ShowShowLength);
    connect(&m_session, &session::ProjectSession::FramesChanged, this, &MainWindow::ShowShowLength);
    connect(&m_lengthProbe, &session::SoundLengthProbe::Measured, this, [this](int, const QList<qint64>& milliseconds) {
        if (milliseconds.size() == m_probedSounds.size()) {
            m_soundMilliseconds = milliseconds;
            ShowShowLength();
        }
    });
    // Minimised during a run, the window comes back when the run ends, before its final message.
    connect(&m_session, &session::ProjectSession::GeneratingChanged, this, [this](bool on) {
        if (!on) {
            ShowRestored();
        }
    });
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

void MainWindow::ShowThumbnails(bool shown)
{
    m_thumbnailLines->SetEnabled(shown);
    settings::StoreThumbnailsShown(shown);
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
    connect(&window, &VideoSettingsWindow::MinimizeRequested, this, &QWidget::showMinimized);
    window.exec();
    changed = window.SettingsChanged();
}

void MainWindow::ShowRestored()
{
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
    }
}

void MainWindow::ReturnFromSettings()
{
    // A window manager may leave no window active once the dialog is gone; the user goes on in the
    // list.
    ShowRestored();
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
    if (!SaveChangesIfWanted()) {
        return false;
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
