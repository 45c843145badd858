#pragma once

#include "cli/CommandLine.h"

// The commands that change a project. Each writes the project anew through one atomic replace, or
// leaves it untouched.
namespace kinetar::cli {

int CommandNew(Arguments arguments);
int CommandSet(Arguments arguments);
int CommandAdd(Arguments arguments);
int CommandFrame(Arguments arguments);
int CommandRemove(Arguments arguments);
int CommandMove(Arguments arguments);
int CommandFitMusic(Arguments arguments);

}  // namespace kinetar::cli
