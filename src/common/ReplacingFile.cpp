#include "common/ReplacingFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <utility>

namespace kinetar {

namespace {

// Six letters or digits, fresh for every attempt.
std::string RandomSuffix()
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::array<std::uint8_t, 6> bits{};
    if (::getrandom(bits.data(), bits.size(), GRND_NONBLOCK) != static_cast<ssize_t>(bits.size())) {
        // No entropy yet: the clock differs from try to try, and O_EXCL catches a clash.
        auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        for (auto& bit : bits) {
            bit = static_cast<std::uint8_t>(ticks);
            ticks = ticks >> 8 | ticks << 56;
        }
    }
    std::string suffix;
    for (const std::uint8_t bit : bits) {
        suffix += kLetters[bit % (sizeof kLetters - 1)];
    }
    return suffix;
}

// Opens a new ".name.XXXXXX" beside the destination. The file is created with 0666, so it gets
// what a new file gets (umask, default ACLs) without touching the process-wide umask.
int CreateBeside(const std::string& destination, std::string& temporary)
{
    const std::filesystem::path target(destination);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const std::string stem = (folder / ("." + target.filename().string().substr(0, 200) + ".")).string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = stem + RandomSuffix();
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
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
    m_fd = CreateBeside(m_destination, m_temporary);
    if (m_fd < 0) {
        m_createError = errno;
        m_temporary.clear();
        return;
    }
    struct stat status {};
    if (permissions == Permissions::KeepDestination && ::stat(m_destination.c_str(), &status) == 0) {
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
    // O_NONBLOCK: a FIFO in the destination's place must not hold the open up.
    const int fd = ::open(m_destination.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return;
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    }
    ::close(fd);
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
    const int error = ReplaceName(m_temporary, m_destination, method);
    m_committed = error == 0;
    return error;
}

}  // namespace kinetar
