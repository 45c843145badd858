#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kinetar::test {

// The id of a process that has just ended: a child that exits at once, reaped.
long GonePid();

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value);
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;
    ~ScopedVariable();

private:
    std::string m_name, m_saved;
    bool m_wasSet = false;
};

// A FIFO that nobody should wait on. If a reader is still stuck in opening it after a few seconds,
// a writer comes and goes, so the test ends and reports it instead of hanging.
class WatchedFifo {
public:
    explicit WatchedFifo(std::string path);
    WatchedFifo(const WatchedFifo&) = delete;
    WatchedFifo& operator=(const WatchedFifo&) = delete;
    ~WatchedFifo();

    // Ends the watch: whether a reader had to be let go.
    bool ReaderWasStuck();

private:
    std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::atomic<bool> m_stuck = false;
    std::thread m_watch;
};

}  // namespace kinetar::test
