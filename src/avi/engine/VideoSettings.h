#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "project/ProjectFile.h"

namespace kinetar::avi {

inline constexpr std::int32_t kMinVideoSide = 1;
inline constexpr std::int32_t kMaxVideoSide = 32767;
inline constexpr std::int64_t kMaxVideoFrames = 0x7FFFFFFF;

// Sizes by name, for the usual screens and phones.
struct SizePreset {
    std::string_view Name;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};
inline constexpr std::array<SizePreset, 6> kSizePresets{{{"720p", 1280, 720},
                                                         {"1080p", 1920, 1080},
                                                         {"4k", 3840, 2160},
                                                         {"vertical", 1080, 1920},
                                                         {"square", 1080, 1080},
                                                         {"portrait", 1080, 1350}}};
// The preset of that name, case aside; nothing for any other text.
std::optional<SizePreset> FindSizePreset(std::string_view name);

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
