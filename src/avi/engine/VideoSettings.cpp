#include "avi/engine/VideoSettings.h"

#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/Slideshow.h"

namespace kinetar::avi {

using project::ProjectHeader;

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
    if (header.FramesPerSecond < 1) {
        throw Error("Frames per second " + std::to_string(header.FramesPerSecond.Get()) +
                    " is out of range (allowed: 1 or more)");
    }
}

bool ProposeSettings(ProjectHeader& header, const std::string& projectPath, const std::string& workingCopyPath)
{
    bool proposed = false;
    // The first picture: sound records before it have no size.
    project::FrameRecord first;
    std::int32_t index = 0;
    bool found = false;
    while (header.Width == 0 || header.Height == 0) {
        found = project::ReadFrameRecord(workingCopyPath, index++, first);
        if (!found || !project::IsSoundRecord(first)) {
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
