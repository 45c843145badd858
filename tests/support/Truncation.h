#pragma once

#include <cstdint>
#include <functional>
#include <source_location>
#include <string>
#include <vector>

namespace kinetar::test {

// Reads bytes, throwing an Error when it refuses them.
using BytesReader = std::function<void(const std::vector<std::uint8_t>& bytes)>;

// Cuts a valid fixture to every length from `from` up to but not including `to`, and expects the
// reader to refuse each cut with exactly the message expected(length).
void ExpectTruncations(const std::vector<std::uint8_t>& whole, std::size_t from, std::size_t to,
                       const BytesReader& read, const std::function<std::string(std::size_t length)>& expected,
                       const std::source_location& where = std::source_location::current());
// The same message for every cut.
void ExpectTruncations(const std::vector<std::uint8_t>& whole, std::size_t from, std::size_t to,
                       const BytesReader& read, const std::string& expected,
                       const std::source_location& where = std::source_location::current());

}  // namespace kinetar::test
