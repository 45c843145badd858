#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <cmath>

#include "avi/engine/AviEngine.h"
#include "avi/engine/ResultCode.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/Container.h"
#include "project/RecordPaths.h"
#include "session/ProjectSession.h"
#include "ui/CommandGuard.h"
#include "ui/QtConvert.h"
#include "ui/VideoSettingsWindow.h"

// The run of the settings window: the engine on its own thread, its progress, the time left, the
// questions in their turn and what the window shows afterwards.

namespace kinetar::ui {

namespace {

const QString kCreateErrorCaption = QStringLiteral("AVI create error");

avi::FrameErrorAnswer AskFrameError(const UiServices& services, const std::string& message)
{
    // No owner: the settings window stays usable while the question is open.
    switch (
        services.Ask(nullptr, {QString::fromLatin1(avi::kFrameErrorCaption), FromCoreText(avi::FrameErrorText(message)),
                               QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel})) {
    case QMessageBox::Yes:
        return avi::FrameErrorAnswer::Yes;
    case QMessageBox::No:
        return avi::FrameErrorAnswer::No;
    default:
        return avi::FrameErrorAnswer::Cancel;
    }
}

}  // namespace

QString TimeLeftText(qint64 milliseconds)
{
    const qint64 seconds = (std::max<qint64>(milliseconds, 0) + 999) / 1000;
    if (seconds < 60) {
        return QStringLiteral("about %1 s left").arg(seconds);
    }
    if (seconds < 3600) {
        return QStringLiteral("about %1 min %2 s left").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
    }
    const qint64 minutes = seconds / 60;
    return QStringLiteral("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar(u'0'));
}

void VideoSettingsWindow::SetGenerating(bool on)
{
    if (on) {
        // Disabling a control that has the keyboard sends it elsewhere; it comes back after the run.
        m_focusBefore = focusWidget();
    }
    m_generating = on;
    m_generateButton->setEnabled(!on);
    // The main window locks its list, menus and toolbar on this.
    m_session.SetGenerating(on);
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_widthField, m_heightField, m_depthBox, m_destinationField, m_rateBox,
                                         m_browseButton, m_sizePresetBox, m_backgroundButton, m_smoothBox}) {
        control->setEnabled(!on);
    }
    if (!on) {
        QWidget* focus = m_fieldAtFault != nullptr ? m_fieldAtFault.data() : m_focusBefore.data();
        if (focus != nullptr) {
            focus->setFocus();
        }
        m_fieldAtFault = nullptr;
    }
}

void VideoSettingsWindow::EndGenerating()
{
    SetGenerating(false);
    m_framesDoneText->clear();
    m_timeLeft->clear();
    ShowProgress(0);
}

void VideoSettingsWindow::OnGenerateClicked()
{
    SetGenerating(true);
    m_closeButton->setText(QStringLiteral("&Cancel"));
    try {
        project::ProjectHeader header = m_session.Header();
        bool transferred = false;
        try {
            TransferSettings(Direction::FromControls, header);
            transferred = true;
        } catch (const std::exception& error) {
            ShowUncaughtError(m_services.Ask, this, error);
            m_cancelRequested = true;
        }
        if (transferred) {
            RunEngine(header);
        }
    } catch (const std::exception& error) {
        ShowUncaughtError(m_services.Ask, this, error);
        m_cancelRequested = true;
    }
    // Minimised during the run: back before the final message (the main window comes back as the
    // session stops generating).
    EndGenerating();
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
    }
    if (!m_cancelRequested) {
        if (m_playAfterBox->isChecked()) {
            PlayVideo();
        } else {
            m_services.Ask(this, {QStringLiteral("Information"), QStringLiteral("AVI generation done."),
                                  QMessageBox::Information, QMessageBox::Ok});
        }
        close();
    }
    m_cancelRequested = false;
    m_closeButton->setText(QStringLiteral("&Close"));
}

