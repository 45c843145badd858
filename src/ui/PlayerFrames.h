#pragma once

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "avi/engine/ShowFrames.h"

namespace kinetar::ui {

// Makes the player's frames on threads of their own (one a core, at most two: a large panel takes
// more than one core's worth at 25 frames a second), so the window never waits for a picture: while
// playing, the frames from where the clock is on (a few ahead, never behind it: a frame the clock
// has passed is not made); while still, the one frame asked for. Each comes back by FrameMade.
class PlayerFrames : public QObject {
    Q_OBJECT

public:
    PlayerFrames();
    ~PlayerFrames() override;

    // The show to make frames of; frames of an earlier one that are still coming are ignored.
    void SetSource(std::shared_ptr<avi::ShowFrames> source);
    // The clock is at frame: while playing, frames from there on are made as it moves; else
    // exactly that frame is made, anew.
    void Aim(std::int64_t frame, bool playing);
    // The generation of frames that FrameMade reports now.
    std::uint64_t Generation() const;

signals:
    void FrameMade(qint64 frame, const QImage& image, quint64 generation);

private:
    void Work();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::shared_ptr<avi::ShowFrames> m_source;
    std::uint64_t m_generation = 0;
    std::int64_t m_aim = -1;
    bool m_playing = false;
    std::int64_t m_made = -1;  // the last frame made or being made
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

}  // namespace kinetar::ui
