#include "support/LimitedRun.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>

namespace kinetar::test {

LimitedRun RunLimited(const std::function<std::string()>& function, [[maybe_unused]] std::uint64_t addressBytes,
                      unsigned seconds)
{
    // The child's result comes back through a page both processes share.
    constexpr std::size_t kPage = 4096;
    void* page = ::mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        return {.Result = "no shared page"};
    }
    auto* text = static_cast<char*>(page);
    text[0] = '\0';
    const pid_t child = ::fork();
    if (child == 0) {
#ifndef __SANITIZE_ADDRESS__
        const rlimit limit{addressBytes, addressBytes};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        ::alarm(seconds);
        std::string result;
        try {
            result = function();
        } catch (const std::exception& error) {
            result = std::string("threw: ") + error.what();
        }
        text[result.copy(text, kPage - 1)] = '\0';
        ::_exit(0);  // none of the test program's exit handlers in the child
    }
    int status = 0;
    const bool waited = child > 0 && ::waitpid(child, &status, 0) == child;
    LimitedRun run{.Returned = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0,
                   .Signal = waited && WIFSIGNALED(status) ? WTERMSIG(status) : 0,
                   .Result = text};
    ::munmap(page, kPage);
    return run;
}

}  // namespace kinetar::test
