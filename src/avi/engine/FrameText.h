#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "avi/frames/ShownPicture.h"
#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"
#include "project/FrameRecordReader.h"
#include "project/ProjectFile.h"

// What the render and a still share for words on frames, so both draw them alike.
namespace kinetar::avi {

// The captions of the records before a picture (or title) record, their templates filled for it
// and drawn for the frame's size. pictureIndex counts picture records from 0; pictureCount is how
// many the project has.
Captions DrawCaptions(std::span<const project::FrameRecord> captionRecords, const project::FrameRecord& picture,
                      std::int64_t pictureIndex, std::int64_t pictureCount, std::int32_t frameWidth,
                      std::int32_t frameHeight);

// A picture record's picture as its reader gives it, or a title record's card at the frame's size
// (nextPicturePath: the picture a blurred background is made of). Raises the reader's Error.
std::unique_ptr<pictures::DecodedPicture> LoadFramePicture(const project::FrameRecord& record,
                                                           const project::ProjectHeader& header,
                                                           const std::string& nextPicturePath,
                                                           const pictures::PictureRequest& request,
                                                           std::int32_t frameWidth, std::int32_t frameHeight);

// The path of the first picture record at index or after it; empty when there is none.
std::string NextPicturePath(const project::FrameRecordReader& records, std::int32_t index);

}  // namespace kinetar::avi
