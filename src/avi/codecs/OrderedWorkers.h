#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "avi/codecs/Compressor.h"

namespace kinetar::avi {

// Encodes frames on several threads, one encoder each, and hands their samples to the sink in the
// order the frames came in, whichever finishes first. Only for intra-only codecs: no frame depends
// on another, so every sample is a key frame.
class OrderedWorkers {
public:
    // Encodes one frame into the sample (emptied first); false when it failed. Each thread calls
    // only its own.
    using FrameEncoder = std::function<bool(const FrameDIB& frame, std::vector<std::uint8_t>& sample)>;

    // One thread per encoder. At most heldFrames frames stay held between calls: queued, being
    // encoded, or done and waiting for an older one.
    OrderedWorkers(std::vector<FrameEncoder> encoders, std::size_t heldFrames);
    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;
    // Drops the frames no thread has begun and waits for the others.
    ~OrderedWorkers();

    // Queues the frame, then hands out the samples that are ready at the front, waiting for the
    // oldest while too many are held. False when an encoder or the sink failed.
    bool Push(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink);
    // Waits for every frame held and hands out their samples.
    bool Finish(const SampleSink& sink);

private:
    enum class State { Queued, Encoding, Done, Failed };
    struct Job {
        std::unique_ptr<const FrameDIB> Frame;
        std::vector<std::uint8_t> Sample;
        State Progress = State::Queued;
    };

    void Work(const FrameEncoder& encoder);
    // Writes finished samples from the front until at most `keep` frames are held.
    bool WriteReady(const SampleSink& sink, std::size_t keep);

    std::size_t m_heldFrames;
    std::mutex m_mutex;
    std::condition_variable m_queued;    // a job to take, or the end
    std::condition_variable m_finished;  // a job done or failed
    // In frame order; a deque keeps the jobs the threads work on in place as others come and go.
    std::deque<Job> m_jobs;
    std::int64_t m_firstJob = 0;   // the frame number of m_jobs.front()
    std::int64_t m_nextStart = 0;  // the frame number the next free thread takes
    bool m_stopping = false;
    std::vector<std::vector<std::uint8_t>> m_spareSamples;  // written samples' buffers, reused
    std::vector<std::thread> m_threads;
};

}  // namespace kinetar::avi
