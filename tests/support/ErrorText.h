#pragma once

#include <functional>
#include <optional>
#include <source_location>
#include <string>

namespace kinetar::test {

// The message of the Error the call throws, or nullopt when it returns.
std::optional<std::string> ThrownError(const std::function<void()>& call);

// The message of the Error the call throws. A call that returns is a failure of the test, reported
// at the caller's line; the text is then empty.
std::string ErrorText(const std::function<void()>& call,
                      const std::source_location& where = std::source_location::current());

}  // namespace kinetar::test
