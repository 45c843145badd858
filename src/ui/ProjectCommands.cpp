#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStatusBar>

#include "avi/audio/AudioTrack.h"
#include "avi/audio/SoundFile.h"
#include "common/Error.h"
#include "project/MusicFit.h"
#include "project/PictureDefaults.h"
#include "project/PictureOrder.h"
#include "project/ProjectFile.h"
#include "session/PathText.h"
#include "session/Recovery.h"
#include "session/SessionNote.h"
#include "ui/FrameList.h"
#include "ui/MainWindow.h"
#include "ui/Messages.h"
#include "ui/QtConvert.h"

// The main window's project commands: opening, saving, closing, making and recovering a project,
// and the questions they ask. They work on the session; the widgets follow its signals.

namespace kinetar::ui {

void MainWindow::SetProjectPath(const QString& path)
{
    m_session.SetProjectPath(path);
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

bool MainWindow::SaveChangesIfWanted()
{
    if (!m_session.Modified()) {
        return true;
    }
    // Escape is Cancel, on leaving the program as on closing a project: the edits stay and
    // nothing happens.
    const auto answer =
        m_services.Ask(this, {msg::kProjectChangedCaption, msg::kSaveChangesQuestion, QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
    return answer != QMessageBox::Cancel && (answer != QMessageBox::Yes || SaveProject());
}

bool MainWindow::CloseProject()
{
    if (!m_session.IsOpen()) {
        return true;
    }
    if (!SaveChangesIfWanted()) {
        return false;
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

std::optional<QString> MainWindow::AskNewProjectPath()
{
    SharedFileDialog& dialog = *m_services.SharedDialog;
    dialog.PrepareFileDialog(kProjectMode);
    dialog.OpenDialog.Title = msg::kNewProjectTitle;
    // The dialog names a file to make, not one to open.
    dialog.OpenDialog.AcceptText = QStringLiteral("&Create");
    if (!m_services.RunSharedDialog(this)) {
        return std::nullopt;
    }
    const QString chosen = dialog.OpenDialog.FileName;
    if (QFileInfo::exists(chosen) &&
        m_services.Ask(this, {msg::kErrorCaption, msg::kProjectFileExists, QMessageBox::Critical,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) != QMessageBox::Yes) {
        return std::nullopt;
    }
    return chosen;
}

void MainWindow::OnNewTriggered()
{
    const std::optional<QString> chosen = AskNewProjectPath();
    if (!chosen || !CloseProject()) {
        return;
    }
    SetProjectPath(*chosen);
    try {
        // A new file in one step: a project that cannot be written leaves the old file as it was.
        project::ReplaceProjectFile(ToNativePath(m_session.ProjectPath()), project::NewProjectHeader(), {});
    } catch (const Error& error) {
        SetProjectPath({});
        m_services.ReportError(this, msg::kProjectNotCreated + FromCoreText(error.what()));
        return;
    }
    OpenWorkingCopy();
}

void MainWindow::OnNewSlideshowTriggered()
{
    const std::optional<SlideshowChoices> choices = m_services.AskSlideshow(this, m_services);
    if (!choices) {
        return;
    }
    const std::optional<QString> chosen = AskNewProjectPath();
    if (!chosen || !CloseProject()) {
        return;
    }
    SetProjectPath(*chosen);
    try {
        const std::string path = ToNativePath(m_session.ProjectPath());
        project::ProjectHeader header = project::NewSlideshowHeader(choices->Settings);
        if (const std::string video = project::SlideshowVideoPath(path); video.size() <= project::kMaxTextLength) {
            project::SetText(header.AviFileName, video);
        }
        // The music first, so that it plays from the first picture on; the pictures by name.
        std::vector<std::string> pictures;
        for (const QString& picture : choices->Pictures) {
            pictures.push_back(ToNativePath(picture));
        }
        std::vector<project::FrameRecord> records;
        for (const QString& sound : choices->Music) {
            records.push_back(avi::NewRecordFor(ToNativePath(sound)));
        }
        const project::FrameEdit defaults = project::WithDefaults({}, choices->Settings.Defaults);
        const auto byName = [](const std::string& left, const std::string& right) {
            return CompareIgnoringCase(FromNativePath(left), FromNativePath(right)) < 0;
        };
        for (const std::string& picture : project::SortPictures(pictures, project::SortMode::Name, byName)) {
            records.push_back(avi::NewRecordFor(picture));
            project::ApplyFrameEdit(records.back(), defaults);
        }
        project::ReplaceProjectFile(path, header, records);
    } catch (const Error& error) {
        SetProjectPath({});
        m_services.ReportError(this, msg::kProjectNotCreated + FromCoreText(error.what()));
        return;
    }
    OpenWorkingCopy();
}

void MainWindow::OnFitToMusicTriggered()
{
    const auto keepRatios =
        m_services.Ask(this, {msg::kQuestionCaption, msg::kKeepDurationRatios, QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
    if (keepRatios == QMessageBox::Cancel) {
        return;
    }
    const std::vector<project::FrameRecord> records = m_session.AllRecords();
    const project::FrameRate rate = project::GetFrameRate(m_session.Header());
    try {
        if (rate.Numerator == 0) {
            throw Error("The project has no frame rate; set one in the settings window");
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const project::MusicFit fit =
            project::FitPicturesToMusic(records, rate, keepRatios == QMessageBox::Yes, [&](std::int32_t record) {
                const QString stored =
                    FromNativePath(project::GetText(records[static_cast<std::size_t>(record)].PictureFileName));
                return avi::SoundSamples(ToNativePath(m_session.FileOf(stored)));
            });
        QList<int> rows;
        std::vector<project::FrameRecord> changed;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (fit.Records[i].Duration != records[i].Duration) {
                rows << static_cast<int>(i);
                changed.push_back(fit.Records[i]);
            }
        }
        if (!rows.isEmpty()) {
            m_session.ReplaceRecords(rows, changed);
        }
        statusBar()->showMessage(QStringLiteral("The pictures now last %1, as the music does.")
                                     .arg(FromCoreText(project::VideoLengthText(fit.VideoFrames, rate))),
                                 10'000);
    } catch (const Error& error) {
        m_services.ReportError(this, msg::kNotFitted + FromCoreText(error.what()));
    }
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

}  // namespace kinetar::ui
