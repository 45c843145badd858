#pragma once

#include <cstdint>
#include <string>

#include "common/RegularFile.h"

struct AVFormatContext;
struct AVIOContext;

namespace kinetar::avi {

// A sound file opened by the container library, which reads it through a descriptor of ours: the
// file is checked and opened once, so a FIFO or a device is refused at once and never opened by
// name, even when one takes the file's place after a check. Closed with this object.
class SoundInput {
public:
    explicit SoundInput(const std::string& path);
    SoundInput(const SoundInput&) = delete;
    SoundInput& operator=(const SoundInput&) = delete;
    ~SoundInput();

    // The opened input, its header read but its streams not yet looked into; null when the file is
    // not a regular file or the library cannot open it.
    AVFormatContext* Format() const { return m_format; }

private:
    bool Open(const std::string& path);
    static int Read(void* opaque, std::uint8_t* bytes, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

    RegularFile m_file;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
};

}  // namespace kinetar::avi
