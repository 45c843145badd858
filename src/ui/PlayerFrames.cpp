#include "ui/PlayerFrames.h"

#include <algorithm>

#include "common/Error.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

namespace {

// Frames made before the clock reaches them: one to show next, one to spare for a slow picture.
constexpr std::int64_t kFramesAhead = 2;

}  // namespace

PlayerFrames::PlayerFrames()
{
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
    for (unsigned i = 0; i < workers; ++i) {
        m_workers.emplace_back([this] { Work(); });
    }
}

PlayerFrames::~PlayerFrames()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

void PlayerFrames::SetSource(std::shared_ptr<avi::ShowFrames> source)
{
    {
        const std::lock_guard lock(m_mutex);
        m_source = std::move(source);
        ++m_generation;
        m_made = -1;
    }
    m_changed.notify_all();
}

void PlayerFrames::Aim(std::int64_t frame, bool playing)
{
    {
        const std::lock_guard lock(m_mutex);
        // A still frame is made anew (the source may have changed); while playing, a jump back
        // starts over from there.
        if (!playing || frame < m_aim) {
            m_made = frame - 1;
        }
        m_aim = frame;
        m_playing = playing;
    }
    m_changed.notify_all();
}

std::uint64_t PlayerFrames::Generation() const
{
    const std::lock_guard lock(m_mutex);
    return m_generation;
}

void PlayerFrames::Work()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        std::int64_t next = -1;
        m_changed.wait(lock, [&] {
            if (m_stopping) {
                return true;
            }
            if (!m_source || m_aim < 0) {
                return false;
            }
            next = std::max(m_aim, m_made + 1);
            const std::int64_t last = m_playing ? m_aim + kFramesAhead : m_aim;
            return next <= last && next < m_source->FrameCount();
        });
        if (m_stopping) {
            return;
        }
        m_made = next;  // the other worker takes the one after
        const std::shared_ptr<avi::ShowFrames> source = m_source;
        const std::uint64_t generation = m_generation;
        lock.unlock();
        QImage image;
        try {
            image = ToImage(*source->Frame(next));
        } catch (const Error&) {
            // The show changed under the request; the next source answers it.
        }
        emit FrameMade(next, image, generation);
        lock.lock();
    }
}

}  // namespace kinetar::ui
