#pragma once

#include <string>
#include <vector>

#include "project/ProjectFile.h"
#include "support/TestFiles.h"

namespace kinetar::test {

// A short show in a folder of its own, with what a player has to get right: automatic and custom
// motion, crossfades (one into a picture that cannot be read, one out of it), a picture of one
// frame, and a sound record between pictures. Its pictures are patterned PNGs larger than the
// frame, so any difference in decoding, fitting or blending shows in the pixels.
struct ShowProject {
    // width x height at fps frames a second.
    ShowProject(std::int32_t width, std::int32_t height, std::int32_t fps);

    TempDir dir;
    project::ProjectHeader header;
    std::vector<project::FrameRecord> records;  // paths absolute

    std::string Path() const { return dir.File("show.AVIprj"); }
    // Writes the header and records as the project file; returns its path.
    std::string Write() const;
};

}  // namespace kinetar::test
