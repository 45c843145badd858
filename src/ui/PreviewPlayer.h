#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>

#include "avi/engine/ShowFrames.h"
#include "ui/PlaybackClock.h"
#include "ui/PlayerFrames.h"

class QBoxLayout;
class QLabel;
class QSlider;
class QToolButton;

namespace kinetar::session {
class ProjectSession;
}

namespace kinetar::ui {

// The preview that plays the show: the frames the video will have at the size of the panel, in time
// with its sound, a Play/Pause button, a time bar and the time. It starts at the selected picture;
// while it plays the list follows the picture on screen. A frame it cannot make in time is left out
// (counted), so time never slows.
class PreviewPlayer : public QWidget {
    Q_OBJECT

public:
    explicit PreviewPlayer(session::ProjectSession& session, QWidget* parent = nullptr);
    ~PreviewPlayer() override;

    void TogglePlay();
    void Play();
    void Pause();
    // Moves by whole video frames, pausing.
    void Step(std::int64_t frames);
    void GoToStart();
    void GoToEnd();
    // The same player in a resizable window of its own, until that window is closed; then back in
    // its panel.
    void ShowLarge();

    bool Playing() const { return m_clock != nullptr; }
    // It shows its frames in place of the still preview: from the first play or step until another
    // line is chosen.
    bool Active() const { return m_active; }
    // The frame on screen (-1: none yet), its picture, and the one frame the clock is at.
    std::int64_t ShownFrame() const { return m_shownFrame; }
    const QImage& ShownImage() const { return m_shownImage; }
    std::int64_t ClockFrame() const;
    // The show's frames at the panel's size, made anew after an edit.
    std::int64_t FrameCount() const;
    QSize FrameSize() const;
    // Frames shown and left out since the first second of the last play.
    std::int64_t FramesShown() const { return m_counted ? m_shownCount : 0; }
    std::int64_t FramesDropped() const { return m_counted ? m_droppedCount : 0; }

    // Space, Ctrl+Left and Ctrl+Right on another widget (the list) work the player too.
    void TakeKeysOf(QWidget* widget);
    // Where the next play gets its clock; tests drive one of their own.
    void SetClockMaker(ClockMaker maker) { m_clockMaker = std::move(maker); }

signals:
    // The picture on screen is this record's: the list goes there.
    void RecordShown(int record);
    void ActiveChanged(bool active);
    // A note for the status bar.
    void Notice(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    // Goes to frame and shows it still.
    void ShowStill(std::int64_t frame);
    void SetActive(bool active);
    // The frame source for the panel's size and the project as it is now, made when needed.
    avi::ShowFrames* Source();
    // The frames are made anew at the next one; soundToo: the sound is mixed anew too.
    void SourceChanged(bool soundToo);
    std::unique_ptr<avi::SoundMix> MakeMix() const;
    void StartClock(std::int64_t frame);
    void Tick();
    void OnFrameMade(qint64 frame, const QImage& image, quint64 generation);
    void ShowFrame(std::int64_t frame, const QImage& image);
    void ShowTime(std::int64_t frame);
    void OnSelectionChanged();
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers, bool fromList);

    session::ProjectSession& m_session;
    ClockMaker m_clockMaker;
    std::shared_ptr<avi::ShowFrames> m_source;
    bool m_sourceStale = true;
    PlayerFrames m_frames;
    std::unique_ptr<PlaybackClock> m_clock;
    std::int64_t m_clockStartFrame = 0;
    QTimer m_ticks;
    bool m_active = false;
    bool m_silentSaid = false;
    // Set while the player itself moves the list.
    bool m_following = false;
    int m_followedRecord = -1;

    std::map<std::int64_t, QImage> m_ready;  // made, not yet shown
    std::int64_t m_position = 0;             // where a still or the next play is
    std::int64_t m_shownFrame = -1;
    QImage m_shownImage;
    // Counted after the first second of a play, when the pictures around the start are read.
    std::int64_t m_shownCount = 0;
    std::int64_t m_droppedCount = 0;
    bool m_counted = false;
    std::int64_t m_countFrom = 0;
    std::int64_t m_lastCounted = -1;

    // Where the player sits in its panel while it has a window of its own.
    QPointer<QWidget> m_home;
    int m_homeIndex = -1;

    QWidget* m_picture = nullptr;
    QToolButton* m_playButton = nullptr;
    QSlider* m_timeBar = nullptr;
    QLabel* m_timeLabel = nullptr;
};

}  // namespace kinetar::ui
