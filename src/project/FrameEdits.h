#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "project/Motion.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::project {

// What an edit writes of a picture's motion, each part on its own (nullopt keeps the record's),
// so several frames may be given one part and keep the rest. Nothing is written when no part is
// set: an untouched record keeps its bytes.
struct MotionEdit {
    std::optional<MotionKind> Kind;
    std::optional<Easing> Ease;
    std::array<std::optional<double>, 3> Start, End;  // centre X, Y and zoom of each view

    bool Any() const;
    // A motion given whole, its easing included.
    static MotionEdit Whole(const Motion& motion);
};

// What one edit of the frames' settings writes into each record; nullopt keeps the record's own.
struct FrameEdit {
    std::optional<std::uint8_t> Stretch;
    // Also sets the stretch byte, as readers that know only that byte should draw the frame.
    std::optional<FitMode> Fit;
    std::optional<std::uint32_t> Duration;   // milliseconds
    std::optional<std::uint32_t> Crossfade;  // milliseconds
    // Initialised here so that edits written before motion need not name it.
    MotionEdit Motion = {};
};

// Writes the edit into a picture's or title's record. A sound or caption record takes none of it:
// it has no fit and takes no time. Returns false for those, which stay as they were.
bool ApplyFrameEdit(FrameRecord& record, const FrameEdit& edit);

}  // namespace kinetar::project
