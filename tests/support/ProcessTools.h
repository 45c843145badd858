#pragma once

#include <string>

namespace kinetar::test {

// The id of a process that has just ended: a child that exits at once, reaped.
long GonePid();

// In ten seconds, lets go a reader stuck in opening this FIFO, so a test that must not wait on it
// ends (late, and fails on its clock) instead of hanging.
void ReleaseFifoReaderLater(const std::string& path);

}  // namespace kinetar::test
