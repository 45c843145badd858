#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kinetar::pictures {

// A picture file's bytes, mapped read-only for the time of one read, so a reader parses memory and
// nothing is copied or allocated in proportion to the file.
class PictureFile {
public:
    // Raises "Can't open file " + path when the file cannot be opened or is a folder, and
    // NotRegularFileMessage for a device, FIFO or socket; the open never waits on one.
    explicit PictureFile(const std::string& path);
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;
    ~PictureFile();

    std::span<const std::uint8_t> Bytes() const { return {m_data, m_size}; }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_mapped = false;
};

}  // namespace kinetar::pictures
