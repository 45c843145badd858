#include "ui/PreviewPlayer.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "avi/audio/SoundMix.h"
#include "avi/engine/VideoSettings.h"
#include "common/Error.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "session/ProjectSession.h"
#include "ui/PlayerPicture.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

namespace {

// How often the picture looks at the clock: well within a frame at any usual rate.
constexpr int kTickMilliseconds = 4;

// The records with their paths made absolute in the project's folder, as a run reads them.
std::vector<project::FrameRecord> ResolvedRecords(const session::ProjectSession& session)
{
    std::vector<project::FrameRecord> records = session.AllRecords();
    project::ResolveRecordPaths(records, session.ProjectFolder());
    return records;
}

}  // namespace

PreviewPlayer::PreviewPlayer(session::ProjectSession& session, QWidget* parent)
    : QWidget(parent), m_session(session), m_clockMaker(DeviceClocks())
{
    setObjectName(QStringLiteral("PreviewPlayer"));
    CreateControls();
    m_ticks.setTimerType(Qt::PreciseTimer);
    m_ticks.setInterval(kTickMilliseconds);
    connect(&m_ticks, &QTimer::timeout, this, [this] { Tick(); });
    connect(&m_frames, &PlayerFrames::FrameMade, this, &PreviewPlayer::OnFrameMade, Qt::QueuedConnection);

    using session::ProjectSession;
    // Any edit: the frames are made anew from the next one on.
    for (const auto signal :
         {&ProjectSession::FramesReset, &ProjectSession::HeaderChanged, &ProjectSession::ProjectOpened}) {
        connect(&m_session, signal, this, [this] { SourceChanged(true); });
    }
    connect(&m_session, &ProjectSession::FramesInserted, this, [this] { SourceChanged(true); });
    connect(&m_session, &ProjectSession::FramesRemoved, this, [this] { SourceChanged(true); });
    connect(&m_session, &ProjectSession::FramesMoved, this, [this] { SourceChanged(true); });
    connect(&m_session, &ProjectSession::FramesChanged, this, [this] { SourceChanged(true); });
    connect(&m_session, &ProjectSession::ProjectClosed, this, [this] {
        Pause();
        SetActive(false);
        m_source.reset();
        m_frames.SetSource(nullptr);
        m_sourceStale = true;
    });
    // A run has the machine to itself.
    connect(&m_session, &ProjectSession::GeneratingChanged, this, [this](bool on) {
        if (on) {
            Pause();
        }
    });
    connect(&m_session, &ProjectSession::SelectionChanged, this, [this] { OnSelectionChanged(); });
}

PreviewPlayer::~PreviewPlayer()
{
    m_clock.reset();
}

void PreviewPlayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_source && m_picture->isVisible() && FrameSize() != QSize(m_source->Width(), m_source->Height())) {
        SourceChanged(false);
    }
}

