#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "project/ProjectFile.h"

namespace kinetar::avi {

inline constexpr std::int32_t kMinVideoSide = 1;
inline constexpr std::int32_t kMaxVideoSide = 32767;
inline constexpr std::int64_t kMaxVideoFrames = 0x7FFFFFFF;

// Why frames of this size make a video nothing can play (too large for the codec library's
// decoders, whatever the compressor); nothing when they do not.
std::optional<std::string> VideoSizeRefusal(std::int32_t width, std::int32_t height);

// Raises an Error naming the value and the allowed range unless 1 <= width, height <= 32767 and
// frames per second >= 1, or VideoSizeRefusal's text for a size nothing can play.
void CheckVideoSettings(const project::ProjectHeader& header);

// Fills in what the settings window proposes for a project: the first frame's picture size when
// width or height is 0 (silently nothing when it cannot be read), and the project's folder and
// name with ".avi" when the destination is empty. True when anything was filled in.
bool ProposeSettings(project::ProjectHeader& header, const std::string& projectPath,
                     const std::string& workingCopyPath);

}  // namespace kinetar::avi
