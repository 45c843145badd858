#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
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
//
// Pictures read ahead are bounded by their bytes, not their count: a read ahead waits, once its
// header has given the picture's size (pictures::PictureBudget), until that picture, the ones
// asked for before it and the one last handed over fit the budget together. The earliest picture
// not yet handed over only waits for the last one handed over, so pictures larger than the budget
// are decoded one at a time. A picture handed over counts until the next Request or Take: the
// caller lets it go before it asks for another.
class PictureReadAhead {
public:
    using Picture = std::unique_ptr<pictures::DecodedPicture>;
    using Loader = std::function<Picture()>;

    explicit PictureReadAhead(std::uint64_t budgetBytes = kBudgetBytes);
    PictureReadAhead(const PictureReadAhead&) = delete;
    PictureReadAhead& operator=(const PictureReadAhead&) = delete;
    // Drops the reads no thread has begun, stops those waiting for room and waits for the others.
    ~PictureReadAhead();

    // A picture asked for: read ahead, or to be read when taken. Tickets are taken in the order
    // they were asked for, and none outlives the read-ahead.
    class Ticket {
    public:
        Ticket() = default;
        Ticket(Ticket&& other) noexcept;
        Ticket& operator=(Ticket&& other) noexcept;
        // One never taken leaves the budget.
        ~Ticket();

        // The picture, or the read's error; once.
        Picture Take();

    private:
        friend class PictureReadAhead;
        PictureReadAhead* m_owner = nullptr;
        std::uint64_t m_number = 0;
        Loader m_load;                 // to read when taken
        std::future<Picture> m_ahead;  // being read ahead
    };

    Ticket Request(Loader load);

    // Reads taking more processor time than this on average are worth a thread: a 1280x720 BMP
    // takes about four times as much here, a 64x48 one a third.
    static constexpr std::chrono::microseconds kSlowRead{250};
    static constexpr std::size_t kThreads = 2;
    // Photos of up to about 30 megapixels are still read two ahead while a frame is made of a third.
    static constexpr std::uint64_t kBudgetBytes = std::uint64_t{256} << 20;

private:
    class ReadBudget;

    // A picture asked for and not yet handed over.
    struct Read {
        std::uint64_t Bytes = 0;
        bool Known = false;    // its size is known: announced by its reader, or read
        bool Holding = false;  // it may hold Bytes: let through, or read
    };

    // Runs the loader and takes its time into the average.
    Picture Timed(const Loader& load);
    void Work();
    // Until the read fits the budget; raises when the read-ahead stops meanwhile.
    void Reserve(std::uint64_t number, std::uint64_t bytes);
    bool Fits(std::uint64_t number) const;
    // The read is over: it holds the picture's bytes (none after an error).
    void Finished(std::uint64_t number, const Picture& picture);
    // The picture (none after an error) goes to the caller, and counts until ReleaseHandedOver.
    void HandedOver(std::uint64_t number, const Picture& picture);
    void ReleaseHandedOver();
    // A ticket dropped untaken.
    void Forget(std::uint64_t number);

    // Of the last few reads, so one slow read on a busy machine does not send the next ahead.
    std::atomic<std::int64_t> m_averageNanoseconds = 0;
    const std::uint64_t m_budgetBytes;
    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::deque<std::packaged_task<Picture()>> m_jobs;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
    // Under m_mutex: the reads not handed over, by the order they were asked for in, and the
    // bytes of the picture handed over last.
    std::uint64_t m_requested = 0;
    std::map<std::uint64_t, Read> m_reads;
    std::uint64_t m_handedOverBytes = 0;
    std::condition_variable m_roomMade;
};

}  // namespace kinetar::avi
