#pragma once

#include <cstdint>
#include <optional>

#include "project/Motion.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::project {

// What one edit of the frames' settings writes into each record; nullopt keeps the record's own.
struct FrameEdit {
    std::optional<std::uint8_t> Stretch;
    // Also sets the stretch byte, as readers that know only that byte should draw the frame.
    std::optional<FitMode> Fit;
    std::optional<std::uint32_t> Duration;   // milliseconds
    std::optional<std::uint32_t> Crossfade;  // milliseconds
    // A motion comes with its own easing; an easing alone changes that of the record's motion.
    // Initialised here so that edits written before motion need not name them.
    std::optional<project::Motion> Motion = {};
    std::optional<Easing> Ease = {};
};

// Writes the edit into a picture's record. A sound record takes none of it: it has no fit and
// takes no time. Returns false for a sound record, which stays as it was.
bool ApplyFrameEdit(FrameRecord& record, const FrameEdit& edit);

}  // namespace kinetar::project
