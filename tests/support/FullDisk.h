#pragma once

#include <cstdint>

#include "common/WriteAll.h"

namespace kinetar::test {

// While it lives, every write through WriteAll past `limit` bytes into its file fails with
// `error`, as on a full disk, in this process.
class FullDisk {
public:
    FullDisk(std::int64_t limit, int error) { LimitWritesForTesting(limit, error); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    ~FullDisk() { LimitWritesForTesting(-1, 0); }
};

}  // namespace kinetar::test
