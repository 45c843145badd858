#include "project/FrameEdits.h"

#include <algorithm>
#include <utility>

#include "project/TextRecords.h"

namespace kinetar::project {

bool ApplyFrameEdit(FrameRecord& record, const FrameEdit& edit)
{
    if (TakesNoVideoTime(record)) {
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
    if (edit.Motion.Any()) {
        Motion motion = GetMotion(record);
        motion.Kind = edit.Motion.Kind.value_or(motion.Kind);
        motion.Ease = edit.Motion.Ease.value_or(motion.Ease);
        for (const auto& [view, values] :
             {std::pair{&motion.Start, &edit.Motion.Start}, {&motion.End, &edit.Motion.End}}) {
            view->X = (*values)[0].value_or(view->X);
            view->Y = (*values)[1].value_or(view->Y);
            view->Zoom = (*values)[2].value_or(view->Zoom);
        }
        SetMotion(record, motion);
    }
    return true;
}

bool MotionEdit::Any() const
{
    const auto anyOf = [](const std::array<std::optional<double>, 3>& values) {
        return std::any_of(values.begin(), values.end(), [](const auto& value) { return value.has_value(); });
    };
    return Kind || Ease || anyOf(Start) || anyOf(End);
}

MotionEdit MotionEdit::Whole(const Motion& motion)
{
    return {.Kind = motion.Kind,
            .Ease = motion.Ease,
            .Start = {motion.Start.X, motion.Start.Y, motion.Start.Zoom},
            .End = {motion.End.X, motion.End.Y, motion.End.Zoom}};
}

}  // namespace kinetar::project
