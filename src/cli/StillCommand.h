#pragma once

#include "cli/CommandLine.h"

namespace kinetar::cli {

// kinetar-cli still: writes one frame of the project's video as a PNG picture.
int CommandStill(Arguments arguments);

}  // namespace kinetar::cli
