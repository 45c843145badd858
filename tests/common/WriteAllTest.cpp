#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <numeric>
#include <string>
#include <vector>

#include "common/WriteAll.h"
#include "support/TestFiles.h"

namespace kinetar {
namespace {

std::vector<std::uint8_t> Counting(std::size_t size, std::uint8_t first)
{
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// Counting bytes from 1 split into parts of the given sizes, written in a child process under a file
// size limit (which cuts a write short, then refuses the next with EFBIG). One size: the plain form.
int WriteInChild(const std::string& path, std::int64_t offset, const std::vector<std::size_t>& sizes, rlim_t limit)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        auto bytes = Counting(std::accumulate(sizes.begin(), sizes.end(), std::size_t{0}), 1);
        std::vector<iovec> parts;
        for (std::size_t at = 0; const std::size_t part : sizes) {
            parts.push_back({bytes.data() + std::exchange(at, at + part), part});
        }
        if (fd < 0 || ::setrlimit(RLIMIT_FSIZE, &size) != 0) {
            ::_exit(255);
        }
        ::_exit(sizes.size() == 1 ? WriteAll(fd, offset, bytes) : WriteAll(fd, offset, parts));
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WriteAll, BytesLandInOrderAfterTheOffsetUpToTheFirstRefusal)
{
    const std::vector<std::size_t> manyOnes(1500, 1);  // more parts than one call takes
    const struct {
        std::vector<std::size_t> sizes;
        std::int64_t offset;
        rlim_t limit;
        int error;
    } rows[] = {
        {{}, 10, RLIM_INFINITY, 0},
        {{0, 0, 0}, 10, RLIM_INFINITY, 0},
        {{8, 33, 1}, 40, RLIM_INFINITY, 0},
        {{0, 5, 0, 0, 7, 0}, 0, RLIM_INFINITY, 0},
        {{8, 300}, 150, RLIM_INFINITY, 0},  // past the end, after a hole
        {{77}, 5, RLIM_INFINITY, 0},
        {manyOnes, 7, RLIM_INFINITY, 0},
        {{3'000'000}, 9, RLIM_INFINITY, 0},                    // more than one call writes
        {{700'000, 700'000, 1'500'000}, 0, RLIM_INFINITY, 0},  // the call's cap inside a part
        {{5000}, 0, 1024, EFBIG},
        {{5000}, 300, 1024, EFBIG},
        {{8, 2000, 1, 3000}, 0, 1024, EFBIG},  // cut inside a part
        {{1000, 24, 5000}, 0, 1024, EFBIG},    // cut at a part's end
        {manyOnes, 20, 1024, EFBIG},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.sizes.size() << " parts at " << row.offset << ", limit " << row.limit);
        test::TempDir dir;
        const std::string path = dir.File("f");
        test::WriteFile(path, Counting(100, 200));
        EXPECT_EQ(WriteInChild(path, row.offset, row.sizes, row.limit), row.error);

        auto expected = Counting(100, 200);
        const auto offset = static_cast<std::size_t>(row.offset);
        const auto total = std::accumulate(row.sizes.begin(), row.sizes.end(), std::size_t{0});
        const auto end = std::min<std::size_t>(offset + total, row.limit);
        expected.resize(std::max(expected.size(), end), 0);
        const auto bytes = Counting(end - offset, 1);
        std::copy(bytes.begin(), bytes.end(), expected.begin() + row.offset);
        EXPECT_EQ(test::ReadFile(path), expected);
    }
}

}  // namespace
}  // namespace kinetar
