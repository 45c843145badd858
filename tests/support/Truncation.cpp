#include "support/Truncation.h"

#include <gtest/gtest.h>

#include "support/ErrorText.h"

namespace kinetar::test {

void ExpectTruncations(const std::vector<std::uint8_t>& whole, std::size_t from, std::size_t to,
                       const BytesReader& read, const std::function<std::string(std::size_t length)>& expected,
                       const std::source_location& where)
{
    // Failures name the table's line in the test as well as the cut.
    const ::testing::ScopedTrace table(where.file_name(), static_cast<int>(where.line()), "truncation table");
    ASSERT_LE(to, whole.size()) << "cuts past the end of the fixture";
    for (std::size_t cut = from; cut < to; ++cut) {
        SCOPED_TRACE(cut);
        const std::vector<std::uint8_t> bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(ErrorText([&] { read(bytes); }, where), expected(cut));
    }
}

void ExpectTruncations(const std::vector<std::uint8_t>& whole, std::size_t from, std::size_t to,
                       const BytesReader& read, const std::string& expected, const std::source_location& where)
{
    ExpectTruncations(
        whole, from, to, read, [&](std::size_t) { return expected; }, where);
}

}  // namespace kinetar::test
