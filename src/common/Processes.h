#pragma once

#include <string_view>

namespace kinetar {

// True when no process with this id exists any more, so what it left behind (a hidden output, a
// working copy) is nobody's. A process of another user, which this one may not signal, still
// counts as running.
bool ProcessIsGone(long pid);

// The process id in the tail "<pid>.XXXXXX" (up to ten digits, a dot, six letters or digits) that
// names of temporary files made by a process end with; 0 when the tail has any other shape.
long ProcessInNameTail(std::string_view tail);

}  // namespace kinetar
