#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/ProjectFile.h"

namespace kinetar::cli {

enum class SortMode { Name, NumberAtStart, NumberAtEnd };

// The frame list's sort key: the name without its extension, or its leading or trailing digits
// right-aligned in 9 places ("999999999" when there are none).
std::string PictureSortKey(const std::string& path, SortMode mode);
// Orders paths by key, case-insensitively; a path whose key equals earlier ones goes before them.
std::vector<std::string> SortPictures(const std::vector<std::string>& paths, SortMode mode);

// The project's folder, its name without the extension, and ".avi".
std::string DefaultAviFileName(const std::string& projectPath);

// Fills in what the settings window proposes: a size from the first frame's picture when width or
// height is 0 (silently nothing when it cannot be read), a destination from the project's name.
void ProposeSettings(project::ProjectHeader& header, const std::string& projectPath);

// Replaces the project file with a header and records: written to a temporary file in the same
// folder, flushed and renamed over it. Raises an Error when that fails; the old file then stays.
void ReplaceProjectFile(const std::string& path, const project::ProjectHeader& header,
                        const std::vector<project::FrameRecord>& records);
// Every record of a project file; raises an Error when its header cannot be read.
project::ProjectHeader ReadProject(const std::string& path, std::vector<project::FrameRecord>* records);

// The settings, then one line per frame: index, "stretch" or "no-stretch", path. Control
// characters in texts are shown as \xNN so that every frame stays on one line.
std::string DescribeProject(const std::string& path);

}  // namespace kinetar::cli
