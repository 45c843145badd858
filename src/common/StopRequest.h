#pragma once

namespace kinetar {

// A stop asked of the whole process (Ctrl-C, SIGTERM): set from a signal handler, polled by work
// that takes seconds without a progress report of its own, such as decoding a huge picture row by
// row, so that a stop is heard within it.
void RequestStop() noexcept;
bool StopRequested() noexcept;

}  // namespace kinetar
