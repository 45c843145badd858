#pragma once

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <string>
#include <vector>

#include "avi/engine/AviEngine.h"
#include "project/ProjectFile.h"
#include "ui/EngineThread.h"
#include "ui/SoundLength.h"
#include "ui/UiServices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace kinetar::ui {

class ProjectSession;

// What the settings window disables in the main window while a run is in progress.
struct MainWindowControls {
    QWidget* Snimky = nullptr;
    QMenu* menu_m_polozka = nullptr;
    QMenu* menu_m_projekt = nullptr;
    QMenu* menu_m_upravy = nullptr;  // undo and redo wait for the run's end too
};

// What the window shows beside the percentage during a run: "about 1 min 05 s left".
QString TimeLeftText(qint64 milliseconds);

// Edits the video settings of the open project's working copy, runs the generation and shows its
// progress. The main window makes a fresh one for each use and shows it modally.
class TAVICreateWindow : public QDialog {
    Q_OBJECT

public:
    // Reads and writes the header of the session's working copy.
    TAVICreateWindow(ProjectSession& session, UiServices services, MainWindowControls mainWindow,
                     QWidget* parent = nullptr);
    ~TAVICreateWindow() override;

    // Whether the project's settings changed while the window lived; read after it has closed.
    bool SettingsChanged() const { return m_settingsChanged; }
    bool Generating() const { return m_generating; }

    enum class Direction { ToControls, FromControls };
    // Raises an Error for a width, height or rate that is no 32-bit whole number and for a
    // destination that does not fit the header.
    void TransferSettings(Direction direction, project::ProjectHeader& header);

    void ed_SirkaAVIChange();
    void ed_FileNameAVIChange();
    void cb_SnimkuZaSekunduChange();
    // Whether a typed character may reach the width or height field.
    static bool ed_SirkaAVIKeyPress(QChar key);
    // Whether a typed character may reach the rate field, whose text is `rest` without what the
    // character replaces: a digit, a control character, one "." and one "/".
    static bool cb_SnimkuZaSekunduKeyPress(QChar key, const QString& rest);
    // A size picked from the presets goes into the width and height fields.
    void cb_VelikostAVISelect(int index);
    void bt_BarvaPozadiClick();
    void Button1Click();
    void bt_GenerujClick();
    void Button2Click();
    void Button3Click();
    // The engine's progress report; answers whether the run may go on.
    bool ShowProgress(int percent);
    void PlayAVI();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectHandlers();
    void FormCreate();
    void FormDestroy();
    bool FormCloseQuery();
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

    ProjectSession& m_session;
    UiServices m_services;
    QString m_projectPath;
    std::string m_workingCopyPath;
    MainWindowControls m_mainWindow;
    bool m_generating = false;
    bool m_cancelRequested = false;
    bool m_settingsChanged = false;
    // Where the keyboard was in this window and in the main window when the run began; the field
    // to go to instead after a failure.
    QPointer<QWidget> m_focusBefore;
    QPointer<QWidget> m_mainFocusBefore;
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
    qint64 m_musicMs = -1;
    SoundLengthProbe m_soundProbe;

    QLineEdit* ed_SirkaAVI = nullptr;
    QSpinBox* ud_SirkaAVI = nullptr;
    QLineEdit* ed_VyskaAVI = nullptr;
    QSpinBox* ud_VyskaAVI = nullptr;
    QComboBox* cb_SnimkuZaSekundu = nullptr;
    QComboBox* cb_VelikostAVI = nullptr;
    QPushButton* bt_BarvaPozadi = nullptr;
    QCheckBox* ch_HladkeZmenseni = nullptr;
    QLabel* lb_DelkaVidea = nullptr;
    QLabel* lb_Poznamka = nullptr;
    QComboBox* cb_HloubkaBarevAVI = nullptr;
    QLineEdit* ed_FileNameAVI = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* ch_playAVIafter = nullptr;
    QPushButton* bt_Generuj = nullptr;
    QProgressBar* ProgressBar_Generace = nullptr;
    QLabel* Prubeh = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QLabel* m_framesDoneText = nullptr;
    QLabel* m_timeLeft = nullptr;

    // Last, so it goes first: a run still under way is stopped and waited for before anything it
    // uses is destroyed.
    EngineThread m_engineThread;
};

}  // namespace kinetar::ui
