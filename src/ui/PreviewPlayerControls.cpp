// The player's controls and keys: the play button, the time bar and its text, and the keys of
// the preview and of the list.

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/PlayerPicture.h"
#include "ui/PreviewPlayer.h"

namespace kinetar::ui {

void PreviewPlayer::CreateControls()
{
    auto* picture = new PlayerPicture;
    picture->installEventFilter(this);
    picture->hide();
    m_picture = picture;

    m_playButton = new QToolButton;
    m_playButton->setObjectName(QStringLiteral("PlayerPlay"));
    m_playButton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    m_playButton->setToolTip(QStringLiteral("Play (Space)"));
    m_playButton->setAutoRaise(true);
    connect(m_playButton, &QToolButton::clicked, this, [this] { TogglePlay(); });

    m_timeBar = new QSlider(Qt::Horizontal);
    m_timeBar->setObjectName(QStringLiteral("PlayerTimeBar"));
    m_timeBar->setFocusPolicy(Qt::NoFocus);
    m_timeBar->setRange(0, 0);
    connect(m_timeBar, &QSlider::sliderMoved, this, [this](int frame) {
        const bool playing = Playing();
        Pause();
        ShowStill(frame);
        if (playing) {
            Play();
        }
    });

    m_timeLabel = new QLabel;
    m_timeLabel->setObjectName(QStringLiteral("PlayerTime"));
    m_timeLabel->setTextInteractionFlags(Qt::NoTextInteraction);

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(2, 2, 2, 2);
    controls->addWidget(m_playButton);
    controls->addWidget(m_timeBar, 1);
    controls->addWidget(m_timeLabel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_picture, 1);
    layout->addLayout(controls);
    ShowTime(0);
}

void PreviewPlayer::TakeKeysOf(QWidget* widget)
{
    widget->installEventFilter(this);
}

bool PreviewPlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isEnabled()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (HandleKey(key->key(), key->modifiers(), watched != m_picture)) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PreviewPlayer::keyPressEvent(QKeyEvent* event)
{
    if (!HandleKey(event->key(), event->modifiers(), false)) {
        QWidget::keyPressEvent(event);
    }
}

bool PreviewPlayer::HandleKey(int key, Qt::KeyboardModifiers modifiers, bool fromList)
{
    // The list keeps its own arrows, Home and End; Ctrl with the arrows is the player's there.
    const Qt::KeyboardModifiers stepModifier = fromList ? Qt::ControlModifier : Qt::NoModifier;
    if (key == Qt::Key_Space && modifiers == Qt::NoModifier) {
        TogglePlay();
        return true;
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && modifiers == stepModifier) {
        Step(key == Qt::Key_Left ? -1 : 1);
        return true;
    }
    if (!fromList && (key == Qt::Key_Home || key == Qt::Key_End) && modifiers == Qt::NoModifier) {
        key == Qt::Key_Home ? GoToStart() : GoToEnd();
        return true;
    }
    return false;
}

}  // namespace kinetar::ui
