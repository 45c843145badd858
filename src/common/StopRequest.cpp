#include "common/StopRequest.h"

#include <atomic>

namespace kinetar {

namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void RequestStop() noexcept
{
    g_stopRequested.store(true, std::memory_order_relaxed);
}

bool StopRequested() noexcept
{
    return g_stopRequested.load(std::memory_order_relaxed);
}

}  // namespace kinetar
