#pragma once

#include "cli/CommandLine.h"

// The commands that put words on the video. Each writes the project anew through one atomic
// replace, or leaves it untouched.
namespace kinetar::cli {

int CommandCaption(Arguments arguments);
int CommandTitle(Arguments arguments);

}  // namespace kinetar::cli
