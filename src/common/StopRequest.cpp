#include "common/StopRequest.h"

#include <atomic>
#include <memory>
#include <system_error>

namespace kinetar {

namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

std::atomic<int> g_callsRunning{0};

}  // namespace

void RequestStop() noexcept
{
    g_stopRequested.store(true, std::memory_order_relaxed);
}

bool StopRequested() noexcept
{
    return g_stopRequested.load(std::memory_order_relaxed);
}

namespace detail {

CountedThread::CountedThread(std::function<void()> work)
{
    g_callsRunning.fetch_add(1);
    const auto counted = std::make_shared<std::function<void()>>([work = std::move(work)]() mutable {
        work();
        work = nullptr;  // what the call holds goes before it stops being counted
        g_callsRunning.fetch_sub(1);
    });
    try {
        m_thread = std::thread([counted] { (*counted)(); });
    } catch (const std::system_error&) {
        (*counted)();
    }
}

CountedThread::~CountedThread()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CountedThread::Leave()
{
    if (m_thread.joinable()) {
        m_thread.detach();
    }
}

}  // namespace detail

bool CallsStillRunning() noexcept
{
    return g_callsRunning.load() != 0;
}

}  // namespace kinetar
