#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pictures/DecodedPicture.h"
#include "project/ProjectFile.h"
#include "project/TextRecords.h"

namespace kinetar::avi {

// A title card as a 24-bit picture of the frame's size: its background colour, or the picture
// after it blurred and darkened as a blurred fill shows it (the colour when there is none or it
// cannot be read), and its words over it. Shown as a stretched picture, so it takes crossfades and
// motion as pictures do.
std::unique_ptr<pictures::DecodedPicture> MakeTitleCard(const project::Title& title,
                                                        const project::ProjectHeader& header,
                                                        const std::string& nextPicturePath, std::int32_t frameWidth,
                                                        std::int32_t frameHeight);

}  // namespace kinetar::avi
