#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kinetar::ui {

// A regular file opened without ever waiting: a FIFO or a device in its place is refused at once
// instead of holding the window until a writer comes. Raises an Error naming the path: `failure`
// ("Can't read project file ") and the system's reason, or "… is not a regular file".
class RegularFile {
public:
    // `flags`: O_RDONLY or O_RDWR, with O_CREAT where a missing file is made.
    RegularFile(const std::string& path, int flags, const std::string& failure);
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    int Descriptor() const { return m_fd; }
    std::int64_t Size() const { return m_size; }

private:
    int m_fd = -1;
    std::int64_t m_size = 0;
};

// The message for a path that is there but is no regular file.
std::string NotRegularText(const std::string& path);

// Every byte of the file; raises an Error as RegularFile does, or when a read fails.
std::vector<std::uint8_t> ReadRegularFile(const std::string& path, const std::string& failure);

// What tells that another program replaced or rewrote a file: its identity, size and time.
struct FileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    std::int64_t Size = 0;
    std::int64_t ModifiedSeconds = 0;
    long ModifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the file a path leads to; nothing when it is not there.
std::optional<FileStamp> StampOf(const std::string& path);

}  // namespace kinetar::ui
