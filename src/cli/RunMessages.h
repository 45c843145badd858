#pragma once

#include <cstdint>
#include <string>

#include "avi/engine/AviEngine.h"
#include "avi/writer/Container.h"

namespace kinetar::cli {

// A run's result for the terminal: the window's text, with what the run tells beyond it (the
// destination and the system's reason, what the compressor refuses, whether a file was written),
// saying "video file" where the destination is not an AVI file. Empty for a run that is done.
std::string ResultText(std::uint8_t result, const avi::RunOutcome& outcome, const std::string& destination,
                       avi::Container container);

}  // namespace kinetar::cli
