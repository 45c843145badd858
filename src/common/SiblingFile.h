#pragma once

#include <fcntl.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace kinetar {

// Creates a new, empty, hidden file beside the destination (".name.XXXXXX" in its folder), so that
// a finished file can replace the destination with one rename. Returns the open descriptor and
// sets temporaryPath, or returns -1 when the folder does not take it.
inline int CreateSiblingFile(const std::string& destination, std::string& temporaryPath)
{
    const std::filesystem::path target(destination);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    temporaryPath = (folder / ("." + target.filename().string().substr(0, 200) + ".XXXXXX")).string();
    return ::mkostemp(temporaryPath.data(), O_CLOEXEC);
}

}  // namespace kinetar
