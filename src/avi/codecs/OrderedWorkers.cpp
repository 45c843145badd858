#include "avi/codecs/OrderedWorkers.h"

#include <utility>

namespace kinetar::avi {

OrderedWorkers::OrderedWorkers(std::vector<FrameEncoder> encoders, std::size_t heldFrames) : m_heldFrames(heldFrames)
{
    m_threads.reserve(encoders.size());
    for (auto& encoder : encoders) {
        m_threads.emplace_back([this, work = std::move(encoder)] { Work(work); });
    }
}

OrderedWorkers::~OrderedWorkers()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_queued.notify_all();
    for (auto& thread : m_threads) {
        thread.join();
    }
}

void OrderedWorkers::Work(const FrameEncoder& encoder)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_queued.wait(
            lock, [this] { return m_stopping || m_nextStart < m_firstJob + static_cast<std::int64_t>(m_jobs.size()); });
        if (m_stopping) {
            return;
        }
        Job& job = m_jobs[static_cast<std::size_t>(m_nextStart - m_firstJob)];
        ++m_nextStart;
        job.Progress = State::Encoding;
        lock.unlock();
        job.Sample.clear();
        const bool encoded = encoder(*job.Frame, job.Sample);
        job.Frame.reset();  // its memory back as soon as it is read
        lock.lock();
        job.Progress = encoded ? State::Done : State::Failed;
        m_finished.notify_all();
    }
}

bool OrderedWorkers::Push(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink)
{
    {
        const std::lock_guard lock(m_mutex);
        Job job;
        job.Frame = std::move(frame);
        if (!m_spareSamples.empty()) {
            job.Sample = std::move(m_spareSamples.back());
            m_spareSamples.pop_back();
        }
        m_jobs.push_back(std::move(job));
    }
    m_queued.notify_one();
    return WriteReady(sink, m_heldFrames);
}

bool OrderedWorkers::Finish(const SampleSink& sink)
{
    return WriteReady(sink, 0);
}

bool OrderedWorkers::WriteReady(const SampleSink& sink, std::size_t keep)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_jobs.empty()) {
            return true;
        }
        const Job& oldest = m_jobs.front();
        const auto over = [&] { return oldest.Progress == State::Done || oldest.Progress == State::Failed; };
        if (!over()) {
            if (m_jobs.size() <= keep) {
                return true;
            }
            m_finished.wait(lock, over);
        }
        if (oldest.Progress == State::Failed) {
            return false;
        }
        std::vector<std::uint8_t> sample = std::move(m_jobs.front().Sample);
        m_jobs.pop_front();
        ++m_firstJob;
        // The sink writes to the file: the threads go on meanwhile.
        lock.unlock();
        const bool written = sink(sample, true);
        lock.lock();
        m_spareSamples.push_back(std::move(sample));
        if (!written) {
            return false;
        }
    }
}

}  // namespace kinetar::avi
