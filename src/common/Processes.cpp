#include "common/Processes.h"

#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>

namespace kinetar {

bool ProcessIsGone(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

long ProcessInNameTail(std::string_view tail)
{
    const std::size_t dot = tail.find('.');
    if (dot == 0 || dot > 10 || dot == std::string_view::npos || tail.size() != dot + 7) {
        return 0;
    }
    long pid = 0;
    for (const char digit : tail.substr(0, dot)) {
        if (digit < '0' || digit > '9') {
            return 0;
        }
        pid = pid * 10 + (digit - '0');
    }
    for (const char c : tail.substr(dot + 1)) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return 0;
        }
    }
    return pid;
}

}  // namespace kinetar
