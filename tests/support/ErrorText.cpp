#include "support/ErrorText.h"

#include <gtest/gtest.h>

#include "common/Error.h"

namespace kinetar::test {

std::optional<std::string> ThrownError(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return std::nullopt;
}

std::string ErrorText(const std::function<void()>& call, const std::source_location& where)
{
    const auto message = ThrownError(call);
    if (!message) {
        ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << "no Error was thrown";
        return {};
    }
    return *message;
}

}  // namespace kinetar::test
