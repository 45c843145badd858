#pragma once

#include "cli/CommandLine.h"

// The commands that only read: info about a project, and the list of compressors.
namespace kinetar::cli {

int CommandInfo(Arguments arguments);
int CommandCodecs(Arguments arguments);

}  // namespace kinetar::cli