QSize PreviewPlayer::FrameSize() const
{
    const project::ProjectHeader header = m_session.Header();
    const auto possible = [](std::int32_t side) { return side >= avi::kMinVideoSide && side <= avi::kMaxVideoSide; };
    if (!possible(header.Width) || !possible(header.Height)) {
        return {};
    }
    // The panel's size, the video's shape; never larger than the video.
    const QSize video(header.Width, header.Height);
    QSize room = m_picture->isVisible() ? m_picture->size() : QSize(width(), std::max(height(), width() * 9 / 16));
    room = room.boundedTo(video).expandedTo(QSize(16, 16));
    return video.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

avi::ShowFrames* PreviewPlayer::Source()
{
    if (m_sourceStale && m_session.IsOpen()) {
        m_sourceStale = false;
        const QSize size = FrameSize();
        if (size.isEmpty()) {
            m_source.reset();
        } else {
            try {
                m_source = std::make_shared<avi::ShowFrames>(m_session.Header(), ResolvedRecords(m_session),
                                                             size.width(), size.height());
            } catch (const Error&) {
                m_source.reset();
            }
        }
        m_frames.SetSource(m_source);
        m_ready.clear();
        m_timeBar->setRange(0, static_cast<int>(std::max<std::int64_t>(0, FrameCount() - 1)));
        ShowTime(m_position);
    }
    return m_source.get();
}

void PreviewPlayer::SourceChanged(bool soundToo)
{
    m_sourceStale = true;
    if (!m_active) {
        // The time bar shows the length before anything plays.
        Source();
        return;
    }
    if (!Playing()) {
        ShowStill(m_position);
    } else if (soundToo) {
        // The sound is mixed anew from where the clock is; the picture follows at the next frame.
        const std::int64_t frame = ClockFrame();
        m_clock.reset();
        if (Source() != nullptr && frame < FrameCount()) {
            StartClock(frame);
        } else {
            m_ticks.stop();
            ShowStill(frame);
        }
    }
}

std::int64_t PreviewPlayer::FrameCount() const
{
    return m_source ? m_source->FrameCount() : 0;
}

std::int64_t PreviewPlayer::ClockFrame() const
{
    if (!m_clock || !m_source) {
        return m_position;
    }
    return avi::FrameAtSample(m_clock->Sample(), m_source->Rate());
}

std::unique_ptr<avi::SoundMix> PreviewPlayer::MakeMix() const
{
    const std::vector<project::FrameRecord> records = ResolvedRecords(m_session);
    const std::vector<project::SoundCue> cues = project::SoundCues(records, m_source->Rate());
    if (cues.empty()) {
        return nullptr;
    }
    try {
        return avi::SoundMix::Make(
            cues,
            [records](std::int32_t record) {
                return project::GetText(records[static_cast<std::size_t>(record)].PictureFileName);
            },
            m_source->Rate(), m_source->FrameCount());
    } catch (const Error&) {
        return nullptr;  // played without it, as a run would leave it out
    }
}

void PreviewPlayer::StartClock(std::int64_t frame)
{
    bool silent = false;
    m_clock = m_clockMaker(MakeMix(), silent);
    if (silent && !m_silentSaid) {
        m_silentSaid = true;
        emit Notice(QStringLiteral("No sound device: the preview plays without sound"));
    }
    m_clockStartFrame = frame;
    m_position = frame;
    m_ready.clear();
    m_counted = false;
    m_countFrom = frame + static_cast<std::int64_t>(m_source->Rate().Numerator / m_source->Rate().Denominator);
    m_shownCount = 0;
    m_droppedCount = 0;
    m_lastCounted = -1;
    m_clock->Start(project::SampleAtFrame(frame, m_source->Rate()));
    m_frames.Aim(frame, true);
    m_ticks.start();
    m_playButton->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    m_playButton->setToolTip(QStringLiteral("Pause (Space)"));
}

void PreviewPlayer::TogglePlay()
{
    Playing() ? Pause() : Play();
}

void PreviewPlayer::Play()
{
    if (Playing() || m_session.Generating()) {
        return;
    }
    SetActive(true);
    if (Source() == nullptr || FrameCount() == 0) {
        return;
    }
    // From the end, a play starts over.
    if (m_position >= FrameCount() - 1) {
        m_position = 0;
    }
    StartClock(m_position);
}

void PreviewPlayer::Pause()
{
    if (!Playing()) {
        return;
    }
    const std::int64_t frame = std::min(ClockFrame(), std::max<std::int64_t>(FrameCount() - 1, 0));
    m_clock->Stop();
    m_clock.reset();
    m_ticks.stop();
    m_playButton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    m_playButton->setToolTip(QStringLiteral("Play (Space)"));
    qDebug().noquote() << QStringLiteral("preview player: %1 frames shown, %2 dropped after the first second")
                              .arg(FramesShown())
                              .arg(FramesDropped());
    // Stopping leaves the picture on screen where it is.
    ShowStill(m_shownFrame >= 0 ? m_shownFrame : frame);
}

void PreviewPlayer::Step(std::int64_t frames)
{
    Pause();
    SetActive(true);
    if (Source() == nullptr) {
        return;
    }
    ShowStill(std::clamp<std::int64_t>(m_position + frames, 0, std::max<std::int64_t>(FrameCount() - 1, 0)));
}

void PreviewPlayer::GoToStart()
{
    Pause();
    SetActive(true);
    if (Source() != nullptr) {
        ShowStill(0);
    }
}

void PreviewPlayer::GoToEnd()
{
    Pause();
    SetActive(true);
    if (Source() != nullptr) {
        ShowStill(std::max<std::int64_t>(FrameCount() - 1, 0));
    }
}

void PreviewPlayer::ShowLarge()
{
    if (isWindow()) {
        activateWindow();
        return;
    }
    auto* layout = parentWidget() != nullptr ? qobject_cast<QBoxLayout*>(parentWidget()->layout()) : nullptr;
    if (layout == nullptr) {
        return;
    }
    m_home = parentWidget();
    m_homeIndex = layout->indexOf(this);
    layout->removeWidget(this);
    const QSize video = m_session.Header().Width > 0 && m_session.Header().Height > 0
                            ? QSize(m_session.Header().Width, m_session.Header().Height)
                            : QSize(16, 9);
    setParent(m_home->window(), Qt::Window);
    setWindowTitle(QStringLiteral("Large preview"));
    resize(video.scaled(QSize(960, 600), Qt::KeepAspectRatio) + QSize(0, m_playButton->sizeHint().height() + 4));
    show();
    SetActive(true);
    m_picture->show();
    SourceChanged(false);
    m_picture->setFocus();
}

void PreviewPlayer::closeEvent(QCloseEvent* event)
{
    if (!isWindow() || !m_home) {
        QWidget::closeEvent(event);
        return;
    }
    // Back in its panel, playing on.
    event->ignore();
    hide();
    setParent(m_home, Qt::Widget);
    if (auto* layout = qobject_cast<QBoxLayout*>(m_home->layout())) {
        layout->insertWidget(m_homeIndex, this);
    }
    show();
    SourceChanged(false);
}

void PreviewPlayer::ShowStill(std::int64_t frame)
{
    if (Source() == nullptr) {
        return;
    }
    m_position = std::clamp<std::int64_t>(frame, 0, std::max<std::int64_t>(FrameCount() - 1, 0));
    m_ready.clear();
    m_frames.Aim(m_position, false);
    ShowTime(m_position);
}

void PreviewPlayer::SetActive(bool active)
{
    if (active == m_active) {
        return;
    }
    m_active = active;
    m_picture->setVisible(active);
    if (active) {
        m_sourceStale = true;  // made at the picture's size, now that it has one
        m_picture->setFocus();
        // It starts at the selected picture.
        const int current = m_session.Selection().Current;
        if (Source() != nullptr && current >= 0) {
            m_position = std::min(m_source->FirstFrameOf(current), std::max<std::int64_t>(FrameCount() - 1, 0));
        }
    } else {
        m_shownFrame = -1;
        m_shownImage = {};
        static_cast<PlayerPicture*>(m_picture)->SetImage({});
    }
    emit ActiveChanged(active);
}

void PreviewPlayer::OnSelectionChanged()
{
    if (m_following) {
        return;
    }
    // Another line chosen: a playing show goes there, a still one gives way to the line's preview.
    const int current = m_session.Selection().Current;
    if (current == m_followedRecord && m_active) {
        return;
    }
    if (Playing() && Source() != nullptr && current >= 0) {
        const std::int64_t frame = m_source->FirstFrameOf(current);
        m_clock.reset();
        if (frame < FrameCount()) {
            StartClock(frame);
        } else {
            Pause();
        }
        return;
    }
    if (!Playing()) {
        SetActive(false);
        m_followedRecord = -1;
    }
}

void PreviewPlayer::Tick()
{
    if (!m_clock) {
        return;
    }
    // A new size is picked up here, at the next frame.
    if (Source() == nullptr) {
        return;
    }
    const std::int64_t now = ClockFrame();
    if (now >= FrameCount()) {
        Pause();
        return;
    }
    m_frames.Aim(now, true);
    // The newest frame made that is due; older ones were too late.
    auto due = m_ready.upper_bound(now);
    if (due != m_ready.begin()) {
        --due;
        const std::int64_t frame = due->first;
        const QImage image = due->second;
        m_ready.erase(m_ready.begin(), std::next(due));
        if (frame > m_shownFrame || m_shownFrame > now) {
            ShowFrame(frame, image);
        }
    }
    ShowTime(now);
}

void PreviewPlayer::OnFrameMade(qint64 frame, const QImage& image, quint64 generation)
{
    if (generation != m_frames.Generation() || image.isNull()) {
        return;
    }
    if (!Playing()) {
        if (frame == m_position) {
            ShowFrame(frame, image);
        }
        return;
    }
    if (frame >= ClockFrame()) {
        m_ready[frame] = image;
        while (m_ready.size() > 8) {
            m_ready.erase(m_ready.begin());
        }
    }
    Tick();
}

void PreviewPlayer::ShowFrame(std::int64_t frame, const QImage& image)
{
    if (Playing()) {
        if (frame >= m_countFrom) {
            if (!m_counted) {
                m_counted = true;
                m_lastCounted = frame - 1;
            }
            ++m_shownCount;
            m_droppedCount += std::max<std::int64_t>(0, frame - m_lastCounted - 1);
            m_lastCounted = frame;
        }
    }
    m_shownFrame = frame;
    m_shownImage = image;
    static_cast<PlayerPicture*>(m_picture)->SetImage(image);
    if (!Playing()) {
        m_position = frame;
    }
    ShowTime(frame);
    // The list follows the picture on screen, unless the details hold edits the move would lose.
    const std::optional<std::int32_t> record = m_source ? m_source->RecordAt(frame) : std::nullopt;
    if (record && *record != m_followedRecord && !m_session.PendingChanges()) {
        m_followedRecord = *record;
        m_following = true;
        emit RecordShown(*record);
        m_following = false;
    }
}

void PreviewPlayer::ShowTime(std::int64_t frame)
{
    const project::FrameRate rate = m_source ? m_source->Rate() : project::GetFrameRate(m_session.Header());
    if (rate.Numerator == 0) {
        m_timeLabel->clear();
        return;
    }
    const QSignalBlocker quiet(m_timeBar);
    m_timeBar->setValue(static_cast<int>(frame));
    m_timeLabel->setText(QString::fromStdString(project::FrameTimeText(frame, rate) + " / " +
                                                project::FrameTimeText(FrameCount(), rate)) +
                         QStringLiteral("  #%1").arg(frame));
}

}  // namespace kinetar::ui