void VideoSettingsWindow::RunEngine(project::ProjectHeader& header)
{
    // The engine is given the project folder's files by absolute paths, the pictures and sounds the
    // records name relatively and the destination alike, wherever the program was started; the
    // header keeps the destination as it was typed.
    const project::RecordsWithAbsolutePaths records(m_session.WorkingCopyPath(), m_session.ProjectFolder());
    project::ProjectHeader runHeader = header;
    project::SetText(runHeader.AviFileName,
                     ToNativePath(m_session.FileOf(FromNativePath(project::GetText(header.AviFileName)))));
    // What opening proposed is written with the first run, as the run uses it.
    m_settingsChanged = m_settingsChanged || m_proposed;
    m_proposed = false;
    if (m_settingsChanged) {
        (void)m_session.WriteHeader(header);
    }
    m_framesDone = 0;
    m_frameCount = 0;
    m_runClock = {};
    avi::EngineServices services;
    const avi::Container container = avi::ContainerForPath(project::GetText(header.AviFileName));
    services.ChooseCompressor = [this, container](project::CodecSettings& variables, const avi::FrameDIB& format) {
        const auto choice = m_engineThread.OnUiThread<std::optional<project::CodecSettings>>(
            [this, container, &format, choice = variables]() mutable -> std::optional<project::CodecSettings> {
                const bool chosen = m_services.ChooseCompressor(this, container, choice, format);
                m_runClock.Start(avi::RunClock::Clock::now());  // the time left counts from the first frame
                return chosen ? std::optional(choice) : std::nullopt;
            },
            std::nullopt);
        if (choice) {
            variables = *choice;
        }
        return choice.has_value();
    };
    services.AskFrameError = [this](const avi::UnreadableFile& file) {
        return m_engineThread.OnUiThread<avi::FrameErrorAnswer>([this, file] { return AskFrameErrorInTurn(file); },
                                                                avi::FrameErrorAnswer::Cancel);
    };
    avi::RunOutcome outcome;
    services.Outcome = &outcome;
    const avi::ProgressCallback progress = [this](const avi::RunProgress& report) {
        return m_engineThread.OnUiThread<bool>([this, report] { return ReportProgress(report); }, false);
    };
    // The engine has its own copies of what it writes to, read here only after it has ended.
    std::uint8_t result = avi::kResultDone;
    bool settingsChanged = m_settingsChanged;
    try {
        m_engineThread.Run(
            [&] { m_services.CreateAVI(runHeader, records.Path(), settingsChanged, progress, result, services); });
    } catch (const std::exception& error) {
        m_settingsChanged = m_settingsChanged || settingsChanged;
        m_fieldAtFault = FieldAtFault(header, result);
        m_services.Ask(this, {kCreateErrorCaption, FromCoreText(error.what()), QMessageBox::Critical, QMessageBox::Ok});
        m_cancelRequested = true;
        return;
    }
    m_settingsChanged = m_settingsChanged || settingsChanged;
    header.CodecSettings = runHeader.CodecSettings;
    if (result == avi::kResultDone || result == avi::kResultStopped) {
        // The header now holds the run's compressor choice.
        if (m_settingsChanged) {
            (void)m_session.WriteHeader(header);
        }
    } else {
        m_fieldAtFault = FieldAtFault(header, result);
        std::string message = avi::ResultMessage(static_cast<avi::ResultCode>(result));
        // A refused link is not a file in use: say what it is.
        if (result == avi::kResultCannotOpenFile && !outcome.Detail.empty()) {
            message += "\r\n" + outcome.Detail;
        }
        m_services.Ask(this, {kCreateErrorCaption, FromCoreText(message), QMessageBox::Critical, QMessageBox::Ok});
    }
    if (result != avi::kResultDone) {
        m_cancelRequested = true;
    }
}

bool VideoSettingsWindow::ReportProgress(const avi::RunProgress& progress)
{
    // Video frames, so a picture shown for many frames moves the count and the time left evenly.
    m_framesDone = progress.FramesDone;
    m_frameCount = progress.FramesTotal;
    m_runClock.Report(m_framesDone, avi::RunClock::Clock::now());
    ShowFramesDone();
    return ShowProgress(progress.Percent);
}

avi::FrameErrorAnswer VideoSettingsWindow::AskFrameErrorInTurn(const avi::UnreadableFile& file)
{
    const auto asked = avi::RunClock::Clock::now();
    const avi::FrameErrorAnswer answer = AskFrameError(m_services, file.Message);
    m_runClock.Exclude(avi::RunClock::Clock::now() - asked);
    return answer;
}

void VideoSettingsWindow::ShowFramesDone()
{
    m_framesDoneText->setText(QStringLiteral("%1 / %2 frames").arg(m_framesDone).arg(m_frameCount));
    const auto secondsLeft = m_runClock.SecondsLeft(m_frameCount);
    if (m_framesDone == 0 || m_framesDone >= m_frameCount || !secondsLeft) {
        m_timeLeft->clear();
        return;
    }
    m_timeLeft->setText(TimeLeftText(std::llround(*secondsLeft * 1000)));
}

QWidget* VideoSettingsWindow::FieldAtFault(const project::ProjectHeader& header, std::uint8_t result) const
{
    const auto outOfRange = [](std::int32_t side) { return side < avi::kMinVideoSide || side > avi::kMaxVideoSide; };
    if (outOfRange(header.Width)) {
        return m_widthField;
    }
    if (outOfRange(header.Height)) {
        return m_heightField;
    }
    if (header.FramesPerSecond < 1) {
        return m_rateBox;
    }
    switch (result) {
    case avi::kResultCannotOpenFile:
    case avi::kResultWriteFailed:
        return m_destinationField;
    case avi::kResultFormatRefused:
        return m_depthBox;
    default:
        return nullptr;
    }
}

bool VideoSettingsWindow::ShowProgress(int percent)
{
    m_progressBar->setValue(percent);
    m_percentLabel->setText(QString::number(percent) + QStringLiteral(" %"));
    // The run waits on its own thread while this thread's events go on, so the buttons work.
    return !m_cancelRequested;
}

void VideoSettingsWindow::OnCloseOrCancelClicked()
{
    if (m_generating) {
        m_cancelRequested = true;
        return;
    }
    close();
}

void VideoSettingsWindow::OnMinimizeClicked()
{
    // The program's own windows go down together; the user's other programs stay as they are.
    emit MinimizeRequested();
    showMinimized();
}

bool VideoSettingsWindow::MayClose()
{
    if (m_generating) {
        m_services.Ask(this, {QStringLiteral("Error"), QStringLiteral("Generating now, please cancel before close!"),
                              QMessageBox::Critical, QMessageBox::Ok});
        return false;
    }
    return true;
}

void VideoSettingsWindow::closeEvent(QCloseEvent* event)
{
    bool accept = false;
    Guarded(this, m_services, [this, &accept] { accept = MayClose(); })();
    if (accept) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

void VideoSettingsWindow::PlayVideo()
{
    if (!m_services.OpenDocument(QUrl::fromLocalFile(m_session.FileOf(m_destinationField->text())))) {
        m_services.Ask(this,
                       {QStringLiteral("Error"),
                        QStringLiteral("Can't play AVI file. There is some error.\r\nHave you associate AVI file?"),
                        QMessageBox::Critical, QMessageBox::Ok});
    }
}

}  // namespace kinetar::ui
