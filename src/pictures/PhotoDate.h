#pragma once

#include <string>

#include "pictures/Orientation.h"

namespace kinetar::pictures {

// The day a photo was taken: its EXIF date (JPEG, PNG and WebP files), else the day the file was
// last changed, in local time. A Year of 0 when the file cannot be read at all.
CalendarDate PhotoDate(const std::string& path);

}  // namespace kinetar::pictures
