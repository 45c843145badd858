#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kinetar {

struct ReadResult {
    std::size_t Count = 0;  // bytes that arrived, from the start of the buffer
    int Error = 0;          // the errno of the read that failed; 0 when the buffer filled or the file ended
};

// Reads from the descriptor's current position until the bytes are full or the file ends, going on
// after short reads and interrupted calls. A file that ends early, cut short since its size was
// taken, is no failure: Count tells how far it went.
ReadResult ReadAll(int fd, std::span<std::uint8_t> bytes);

// The same from `offset` (pread), the descriptor's position left alone: the count of bytes that
// arrived, short where the file ends or a read fails.
std::size_t ReadUpTo(int fd, std::int64_t offset, void* bytes, std::size_t count);

}  // namespace kinetar
