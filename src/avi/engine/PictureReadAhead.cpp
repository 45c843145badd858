#include "avi/engine/PictureReadAhead.h"

#include <algorithm>
#include <ctime>
#include <utility>

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

// Raised through the reader of a picture no one will take, while it waits for room.
struct ReadDropped {};

std::uint64_t BytesOf(const PictureReadAhead::Picture& picture)
{
    return picture ? picture->Stride() * static_cast<std::uint64_t>(picture->Height()) : 0;
}

}  // namespace

// What a reader on a read-ahead thread announces reaches the read's place in the budget.
class PictureReadAhead::ReadBudget final : public pictures::PictureBudget {
public:
    ReadBudget(PictureReadAhead& owner, std::uint64_t number) : m_owner(owner), m_number(number) {}
    void Reserve(std::uint64_t bytes) override { m_owner.Reserve(m_number, bytes); }

private:
    PictureReadAhead& m_owner;
    std::uint64_t m_number;
};

PictureReadAhead::PictureReadAhead(std::uint64_t budgetBytes) : m_budgetBytes(budgetBytes) {}

PictureReadAhead::~PictureReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_queued.notify_all();
    m_roomMade.notify_all();
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

PictureReadAhead::Ticket::Ticket(Ticket&& other) noexcept
    : m_owner(std::exchange(other.m_owner, nullptr)),
      m_number(other.m_number),
      m_load(std::move(other.m_load)),
      m_ahead(std::move(other.m_ahead))
{
}

PictureReadAhead::Ticket& PictureReadAhead::Ticket::operator=(Ticket&& other) noexcept
{
    if (this != &other) {
        if (m_owner != nullptr) {
            m_owner->Forget(m_number);
        }
        m_owner = std::exchange(other.m_owner, nullptr);
        m_number = other.m_number;
        m_load = std::move(other.m_load);
        m_ahead = std::move(other.m_ahead);
    }
    return *this;
}

PictureReadAhead::Ticket::~Ticket()
{
    if (m_owner != nullptr) {
        m_owner->Forget(m_number);
    }
}

PictureReadAhead::Picture PictureReadAhead::Ticket::Take()
{
    PictureReadAhead& owner = *std::exchange(m_owner, nullptr);
    owner.ReleaseHandedOver();
    Picture picture;
    try {
        // No future for a picture read here: even one run at once costs a futex call. Nothing
        // waits for room here: reads asked for later wait for this one instead.
        picture = m_load ? owner.Timed(m_load) : m_ahead.get();
    } catch (...) {
        owner.HandedOver(m_number, nullptr);
        throw;
    }
    owner.HandedOver(m_number, picture);
    return picture;
}

PictureReadAhead::Ticket PictureReadAhead::Request(Loader load)
{
    Ticket ticket;
    ticket.m_owner = this;
    {
        const std::lock_guard lock(m_mutex);
        m_handedOverBytes = 0;
        ticket.m_number = m_requested++;
        m_reads.emplace(ticket.m_number, Read{});
    }
    m_roomMade.notify_all();
    if (std::chrono::nanoseconds(m_averageNanoseconds) <= kSlowRead) {
        ticket.m_load = std::move(load);
        return ticket;
    }
    std::packaged_task<Picture()> job([this, number = ticket.m_number, load = std::move(load)] {
        Picture picture;
        try {
            ReadBudget budget(*this, number);
            const pictures::PictureBudgetScope scope(budget);
            picture = Timed(load);
        } catch (...) {
            Finished(number, nullptr);
            throw;
        }
        Finished(number, picture);
        return picture;
    });
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

void PictureReadAhead::Reserve(std::uint64_t number, std::uint64_t bytes)
{
    std::unique_lock lock(m_mutex);
    const auto read = m_reads.find(number);
    if (read == m_reads.end()) {
        throw ReadDropped{};
    }
    // A reader may announce its size again (a picture with an alpha plane of its own).
    if (read->second.Holding && bytes <= read->second.Bytes) {
        return;
    }
    read->second.Bytes = std::max(read->second.Bytes, bytes);
    read->second.Known = true;
    read->second.Holding = false;
    m_roomMade.notify_all();  // reads asked for later wait to know its size
    m_roomMade.wait(lock, [&] { return m_stopping || !m_reads.contains(number) || Fits(number); });
    if (m_stopping || !m_reads.contains(number)) {
        throw ReadDropped{};
    }
    m_reads.at(number).Holding = true;
}

bool PictureReadAhead::Fits(std::uint64_t number) const
{
    const std::uint64_t own = m_reads.at(number).Bytes;
    // The earliest waits for nothing but the picture handed over, so reads always go on.
    if (m_reads.begin()->first == number) {
        return m_handedOverBytes == 0 || m_handedOverBytes + own <= m_budgetBytes;
    }
    std::uint64_t held = m_handedOverBytes + own;
    for (const auto& [other, read] : m_reads) {
        if (other < number && !read.Known) {
            return false;
        }
        if (other < number || (other > number && read.Holding)) {
            held += read.Bytes;
        }
    }
    return held <= m_budgetBytes;
}

void PictureReadAhead::Finished(std::uint64_t number, const Picture& picture)
{
    {
        const std::lock_guard lock(m_mutex);
        const auto read = m_reads.find(number);
        if (read == m_reads.end()) {
            return;
        }
        read->second = {.Bytes = BytesOf(picture), .Known = true, .Holding = true};
    }
    m_roomMade.notify_all();
}

void PictureReadAhead::HandedOver(std::uint64_t number, const Picture& picture)
{
    {
        const std::lock_guard lock(m_mutex);
        m_reads.erase(number);
        m_handedOverBytes = BytesOf(picture);
    }
    m_roomMade.notify_all();
}

void PictureReadAhead::Forget(std::uint64_t number)
{
    {
        const std::lock_guard lock(m_mutex);
        m_reads.erase(number);
    }
    m_roomMade.notify_all();
}

void PictureReadAhead::ReleaseHandedOver()
{
    {
        const std::lock_guard lock(m_mutex);
        m_handedOverBytes = 0;
    }
    m_roomMade.notify_all();
}

}  // namespace kinetar::avi
