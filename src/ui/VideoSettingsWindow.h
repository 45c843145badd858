#pragma once

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <string>
#include <vector>

#include "avi/engine/AviEngine.h"
#include "project/ProjectFile.h"
#include "session/SoundLength.h"
#include "ui/EngineThread.h"
#include "ui/UiServices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kinetar::session {
class ProjectSession;
}

namespace kinetar::ui {

// What the window shows beside the percentage during a run: "about 1 min 05 s left".
QString TimeLeftText(qint64 milliseconds);

// Edits the video settings of the open project's working copy, runs the generation and shows its
// progress. The main window makes a fresh one for each use and shows it modally.
class VideoSettingsWindow : public QDialog {
    Q_OBJECT

public:
    // Reads and writes the project's header through the session; during a run the session says
    // so, and the main window locks itself.
    VideoSettingsWindow(session::ProjectSession& session, UiServices services, QWidget* parent = nullptr);
    ~VideoSettingsWindow() override;

    // Whether the project's settings changed while the window lived; read after it has closed.
    bool SettingsChanged() const { return m_settingsChanged; }
    bool Generating() const { return m_generating; }

    enum class Direction { ToControls, FromControls };
    // Raises an Error for a width, height or rate that is no 32-bit whole number and for a
    // destination that does not fit the header.
    void TransferSettings(Direction direction, project::ProjectHeader& header);

    void OnSettingEdited();
    void OnDestinationEdited();
    void OnRateEdited();
    // A size picked from the presets goes into the width and height fields.
    void OnSizePresetChosen(int index);
    void OnBackgroundClicked();
    void OnBrowseClicked();
    void OnGenerateClicked();
    void OnMinimizeClicked();
    void OnCloseOrCancelClicked();
    // The engine's progress report; answers whether the run may go on.
    bool ShowProgress(int percent);
    void PlayVideo();

signals:
    // Minimalize was pressed: the program's other windows go down too. They come back when a run
    // ends, as the session stops generating, before any final message.
    void MinimizeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectHandlers();
    void FillFromProject();
    void StorePosition();
    bool MayClose();
    void SetGenerating(bool on);
    void EndGenerating();
    // Steps of a run after the header has been filled from the controls. The engine runs on a
    // thread of its own; its reports and questions come back to this thread in their order.
    void RunEngine(project::ProjectHeader& header);
    bool ReportProgress(const avi::RunProgress& progress);
    avi::FrameErrorAnswer AskFrameErrorInTurn(const avi::UnreadableFile& file);
    // The frames done of all and the time the rest will take, beside the percentage.
    void ShowFramesDone();
    // The field whose value made the run fail, if one did.
    QWidget* FieldAtFault(const project::ProjectHeader& header, std::uint8_t result) const;
    void ShowBackground();
    // The preset list shows the preset of the width and height fields, if one matches.
    void ShowSizePreset();
    // The video's length at the rate in the field, and the music's when the project has sounds.
    void ShowLength();
    // Says when the destination's kind of file needs even sides that the size fields do not have.
    void ShowPaddingNote();
    // The labels say "AVI" for an AVI destination and "video" for the other kinds.
    void ShowKindOfFile();

    session::ProjectSession& m_session;
    UiServices m_services;
    QString m_projectPath;
    // What opening the window proposed for the header (a size from the first picture, a
    // destination): shown only, and written with the first run, so merely looking changes nothing.
    bool m_proposed = false;
    bool m_generating = false;
    bool m_cancelRequested = false;
    bool m_settingsChanged = false;
    // Where the keyboard was in this window and in the main window when the run began; the field
    // to go to instead after a failure.
    QPointer<QWidget> m_focusBefore;
    QPointer<QWidget> m_fieldAtFault;
    // What the run has done, in video frames, and the time spent on frames, questions not counted.
    std::int64_t m_framesDone = 0;
    std::int64_t m_frameCount = 0;
    avi::RunClock m_runClock;
    // The frames as the window was opened, for the video's length.
    std::vector<project::FrameRecord> m_records;
    QColor m_background;
    // The first frame's picture size once the preset has read it.
    QSize m_firstPictureSize;
    // The sound records' files: their total length once it has been read, -1 before.
    QStringList m_soundPaths;
    QList<qint64> m_soundMs;  // of m_soundPaths, once measured
    session::SoundLengthProbe m_soundProbe;

    QLineEdit* m_widthField = nullptr;
    QLineEdit* m_heightField = nullptr;
    QComboBox* m_rateBox = nullptr;
    QComboBox* m_sizePresetBox = nullptr;
    QPushButton* m_backgroundButton = nullptr;
    QCheckBox* m_smoothBox = nullptr;
    QLabel* m_lengthLabel = nullptr;
    QLabel* m_noteLabel = nullptr;
    QComboBox* m_depthBox = nullptr;
    QLineEdit* m_destinationField = nullptr;
    QLabel* m_destinationLabel = nullptr;
    QPushButton* m_browseButton = nullptr;
    QCheckBox* m_playAfterBox = nullptr;
    QPushButton* m_generateButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_percentLabel = nullptr;
    QPushButton* m_minimizeButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QLabel* m_framesDoneText = nullptr;
    QLabel* m_timeLeft = nullptr;

    // Last, so it goes first: a run still under way is stopped and waited for before anything it
    // uses is destroyed.
    EngineThread m_engineThread;
};

}  // namespace kinetar::ui
