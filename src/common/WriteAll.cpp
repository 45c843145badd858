#include "common/WriteAll.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>

namespace kinetar {

namespace {

std::atomic<std::int64_t> g_writeLimit{-1};
std::atomic<int> g_limitError{0};

// Shortens the parts to at most `bytes` in all; the count of parts left.
std::size_t Cap(std::span<iovec> parts, std::size_t bytes)
{
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].iov_len >= bytes) {
            parts[i].iov_len = bytes;
            return i + 1;
        }
        bytes -= parts[i].iov_len;
    }
    return parts.size();
}

}  // namespace

void LimitWritesForTesting(std::int64_t limit, int error)
{
    g_limitError = error;
    g_writeLimit = limit;
}

int WriteAll(int fd, std::int64_t offset, std::span<const iovec> parts)
{
    // At most this many parts go to one call, well under IOV_MAX.
    constexpr std::size_t kBatch = 64;
    // And at most this many bytes. Measured here, a 2.7 MB frame handed over in one call is copied
    // into the page cache at a third to a half of the speed of the same bytes in 1 MiB calls (and
    // varies from run to run); ffmpeg, writing in small pieces, never paid that.
    constexpr std::size_t kMaxPerCall = 1024 * 1024;
    std::size_t first = 0;  // the first part not yet wholly written
    std::size_t skip = 0;   // bytes of that part already written
    auto position = static_cast<off_t>(offset);
    while (true) {
        while (first < parts.size() && skip >= parts[first].iov_len) {
            skip = 0;
            ++first;
        }
        if (first == parts.size()) {
            return 0;
        }
        std::array<iovec, kBatch> batch{};
        std::size_t count = std::min(kBatch, parts.size() - first);
        std::copy_n(parts.begin() + static_cast<std::ptrdiff_t>(first), count, batch.begin());
        batch[0].iov_base = static_cast<std::uint8_t*>(batch[0].iov_base) + skip;
        batch[0].iov_len -= skip;
        count = Cap(std::span(batch.data(), count), kMaxPerCall);
        if (const std::int64_t limit = g_writeLimit.load(std::memory_order_relaxed); limit >= 0) {
            if (position >= limit) {
                return g_limitError;
            }
            count = Cap(std::span(batch.data(), count), static_cast<std::size_t>(limit - position));
        }
        const ssize_t put = ::pwritev(fd, batch.data(), static_cast<int>(count), position);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        // The first part holds at least one byte still to write, so nothing written is a failure.
        if (put <= 0) {
            return put < 0 ? errno : ENOSPC;
        }
        position += put;
        // Walk past what was written.
        auto left = static_cast<std::size_t>(put);
        while (left > 0) {
            const std::size_t inPart = parts[first].iov_len - skip;
            if (left < inPart) {
                skip += left;
                left = 0;
            } else {
                left -= inPart;
                skip = 0;
                ++first;
            }
        }
    }
}

int WriteAll(int fd, std::int64_t offset, std::span<const std::uint8_t> bytes)
{
    const iovec part{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    return WriteAll(fd, offset, std::span(&part, 1));
}

}  // namespace kinetar
