#pragma once

#include <cstdint>
#include <string>

namespace kinetar::avi {

// Result codes of CreateAVI.
enum ResultCode : std::uint8_t {
    kResultDone = 0,
    kResultOldVideoLibrary = 1,
    kResultCannotOpenFile = 2,
    kResultCannotCreateStream = 3,
    kResultStopped = 4,
    kResultCannotMakeCompressor = 5,
    kResultFormatRefused = 6,
    kResultWriteFailed = 7,
};

// What the settings window tells the user about a failed run; empty for done and stopped, which
// need no message. Line breaks are "\r\n".
std::string ResultMessage(ResultCode result);

}  // namespace kinetar::avi
