#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <numeric>
#include <thread>
#include <vector>

#include "common/ReadAll.h"
#include "support/TestFiles.h"

namespace kinetar {
namespace {

using namespace std::chrono_literals;

// A pipe fed piece by piece by another thread, which also interrupts the reader with a signal
// before each piece: every read comes up short, and some end in EINTR.
TEST(ReadAll, GoesOnAfterShortAndInterruptedReadsUntilFullOrTheEnd)
{
    struct sigaction interrupt {};
    interrupt.sa_handler = [](int) {};  // no SA_RESTART: a blocked read returns EINTR
    struct sigaction saved {};
    ASSERT_EQ(::sigaction(SIGUSR1, &interrupt, &saved), 0);
    const struct {
        const char* name;
        std::vector<std::size_t> pieces;  // sizes written one after another, then the pipe is closed
        std::size_t bufferSize;
        std::size_t expected;
    } rows[] = {
        {"pieces fill the buffer", {3, 5, 8}, 16, 16},
        {"the file ends first", {3, 5}, 16, 8},
        {"more than the buffer holds", {10, 10}, 12, 12},
        {"nothing at all", {}, 4, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        std::vector<std::uint8_t> sent(std::accumulate(row.pieces.begin(), row.pieces.end(), std::size_t{0}));
        std::iota(sent.begin(), sent.end(), std::uint8_t{1});
        const pthread_t reader = ::pthread_self();
        std::thread writer([&] {
            std::size_t at = 0;
            for (const std::size_t piece : row.pieces) {
                std::this_thread::sleep_for(20ms);  // the reader is waiting by now
                ::pthread_kill(reader, SIGUSR1);
                std::this_thread::sleep_for(5ms);
                EXPECT_EQ(::write(ends[1], sent.data() + at, piece), static_cast<ssize_t>(piece));
                at += piece;
            }
            ::close(ends[1]);
        });
        std::vector<std::uint8_t> buffer(row.bufferSize, 0xEE);
        const ReadResult result = ReadAll(ends[0], buffer);
        writer.join();
        EXPECT_EQ(result.Error, 0);
        ASSERT_EQ(result.Count, row.expected);
        EXPECT_TRUE(
            std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(row.expected), sent.begin()));
        EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(row.expected), buffer.end(),
                                [](std::uint8_t byte) { return byte == 0xEE; }))
            << "nothing written past what arrived";
        ::close(ends[0]);
    }
    ::sigaction(SIGUSR1, &saved, nullptr);
}

TEST(ReadAll, AFailedReadGivesItsErrno)
{
    const test::TempDir dir;
    const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    std::vector<std::uint8_t> buffer(8);
    const ReadResult result = ReadAll(folder, buffer);
    EXPECT_EQ(result.Error, EISDIR);
    EXPECT_EQ(result.Count, 0U);
    ::close(folder);
}

}  // namespace
}  // namespace kinetar
