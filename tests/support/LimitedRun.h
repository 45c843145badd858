#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kinetar::test {

struct LimitedRun {
    bool Returned = false;  // the function returned: no signal ended the child, the clock's neither
    int Signal = 0;
    std::string Result;  // what the function returned (up to 4 KiB), or "threw: " and the error
};

// Runs the function in a child process capped at addressBytes of address space and killed by
// SIGALRM after the given seconds. Under the address sanitizer, whose shadow memory takes terabytes
// of address space, only the clock limits it.
LimitedRun RunLimited(const std::function<std::string()>& function, std::uint64_t addressBytes, unsigned seconds);

}  // namespace kinetar::test
