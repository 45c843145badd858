#pragma once

#include <stdexcept>
#include <string>

namespace kinetar {

// The one error type of the core: it carries exactly one message text, shown to the user as it is.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kinetar
