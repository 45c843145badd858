#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "common/WriteAll.h"
#include "support/TestFiles.h"

namespace kinetar {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::uint8_t> Counting(std::size_t size, std::uint8_t first)
{
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// Splits bytes into parts of the given sizes, in order.
std::vector<iovec> Parts(std::vector<std::uint8_t>& bytes, const std::vector<std::size_t>& sizes)
{
    std::vector<iovec> parts;
    std::size_t at = 0;
    for (const std::size_t size : sizes) {
        parts.push_back({bytes.data() + at, size});
        at += size;
    }
    return parts;
}

struct GatherCase {
    const char* name;
    std::vector<std::size_t> sizes;
    std::int64_t offset;
};

void PrintTo(const GatherCase& row, std::ostream* out)
{
    *out << row.name;
}

class WriteAllGather : public testing::TestWithParam<GatherCase> {};

TEST_P(WriteAllGather, BytesLandInOrderAfterTheOffsetAndTheRestStays)
{
    const GatherCase& row = GetParam();
    TempDir dir;
    const std::string path = dir.File("f");
    const auto before = Counting(100, 200);
    WriteFile(path, before);
    const std::size_t total = std::accumulate(row.sizes.begin(), row.sizes.end(), std::size_t{0});
    auto bytes = Counting(total, 1);
    const auto parts = Parts(bytes, row.sizes);

    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(WriteAll(fd, row.offset, parts), 0);
    ::close(fd);

    auto expected = before;
    const auto end = static_cast<std::size_t>(row.offset) + total;
    expected.resize(std::max(expected.size(), end), 0);
    std::copy(bytes.begin(), bytes.end(), expected.begin() + row.offset);
    EXPECT_EQ(ReadFile(path), expected);
}

std::vector<std::size_t> Ones(std::size_t count)
{
    return std::vector<std::size_t>(count, 1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriteAllGather,
                         testing::Values(GatherCase{"NoParts", {}, 10}, GatherCase{"OnlyEmptyParts", {0, 0, 0}, 10},
                                         GatherCase{"ChunkHeaderDataPad", {8, 33, 1}, 40},
                                         GatherCase{"EmptyPartsBetween", {0, 5, 0, 0, 7, 0}, 0},
                                         GatherCase{"PastTheEnd", {8, 300}, 100}, GatherCase{"AfterAHole", {3, 4}, 150},
                                         // More parts than one call takes.
                                         GatherCase{"ManySmallParts", Ones(200), 7},
                                         GatherCase{"OverIovMax", Ones(1500), 0}),
                         [](const testing::TestParamInfo<GatherCase>& row) { return std::string(row.param.name); });

// A file size limit cuts a write short and then refuses the next one (EFBIG): the bytes up to the
// limit must be the right ones, and the errno comes back.
int WriteUnderSizeLimit(const std::string& path, std::size_t limit, const std::vector<std::size_t>& sizes,
                        std::int64_t offset)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::setrlimit(RLIMIT_FSIZE, &size) != 0) {
            ::_exit(255);
        }
        const std::size_t total = std::accumulate(sizes.begin(), sizes.end(), std::size_t{0});
        auto bytes = Counting(total, 1);
        const int error = sizes.size() == 1 ? WriteAll(fd, offset, std::span<const std::uint8_t>(bytes))
                                            : WriteAll(fd, offset, Parts(bytes, sizes));
        ::_exit(error);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WriteAll, StopsAtTheFirstRefusalWithItsErrno)
{
    const struct {
        const char* name;
        std::vector<std::size_t> sizes;  // one size: the plain form
        std::int64_t offset;
    } rows[] = {
        {"plain", {5000}, 0},
        {"plain at an offset", {5000}, 300},
        {"cut inside the second part", {8, 2000, 1, 3000}, 0},
        {"cut at a part boundary", {1000, 24, 5000}, 0},
        {"many parts", Ones(3000), 20},
    };
    constexpr std::size_t kLimit = 1024;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.File("f");
        EXPECT_EQ(WriteUnderSizeLimit(path, kLimit, row.sizes, row.offset), EFBIG);
        const auto written = ReadFile(path);
        ASSERT_EQ(written.size(), kLimit);
        const auto source = Counting(kLimit, 1);
        for (std::size_t i = 0; i < kLimit; ++i) {
            const auto offset = static_cast<std::size_t>(row.offset);
            const std::uint8_t expected = i < offset ? 0 : source[i - offset];
            ASSERT_EQ(written[i], expected) << "at " << i;
        }
    }
}

}  // namespace
}  // namespace kinetar
