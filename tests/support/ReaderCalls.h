#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "pictures/DecodedPicture.h"

namespace kinetar::test {

// A picture reader on bytes in memory, as each format's reader offers one.
using PictureReader = void (*)(std::span<const std::uint8_t>, const std::string&, pictures::DecodedPicture&);

// One format's reader bound to the path its messages name, so tests call it on bytes alone.
class ReaderCalls {
public:
    ReaderCalls(PictureReader reader, std::string path) : m_reader(reader), m_path(std::move(path)) {}

    pictures::DecodedPicture Read(const std::vector<std::uint8_t>& bytes) const;
    // The message the reader refuses the bytes with; bytes it reads fail the test.
    std::string ErrorOf(const std::vector<std::uint8_t>& bytes) const;
    // Read as a plain callable, as truncation tables take it.
    std::function<void(const std::vector<std::uint8_t>&)> Reads() const;

private:
    PictureReader m_reader;
    std::string m_path;
};

}  // namespace kinetar::test
