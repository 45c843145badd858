#include "avi/engine/PictureReadAhead.h"

#include <ctime>

namespace kinetar::avi {

namespace {

// The processor time the calling thread has used: unlike the wall clock, it does not count the
// time a busy machine keeps the thread waiting.
std::chrono::nanoseconds ThreadTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

PictureReadAhead::~PictureReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_queued.notify_all();
    for (auto& thread : m_threads) {
        thread.join();
    }
}

PictureReadAhead::Picture PictureReadAhead::Timed(const Loader& load)
{
    const auto start = ThreadTime();
    // A read that fails says nothing of the next one's time, so only a picture counts.
    Picture picture = load();
    const std::int64_t took = (ThreadTime() - start).count();
    m_averageNanoseconds = (3 * m_averageNanoseconds + took) / 4;
    return picture;
}

PictureReadAhead::Picture PictureReadAhead::Ticket::Take()
{
    // No future for a picture read here: even one run at once costs a futex call.
    return m_load ? m_owner->Timed(m_load) : m_ahead.get();
}

PictureReadAhead::Ticket PictureReadAhead::Request(Loader load)
{
    Ticket ticket;
    if (std::chrono::nanoseconds(m_averageNanoseconds) <= kSlowRead) {
        ticket.m_owner = this;
        ticket.m_load = std::move(load);
        return ticket;
    }
    std::packaged_task<Picture()> job([this, load = std::move(load)] { return Timed(load); });
    ticket.m_ahead = job.get_future();
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (m_threads.size() < kThreads) {
            m_threads.emplace_back([this] { Work(); });
        }
    }
    m_queued.notify_one();
    return ticket;
}

void PictureReadAhead::Work()
{
    while (true) {
        std::packaged_task<Picture()> job;
        {
            std::unique_lock lock(m_mutex);
            m_queued.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping) {
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

}  // namespace kinetar::avi
