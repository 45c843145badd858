#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kinetar {

// "<path> is not a regular file": the one text for a device, FIFO, socket or folder found where a
// file is to be read or replaced, so that the command line and the window say it alike.
std::string NotRegularFileMessage(const std::string& path);

// A regular file, opened so that the open itself can never block: a FIFO without a partner, a
// terminal line or another device is answered at once. Whatever else stands at the path is looked
// at before it is opened and never kept open. The descriptor is closed with this object.
class RegularFile {
public:
    // `flags` as open(2) takes them; O_CLOEXEC, O_NOCTTY and O_NONBLOCK are added, and O_NONBLOCK
    // is cleared again once the file is known to be regular. With O_CREAT a missing file is made.
    RegularFile(const std::string& path, int flags, mode_t mode = 0666);
    RegularFile(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    RegularFile& operator=(RegularFile&&) = delete;
    ~RegularFile();

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    // Why the file is not open: the errno of the open, or for something other than a regular file
    // EISDIR (a folder) or EINVAL (anything else).
    int OpenError() const { return m_error; }
    // Something other than a regular file is at the path; IsFolder() tells a folder apart.
    bool IsNotRegular() const { return m_error != 0 && m_type != 0; }
    bool IsFolder() const;
    // The file's size when it was opened.
    std::int64_t Size() const { return m_size; }

private:
    void Refuse(mode_t mode);

    int m_fd = -1;
    int m_error = 0;
    mode_t m_type = 0;  // the file type bits of what was refused
    std::int64_t m_size = 0;
};

}  // namespace kinetar
