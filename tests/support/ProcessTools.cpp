#include "ProcessTools.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace kinetar::test {

long GonePid()
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

void ReleaseFifoReaderLater(const std::string& path)
{
    std::thread([path] {
        std::this_thread::sleep_for(std::chrono::seconds(10));
        // Opening for writing without waiting succeeds only while someone waits to read.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
        }
    }).detach();
}

}  // namespace kinetar::test
