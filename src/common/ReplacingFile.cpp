#include "common/ReplacingFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/TemporaryFiles.h"

namespace kinetar {

namespace {

// The folder of a path and the start of the hidden names beside it: ".name." (the name cut to 200
// bytes, so the whole hidden name stays within a file name's 255).
std::pair<std::string, std::string> HiddenStem(const std::string& path)
{
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.parent_path();
    return {folder.empty() ? "." : folder.string(), "." + target.filename().string().substr(0, 200) + "."};
}

// The folder a path's last part is in.
std::string FolderOf(const std::string& path)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? "." : folder.string();
}

// Whether the kernel would follow the link for us (its fs.protected_symlinks rule): not when the
// link lies in a sticky folder that everyone may write to and belongs neither to us nor to the
// folder's owner, as a link that another user planted in /tmp does.
bool MayFollowLink(const std::string& link, const struct stat& linkStatus)
{
    if (linkStatus.st_uid == ::geteuid()) {
        return true;
    }
    struct stat folder {};
    if (::stat(FolderOf(link).c_str(), &folder) != 0) {
        return false;
    }
    return (folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH) || folder.st_uid == linkStatus.st_uid;
}

// The path with every symbolic link on its last part followed, a relative link read from the
// link's own folder. Empty with ELOOP after as many links as the kernel follows, and with EACCES
// and the link in `unsafeLink` at a link the kernel would not follow. The links among the folders
// on the way are the kernel's to follow, and to refuse.
std::string FollowLinks(const std::string& path, int& error, std::string& unsafeLink)
{
    std::string current = path;
    for (int link = 0; link < 40; ++link) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return current;
        }
        if (!MayFollowLink(current, status)) {
            error = EACCES;
            unsafeLink = current;
            return {};
        }
        std::string pointsTo(static_cast<std::size_t>(status.st_size) + 256, '\0');
        const ssize_t length = ::readlink(current.c_str(), pointsTo.data(), pointsTo.size());
        if (length < 0) {
            return current;
        }
        pointsTo.resize(static_cast<std::size_t>(length));
        const std::filesystem::path next(pointsTo);
        current = next.is_absolute() ? pointsTo : (std::filesystem::path(current).parent_path() / next).string();
    }
    error = ELOOP;
    return {};
}

// EISDIR or EINVAL when something other than a regular file is at the path, else 0.
int NotRegularError(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) {
        return 0;
    }
    return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
}

#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

int Exchange(const std::string& from, const std::string& to)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    const int result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE);
#else
    // C libraries without the wrapper.
    const auto result = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE);
#endif
    return result == 0 ? 0 : errno;
}

int Rename(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::string UnsafeLinkMessage(const std::string& link)
{
    return link + " is a symbolic link in a folder others can write to, owned by another user; it was not followed";
}

int ReplaceName(const std::string& from, const std::string& to, ReplaceMethod method)
{
    struct stat status {};
    // A rename gives the right answer for a missing destination and refuses a folder, which the
    // swap would move aside.
    if (method == ReplaceMethod::Rename || ::lstat(to.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        return Rename(from, to);
    }
    if (Exchange(from, to) != 0) {
        // Nothing moved: file systems without the swap, or anything else, get the rename's answer.
        return Rename(from, to);
    }
    // The old file now has the hidden name.
    if (::unlink(from.c_str()) != 0 && errno == EISDIR) {
        // A folder took the destination's name since it was looked at: swap back, as a rename
        // would have refused.
        return Exchange(from, to) == 0 ? EISDIR : 0;
    }
    // A failed delete leaves the old file under the hidden name; the destination is the new one.
    return 0;
}

ReplacingFile::ReplacingFile(std::string destination, Permissions permissions) : m_destination(std::move(destination))
{
    m_target = FollowLinks(m_destination, m_createError, m_unsafeLink);
    if (m_createError != 0) {
        return;
    }
    if ((m_createError = NotRegularError(m_target)) != 0) {
        m_refused = true;
        return;
    }
    const auto [folder, prefix] = HiddenStem(m_target);
    // What processes now gone left beside this destination (killed, or their delete failed).
    for (const std::string& left : LeftTemporaryFiles(folder, prefix)) {
        (void)::unlink(left.c_str());
    }
    // Created with 0666, so it gets what a new file gets (umask, default ACLs) without touching the
    // process-wide umask.
    m_fd = CreateTemporaryFile(folder, prefix, 0666, m_temporary);
    if (m_fd < 0) {
        m_createError = errno;
        m_temporary.clear();
        return;
    }
    struct stat status {};
    if (permissions == Permissions::KeepDestination && ::stat(m_target.c_str(), &status) == 0) {
        // The owner and group too, where this user may set them (root always, others their own
        // groups); before the mode, as a change of owner clears the set-id bits.
        // Where neither is allowed the copy keeps this user's own owner and group.
        if (::fchown(m_fd, status.st_uid, status.st_gid) != 0 &&
            ::fchown(m_fd, static_cast<uid_t>(-1), status.st_gid) != 0) {
            errno = 0;
        }
        (void)::fchmod(m_fd, status.st_mode & 07777);
    }
}

ReplacingFile::~ReplacingFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (IsOpen() && !m_committed) {
        ::unlink(m_temporary.c_str());
    }
}

int ReplacingFile::ReleaseDescriptor()
{
    return std::exchange(m_fd, -1);
}

void ReplacingFile::DropDestinationCache() const
{
    const RegularFile file(m_target, O_RDONLY);
    if (file.IsOpen()) {
        (void)::posix_fadvise(file.Descriptor(), 0, 0, POSIX_FADV_DONTNEED);
    }
}

int ReplacingFile::Commit(ReplaceMethod method)
{
    if (!IsOpen()) {
        return m_createError != 0 ? m_createError : EBADF;
    }
    if (m_committed) {
        return 0;
    }
    if (m_fd >= 0 && ::close(std::exchange(m_fd, -1)) != 0) {
        return errno;
    }
    if (const int error = NotRegularError(m_target)) {
        return error;
    }
    const int error = ReplaceName(m_temporary, m_target, method);
    m_committed = error == 0;
    return error;
}

}  // namespace kinetar
