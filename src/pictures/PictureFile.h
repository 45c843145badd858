#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kinetar::pictures {

// A picture file's bytes, read into memory once so a reader parses memory. They are a copy, not a
// mapping: a file that another program cuts short while it is read (a sync client, a camera still
// copying) then gives fewer bytes, which its reader reports as a truncated picture, where touching
// a mapping past the new end would kill the process.
class PictureFile {
public:
    // Raises "Can't open file " + path when the file cannot be opened or read or is a folder, and
    // NotRegularFileMessage for a device, FIFO or socket; the open never waits on one.
    explicit PictureFile(const std::string& path);

    std::span<const std::uint8_t> Bytes() const { return {m_bytes.get(), m_size}; }

private:
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::size_t m_size = 0;
};

}  // namespace kinetar::pictures
