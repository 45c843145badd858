#include "common/Processes.h"

#include <signal.h>
#include <sys/types.h>

#include <cerrno>

namespace kinetar {

bool ProcessIsGone(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace kinetar
