#include "common/TemporaryFiles.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/Processes.h"

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

}  // namespace

std::string TemporaryFolder()
{
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string folder = (fromEnvironment != nullptr && *fromEnvironment != '\0') ? fromEnvironment : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::string TemporaryNameStem(const std::string& folder, const std::string& prefix)
{
    return (std::filesystem::path(folder) / (prefix + std::to_string(::getpid()) + ".")).string();
}

int CreateTemporaryFile(const std::string& folder, const std::string& prefix, mode_t mode, std::string& path)
{
    const std::string stem = TemporaryNameStem(folder, prefix);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = stem + RandomSuffix();
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            path = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

long TemporaryFileOwner(std::string_view fileName, std::string_view prefix)
{
    return fileName.starts_with(prefix) ? ProcessInNameTail(fileName.substr(prefix.size())) : 0;
}

std::vector<std::string> LeftTemporaryFiles(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> left;
    std::error_code error;
    for (std::filesystem::directory_iterator entries(folder, error), end; !error && entries != end;
         entries.increment(error)) {
        const long owner = TemporaryFileOwner(entries->path().filename().string(), prefix);
        const std::string path = entries->path().string();
        struct stat status {};
        if (owner > 0 && ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            status.st_uid == ::geteuid() && ProcessIsGone(owner)) {
            left.push_back(path);
        }
    }
    return left;
}

}  // namespace kinetar
