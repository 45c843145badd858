#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

namespace kinetar::avi {

// Reads the pictures of the frames to come, each handed over in the order asked. While pictures
// read quickly, each is read when its frame takes it, on that thread: handing a small picture to
// another thread costs more than reading it. Once they take long (photos), the next ones are read
// ahead on two long-lived threads, so decoding keeps both cores busy while a frame is converted
// and written; quick ones afterwards turn reading ahead off again.
class PictureReadAhead {
public:
    using Picture = std::unique_ptr<pictures::DecodedPicture>;
    using Loader = std::function<Picture()>;

    PictureReadAhead() = default;
    PictureReadAhead(const PictureReadAhead&) = delete;
    PictureReadAhead& operator=(const PictureReadAhead&) = delete;
    // Drops the reads no thread has begun and waits for the others.
    ~PictureReadAhead();

    // A picture asked for: read ahead, or to be read when taken.
    class Ticket {
    public:
        // The picture, or the read's error; once.
        Picture Take();

    private:
        friend class PictureReadAhead;
        PictureReadAhead* m_owner = nullptr;
        Loader m_load;                 // to read when taken
        std::future<Picture> m_ahead;  // being read ahead
    };

    Ticket Request(Loader load);

    // Reads taking more processor time than this on average are worth a thread: a 1280x720 BMP
    // takes about four times as much here, a 64x48 one a third.
    static constexpr std::chrono::microseconds kSlowRead{250};
    static constexpr std::size_t kThreads = 2;

private:
    // Runs the loader and takes its time into the average.
    Picture Timed(const Loader& load);
    void Work();

    // Of the last few reads, so one slow read on a busy machine does not send the next ahead.
    std::atomic<std::int64_t> m_averageNanoseconds = 0;
    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::deque<std::packaged_task<Picture()>> m_jobs;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace kinetar::avi
