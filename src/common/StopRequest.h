#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace kinetar {

// A stop asked of the whole process (Ctrl-C, SIGTERM): set from a signal handler, polled by work
// that takes seconds without a progress report of its own, such as decoding a huge picture row by
// row, so that a stop is heard within it.
void RequestStop() noexcept;
bool StopRequested() noexcept;
// For a loop of millions of quick steps: whether a stop has been asked, looked at every 4096th.
inline bool StopRequestedAt(std::int64_t step) noexcept
{
    return step % 4096 == 0 && StopRequested();
}

namespace detail {
// A thread counted while it runs (CallsStillRunning), joined unless left. The work runs on the
// caller's thread when the system has no thread to give.
class CountedThread {
public:
    explicit CountedThread(std::function<void()> work);
    CountedThread(const CountedThread&) = delete;
    CountedThread& operator=(const CountedThread&) = delete;
    ~CountedThread();

    void Leave();

private:
    std::thread m_thread;
};
}  // namespace detail

// Runs a call that cannot be interrupted (a library decoding a huge picture in one go) on a thread
// of its own and waits for it, asking `stopped` every few hundredths of a second. Gives its result
// or throws what it threw; on a stop gives nothing at once, the call left to finish by itself, so
// it must own everything it touches.
template <class Result>
std::optional<Result> CallUnlessStopped(std::function<Result()> call,
                                        const std::function<bool()>& stopped = StopRequested)
{
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(call));
    std::future<Result> result = task->get_future();
    detail::CountedThread thread([task]() mutable { (*task)(); });
    while (result.wait_for(std::chrono::milliseconds(40)) != std::future_status::ready) {
        if (stopped()) {
            thread.Leave();
            return std::nullopt;
        }
    }
    return result.get();
}

// Whether a call left after a stop still runs. A process ending meanwhile should leave without
// destroying its static objects (std::_Exit), which the call may still be using.
bool CallsStillRunning() noexcept;

}  // namespace kinetar
