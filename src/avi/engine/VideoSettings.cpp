#include "avi/engine/VideoSettings.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "avi/codecs/CodecRegistry.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::avi {

std::optional<SizePreset> FindSizePreset(std::string_view name)
{
    for (const SizePreset& preset : kSizePresets) {
        const bool same = std::equal(name.begin(), name.end(), preset.Name.begin(), preset.Name.end(),
                                     [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
        if (same) {
            return preset;
        }
    }
    return std::nullopt;
}

using project::ProjectHeader;

std::optional<std::string> VideoSizeRefusal(std::int32_t width, std::int32_t height)
{
    if (DecodersTakeSize(width, height)) {
        return std::nullopt;
    }
    return "Video size " + std::to_string(width) + " x " + std::to_string(height) +
           " is larger than video players can show ((width + 128) x (height + 128) must stay under " +
           std::to_string(std::numeric_limits<std::int32_t>::max() / 8) + "; 16255 x 16255 is the largest square)";
}

void CheckVideoSettings(const ProjectHeader& header)
{
    const auto checkSide = [](const char* name, std::int32_t value) {
        if (value < kMinVideoSide || value > kMaxVideoSide) {
            throw Error(std::string("Video ") + name + " " + std::to_string(value) + " is out of range (allowed: " +
                        std::to_string(kMinVideoSide) + " to " + std::to_string(kMaxVideoSide) + ")");
        }
    };
    checkSide("width", header.Width);
    checkSide("height", header.Height);
    if (const auto refusal = VideoSizeRefusal(header.Width, header.Height)) {
        throw Error(*refusal);
    }
    if (header.FramesPerSecond < 1) {
        throw Error("Frames per second " + std::to_string(header.FramesPerSecond.Get()) +
                    " is out of range (allowed: 1 or more)");
    }
}

bool ProposeSettings(ProjectHeader& header, const std::string& projectPath, const std::string& workingCopyPath)
{
    bool proposed = false;
    // The first picture: sound, caption and title records before it have no size.
    project::FrameRecord first;
    std::int32_t index = 0;
    bool found = false;
    while (header.Width == 0 || header.Height == 0) {
        found = project::ReadFrameRecord(workingCopyPath, index++, first);
        if (!found || project::IsPictureRecord(first)) {
            break;
        }
    }
    if (found) {
        try {
            const auto picture = pictures::LoadPicture(project::GetText(first.PictureFileName));
            header.Width = picture->Width();
            header.Height = picture->Height();
            proposed = true;
        } catch (const Error&) {
            // No size proposal and no message: the user sees the zeros and can type a size.
        }
    }
    if (project::GetText(header.AviFileName).empty()) {
        project::SetText(header.AviFileName, project::DefaultAviFileName(projectPath));
        proposed = true;
    }
    return proposed;
}

}  // namespace kinetar::avi
