#include "project/FrameEdits.h"

namespace kinetar::project {

bool ApplyFrameEdit(FrameRecord& record, const FrameEdit& edit)
{
    if (IsSoundRecord(record)) {
        return false;
    }
    if (edit.Stretch) {
        record.Stretch = *edit.Stretch;
    }
    // After the stretch byte, which the fit sets as well.
    if (edit.Fit) {
        SetFit(record, *edit.Fit);
    }
    if (edit.Duration) {
        record.Duration = *edit.Duration;
    }
    if (edit.Crossfade) {
        record.Crossfade = *edit.Crossfade;
    }
    if (edit.Motion || edit.Ease) {
        project::Motion motion = edit.Motion ? *edit.Motion : GetMotion(record);
        if (edit.Ease) {
            motion.Ease = *edit.Ease;
        }
        SetMotion(record, motion);
    }
    return true;
}

}  // namespace kinetar::project
