#pragma once

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace kinetar::test {

// Ends the test program if the scope is not left in time: an open that blocks on a FIFO would
// otherwise hang the whole run instead of failing.
class HangGuard {
public:
    explicit HangGuard(unsigned seconds = 20) { ::alarm(seconds); }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
    ~HangGuard() { ::alarm(0); }
};

void MakeFifo(const std::string& path);
// A Unix socket's node, left behind by a socket bound to it and closed.
void MakeSocket(const std::string& path);

// Every entry under the folder by its relative path: "file 0604 'old'" (long contents as
// "<360 bytes>"), "link -> target", "folder", "fifo", "device", "socket".
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

enum class Destination {
    Regular,
    Missing,
    Folder,
    Fifo,
    Socket,
    DeviceNode,
    LinkToRegular,
    DanglingLink,
    LinkToFolder,
    LinkToFifo,
    LinkToDevice,
    LinkChain,
    ReadOnlyFolder,
};

struct DestinationRow {
    const char* name;
    Destination kind;
    const char* replaced;  // the file that takes the new contents, relative to the folder; none when refused
    int error;             // why not: EISDIR for a folder, EINVAL for anything else not regular, EACCES
};

// Makes each kind of destination in a fresh folder (an existing file holds "old", mode 0604), hands
// its path to `replace`, and checks the file system afterwards: the replaced file holds `contents`
// with its mode kept (a new file's under umask 022), everything else is as it was and each link is
// still a link. The device is a node of our own with /dev/null's numbers, so a fault never
// clobbers the system's; only root may make it, and only others are kept out of a read-only
// folder, so each of those rows runs for one of them. `replace` checks its own result.
void CheckEveryDestination(const std::string& contents,
                           const std::function<void(const DestinationRow& row, const std::string& path)>& replace);

}  // namespace kinetar::test
