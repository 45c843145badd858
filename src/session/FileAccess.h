#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/RegularFile.h"

namespace kinetar::session {

// Opens a regular file without ever waiting (see RegularFile). Raises an Error naming the path:
// "… is not a regular file", or `failure` ("Can't read project file "), the path and the reason.
RegularFile OpenRegularFile(const std::string& path, int flags, const std::string& failure);
// Every byte of the file; raises an Error as OpenRegularFile does, or when a read fails.
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

}  // namespace kinetar::session
