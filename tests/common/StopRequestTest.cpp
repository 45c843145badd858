#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/StopRequest.h"

namespace kinetar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A call that cannot be interrupted: it runs until `release` is set, then gives its value.
struct HeldCall {
    std::shared_ptr<std::atomic<bool>> release = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);

    std::function<std::unique_ptr<std::string>()> Make() const
    {
        return [release = release, ended = ended] {
            while (!*release) {
                std::this_thread::sleep_for(1ms);
            }
            *ended = true;
            return std::make_unique<std::string>("decoded");
        };
    }
};

void WaitUntilNoCallRuns()
{
    const auto deadline = Clock::now() + 10s;
    while (CallsStillRunning() && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
}

TEST(CallUnlessStopped, GivesTheCallsResultOrItsErrorWhenNoStopComes)
{
    const auto value = CallUnlessStopped<int>([] { return 42; }, [] { return false; });
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, 42);
    EXPECT_THROW(CallUnlessStopped<int>([]() -> int { throw std::runtime_error("damaged"); }, [] { return false; }),
                 std::runtime_error);
    // Nothing of a call that ended goes on after it: its thread is gone.
    EXPECT_FALSE(CallsStillRunning());
}

// The stop is heard while the call still runs, and the call is left to end by itself, its result
// freed by it; until then it counts as running, so a process knows not to destroy what it uses.
TEST(CallUnlessStopped, ReturnsAtOnceOnAStopAndLeavesTheCallToEnd)
{
    const HeldCall call;
    std::atomic<bool> stop = false;
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop = true;
    });
    const auto asked = Clock::now();
    const auto value = CallUnlessStopped<std::unique_ptr<std::string>>(call.Make(), [&] { return stop.load(); });
    const auto waited = Clock::now() - asked;
    stopper.join();
    EXPECT_FALSE(value.has_value());
    EXPECT_LT(waited, 1s);
    EXPECT_FALSE(*call.ended);
    EXPECT_TRUE(CallsStillRunning());

    *call.release = true;
    WaitUntilNoCallRuns();
    EXPECT_TRUE(*call.ended);
    EXPECT_FALSE(CallsStillRunning());
}

}  // namespace
}  // namespace kinetar
