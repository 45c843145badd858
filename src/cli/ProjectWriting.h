#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/ProjectFile.h"

namespace kinetar::cli {

// Replaces the project file with the header and records, the stop signals held back meanwhile so
// that the replace leaves either the old file or the new one and no temporary beside them.
void SaveProject(const std::string& path, const project::ProjectHeader& header,
                 const std::vector<project::FrameRecord>& records);

// Writes the project anew: the header, then record(i) for i from 0 to count - 1, asked for in that
// order, one at a time. A stop request while they are written drops the new file, leaving the
// project as it was; only the final replace holds the signals back.
void RewriteProject(const std::string& path, const project::ProjectHeader& header, std::int32_t count,
                    const std::function<project::FrameRecord(std::int32_t)>& record);

}  // namespace kinetar::cli
