#include "support/Destinations.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "support/TestFiles.h"

namespace kinetar::test {

namespace fs = std::filesystem;

void MakeFifo(const std::string& path)
{
    if (::mkfifo(path.c_str(), 0600) != 0) {
        throw std::runtime_error("mkfifo failed: " + path);
    }
}

void MakeSocket(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (!bound) {
        throw std::runtime_error("cannot bind a socket to " + path);
    }
}

namespace {

std::string FileEntry(mode_t mode, const std::string& contents)
{
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode & 07777));
    const bool text = contents.size() < 32 &&
                      std::all_of(contents.begin(), contents.end(), [](char c) { return c >= ' ' && c <= '~'; });
    return std::string("file ") + octal + " " +
           (text ? "'" + contents + "'" : "<" + std::to_string(contents.size()) + " bytes>");
}

void Put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), 0604);
}

bool MakeNullDevice(const std::string& path)
{
    return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
}

// The destination's path; empty when this user cannot make it.
std::string Make(const fs::path& dir, Destination kind)
{
    const std::string out = (dir / "out").string();
    fs::create_directory(dir / "sub");
    switch (kind) {
    case Destination::Regular:
        Put(out, "old");
        break;
    case Destination::Missing:
        break;
    case Destination::Folder:
        fs::create_directory(out);
        break;
    case Destination::Fifo:
        MakeFifo(out);
        break;
    case Destination::Socket:
        MakeSocket(out);
        break;
    case Destination::DeviceNode:
        return MakeNullDevice(out) ? out : "";
    case Destination::LinkToRegular:
        Put((dir / "target").string(), "old");
        fs::create_symlink(dir / "target", out);
        break;
    case Destination::DanglingLink:
        fs::create_symlink("sub/new", out);
        break;
    case Destination::LinkToFolder:
        fs::create_symlink("sub", out);
        break;
    case Destination::LinkToFifo:
        MakeFifo((dir / "sub/fifo").string());
        fs::create_symlink("sub/fifo", out);
        break;
    case Destination::LinkToDevice:
        if (!MakeNullDevice((dir / "sub/null").string())) {
            return "";
        }
        fs::create_symlink("sub/null", out);
        break;
    case Destination::LinkChain:
        // The second link is relative to its own folder: "target" there is sub/target, not the
        // decoy beside "out".
        Put((dir / "target").string(), "decoy");
        Put((dir / "sub/target").string(), "old");
        fs::create_symlink("target", dir / "sub/link");
        fs::create_symlink("sub/link", out);
        break;
    case Destination::ReadOnlyFolder:
        Put((dir / "sub/out").string(), "old");
        ::chmod((dir / "sub").c_str(), 0555);
        return (dir / "sub/out").string();
    }
    return out;
}

const DestinationRow kRows[] = {
    {"regular file", Destination::Regular, "out", 0},
    {"missing", Destination::Missing, "out", 0},
    {"folder", Destination::Folder, nullptr, EISDIR},
    {"FIFO", Destination::Fifo, nullptr, EINVAL},
    {"socket", Destination::Socket, nullptr, EINVAL},
    {"device node", Destination::DeviceNode, nullptr, EINVAL},
    {"absolute link to a file", Destination::LinkToRegular, "target", 0},
    {"dangling link: its target is made", Destination::DanglingLink, "sub/new", 0},
    {"link to a folder", Destination::LinkToFolder, nullptr, EISDIR},
    {"link to a FIFO", Destination::LinkToFifo, nullptr, EINVAL},
    {"link to a device node", Destination::LinkToDevice, nullptr, EINVAL},
    {"chain of relative links", Destination::LinkChain, "sub/target", 0},
    {"file in a read-only folder", Destination::ReadOnlyFolder, nullptr, EACCES},
};

}  // namespace

std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).string();
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        if (S_ISLNK(status.st_mode)) {
            entries[name] = "link -> " + fs::read_symlink(entry.path()).string();
        } else if (S_ISREG(status.st_mode)) {
            std::ifstream in(entry.path(), std::ios::binary);
            entries[name] = FileEntry(status.st_mode, {std::istreambuf_iterator<char>(in), {}});
        } else {
            entries[name] = S_ISDIR(status.st_mode)    ? "folder"
                            : S_ISFIFO(status.st_mode) ? "fifo"
                            : S_ISCHR(status.st_mode)  ? "device"
                                                       : "socket";
        }
    }
    return entries;
}

void CheckEveryDestination(const std::string& contents,
                           const std::function<void(const DestinationRow& row, const std::string& path)>& replace)
{
    const mode_t savedUmask = ::umask(022);
    for (const DestinationRow& row : kRows) {
        SCOPED_TRACE(row.name);
        if (row.error == EACCES && ::geteuid() == 0) {
            std::cout << "skipped as root, who may write anywhere: " << row.name << "\n";
            continue;
        }
        TempDir dir;
        const std::string path = Make(dir.Path(), row.kind);
        if (path.empty()) {
            std::cout << "skipped, only root may make a device: " << row.name << "\n";
            continue;
        }
        auto expected = Snapshot(dir.Path());
        {
            const HangGuard guard;
            replace(row, path);
        }
        if (row.replaced != nullptr) {
            expected[row.replaced] = FileEntry(expected.count(row.replaced) != 0 ? 0604 : 0644, contents);
        }
        EXPECT_EQ(Snapshot(dir.Path()), expected);
        ::chmod(dir.File("sub").c_str(), 0755);
    }
    ::umask(savedUmask);
}

}  // namespace kinetar::test
