#pragma once

#include <sys/uio.h>

#include <cstdint>
#include <span>

namespace kinetar {

// Writes every byte at the offset, going on after short writes and interrupted calls. Returns 0,
// or the errno of the write that failed (ENOSPC for a write that took nothing). Bytes before the
// failure may have been written.
int WriteAll(int fd, std::int64_t offset, std::span<const std::uint8_t> bytes);

// The same for bytes gathered from several buffers, which land one after another from the offset.
int WriteAll(int fd, std::int64_t offset, std::span<const iovec> parts);

// For tests: from now on a write through WriteAll that would reach past `limit` bytes into its
// file writes what fits below the limit and then fails with `error` (ENOSPC, EDQUOT, EFBIG), as
// a full disk or a file size limit does. A negative limit lifts it.
void LimitWritesForTesting(std::int64_t limit, int error);

}  // namespace kinetar
