#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "common/StopRequest.h"

namespace kinetar {
namespace {

using namespace std::chrono_literals;

// The result or the error comes back as the call gave it, and nothing of the call goes on after.
TEST(CallUnlessStopped, GivesTheCallsResultOrItsErrorWhenNoStopComes)
{
    EXPECT_EQ(CallUnlessStopped<int>([] { return 42; }, [] { return false; }).value_or(0), 42);
    EXPECT_THROW(CallUnlessStopped<int>([]() -> int { throw std::runtime_error("damaged"); }, [] { return false; }),
                 std::runtime_error);
    EXPECT_FALSE(CallsStillRunning());
}

// A call that cannot be interrupted, held until released: the stop is heard while it runs, and the
// call, left to end by itself, counts as running until it has, so a process knows not to destroy
// what it uses.
TEST(CallUnlessStopped, ReturnsAtOnceOnAStopAndLeavesTheCallToEnd)
{
    const auto release = std::make_shared<std::promise<void>>();
    const std::shared_future<void> released = release->get_future().share();
    const auto asked = std::chrono::steady_clock::now();
    const auto value = CallUnlessStopped<int>(
        [released] {
            released.wait();
            return 1;
        },
        [] { return true; });
    EXPECT_FALSE(value.has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_TRUE(CallsStillRunning());

    release->set_value();
    for (int waited = 0; waited < 10'000 && CallsStillRunning(); ++waited) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(CallsStillRunning());
}

}  // namespace
}  // namespace kinetar
