#include "cli/RunMessages.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "avi/engine/ResultCode.h"
#include "cli/CliProject.h"
#include "cli/CommandLine.h"

namespace kinetar::cli {

namespace {

// "AVI file" in a message is the file being written, whichever kind it is.
std::string ForContainer(std::string message, avi::Container container)
{
    if (container != avi::Container::Avi) {
        for (auto at = message.find("AVI file"); at != std::string::npos; at = message.find("AVI file", at)) {
            message.replace(at, 3, "video");
        }
    }
    return message;
}

// The run's result for the terminal: the window's text, with what the run tells beyond it (the
// destination and the system's reason, what the compressor refuses, whether a file was written).
std::string ResultTextInAvi(std::uint8_t result, const avi::RunOutcome& outcome, const std::string& destination)
{
    const std::string reason = outcome.SystemError != 0 ? std::strerror(outcome.SystemError) : "";
    const std::string shown = Printable(destination);
    // A run that ends before its first frame leaves an earlier video as it was.
    const std::string left = outcome.DestinationReplaced            ? "the video holds the frames written so far"
                             : std::filesystem::exists(destination) ? shown + " was left as it was"
                                                                    : "no video was written";
    const std::string message = OneLine(avi::ResultMessage(static_cast<avi::ResultCode>(result)));
    switch (result) {
    case avi::kResultCannotOpenFile: {
        struct stat status {};
        if (!outcome.Detail.empty()) {
            return "Can't open AVI file. " + Printable(outcome.Detail);
        }
        if (::stat(destination.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            return "Can't open AVI file. " + shown + " is not a regular file (" + FileKind(status.st_mode) + ")";
        }
        return "Can't open AVI file. " + shown + ": " + (reason.empty() ? "It's probably in use." : reason);
    }
    case avi::kResultFormatRefused:
        return outcome.Detail.empty() ? message : message + ": " + outcome.Detail;
    case avi::kResultStopped:
        return outcome.DestinationReplaced ? "stopped; " + left : "stopped before the first frame; " + left;
    case avi::kResultWriteFailed: {
        // Only a disk that is full (or a file at its size limit) is a matter of free space.
        const int error = outcome.SystemError;
        if (error == 0 || error == ENOSPC || error == EDQUOT || error == EFBIG) {
            return message + (reason.empty() ? "" : " (" + reason + ")") + "; " + left;
        }
        return "Can't write to drive: " + reason + "; " + left;
    }
    default:
        return message;
    }
}

}  // namespace

std::string ResultText(std::uint8_t result, const avi::RunOutcome& outcome, const std::string& destination,
                       avi::Container container)
{
    return ForContainer(ResultTextInAvi(result, outcome, destination), container);
}

}  // namespace kinetar::cli
