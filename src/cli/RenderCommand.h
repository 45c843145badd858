#pragma once

#include "cli/CommandLine.h"

namespace kinetar::cli {

// kinetar-cli render: generates the project's video; the exit status is the run's result code.
int CommandRender(Arguments arguments);

}  // namespace kinetar::cli
