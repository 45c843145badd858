#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "project/ProjectFile.h"

namespace kinetar::avi {

// True for a regular file the sound library reads as sound: at least one audio stream and no
// moving pictures (a cover picture is allowed). Never blocks on a FIFO or a device.
bool IsSoundFile(const std::string& path);

// Why a sound file cannot be played ("Can't read sound file X: its sample rate of 1 Hz is not one
// Kinetar plays (…)"), by the track's own checks; nothing when it can.
std::optional<std::string> SoundRefusal(const std::string& path);

// The sound's length in whole milliseconds as its file declares it; nothing when the file is not
// a sound or declares no length.
std::optional<std::int64_t> SoundMilliseconds(const std::string& path);

// The record an added file gets: a sound record for a sound file, otherwise a picture record (a
// file with a picture's signature or name is never probed as sound).
project::FrameRecord NewRecordFor(const std::string& path);

}  // namespace kinetar::avi
