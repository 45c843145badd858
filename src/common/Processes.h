#pragma once

namespace kinetar {

// True when no process with this id exists any more, so what it left behind (a hidden output, a
// working copy) is nobody's. A process of another user, which this one may not signal, still
// counts as running.
bool ProcessIsGone(long pid);

}  // namespace kinetar
