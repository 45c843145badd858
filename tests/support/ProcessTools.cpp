#include "ProcessTools.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace kinetar::test {

long GonePid()
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    if (child < 0 || ::waitpid(child, nullptr, 0) != child) {
        throw std::runtime_error("no child process");
    }
    return child;
}

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : m_name(name)
{
    if (const char* saved = std::getenv(name)) {
        m_saved = saved;
        m_wasSet = true;
    }
    ::setenv(name, value.c_str(), 1);
}

ScopedVariable::~ScopedVariable()
{
    m_wasSet ? ::setenv(m_name.c_str(), m_saved.c_str(), 1) : ::unsetenv(m_name.c_str());
}

WatchedFifo::WatchedFifo(std::string path) : m_path(std::move(path))
{
    if (::mkfifo(m_path.c_str(), 0600) != 0) {
        throw std::runtime_error("mkfifo failed: " + m_path);
    }
    m_watch = std::thread([this] {
        std::unique_lock lock(m_mutex);
        if (m_done.wait_for(lock, std::chrono::seconds(10), [this] { return m_finished; })) {
            return;
        }
        // Opening for writing without waiting succeeds only while someone waits to read.
        const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            m_stuck = true;
            ::close(fd);
        }
    });
}

WatchedFifo::~WatchedFifo()
{
    ReaderWasStuck();
}

bool WatchedFifo::ReaderWasStuck()
{
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_all();
    if (m_watch.joinable()) {
        m_watch.join();
    }
    return m_stuck;
}

}  // namespace kinetar::test
