#pragma once

#include <QImage>

#include "avi/frames/FrameFitting.h"
#include "pictures/DecodedPicture.h"
#include "session/PathText.h"

namespace kinetar::ui {

// The path and text conversions the windows share with the session.
using session::CompareIgnoringCase;
using session::FileNamePart;
using session::FromCoreText;
using session::FromNativePath;
using session::IsExistingFile;
using session::ToNativePath;

// The picture as Qt draws it: indexed pictures keep their palette (4 bits widened to 8), 24-bit
// pictures their pixels as they are.
QImage ToImage(const pictures::DecodedPicture& picture);
// A fitted frame as the video shows it.
QImage ToImage(const avi::WorkingFrame& frame);

}  // namespace kinetar::ui
