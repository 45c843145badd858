#include "avi/frames/ShownPicture.h"

#include <cmath>

#include "avi/frames/BlurredFill.h"
#include "avi/frames/MovingView.h"

namespace kinetar::avi {

namespace {

void DrawPicture(const ShownPicture& shown, std::int64_t k, WorkingFrame& frame)
{
    if (!shown.Motion) {
        FitPicture(*shown.Picture, shown.Options, frame);
        return;
    }
    const project::Framing framing = project::FramingAt(*shown.Motion, k, shown.Frames);
    const ViewRect view = FramedView(shown.Options.Mode, shown.Picture->Width(), shown.Picture->Height(), frame.Width(),
                                     frame.Height(), framing);
    if (shown.Options.Mode == project::FitMode::Blur) {
        DrawBlurredFill(*shown.Picture, shown.Options.Background, frame);
        DrawView(*shown.Picture, view, shown.Options.Background, frame, Under::Frame);
        return;
    }
    DrawView(*shown.Picture, view, shown.Options.Background, frame);
}

}  // namespace

ShownPicture MakeShownPicture(std::shared_ptr<const pictures::DecodedPicture> picture,
                              const project::ProjectHeader& header, const project::FrameRecord& record,
                              std::int64_t number, std::int64_t frames, std::int32_t frameWidth,
                              std::int32_t frameHeight)
{
    ShownPicture shown{.Picture = std::move(picture),
                       .Options = FitOptionsFor(header, record),
                       .Motion = std::nullopt,
                       .Frames = frames};
    const project::Motion motion = project::GetMotion(record);
    if (motion.Kind != project::MotionKind::None && shown.Picture->Width() > 0 && shown.Picture->Height() > 0) {
        const ViewRect fit =
            FitView(shown.Options.Mode, shown.Picture->Width(), shown.Picture->Height(), frameWidth, frameHeight);
        shown.Motion = project::ResolvedMotion(motion, number, frames, project::GetFrameRate(header),
                                               std::min(fit.Width / shown.Picture->Width(), 1.0));
    }
    return shown;
}

pictures::PictureRequest PictureRequestFor(const project::ProjectHeader& header, const project::FrameRecord& record,
                                           std::int32_t frameWidth, std::int32_t frameHeight)
{
    pictures::PictureRequest request = PictureRequestFor(FitOptionsFor(header, record), frameWidth, frameHeight);
    const project::Motion motion = project::GetMotion(record);
    request.AnyEighths = motion.Kind != project::MotionKind::None;
    const double zoom = project::MaxZoom(motion);
    if (zoom > 1.0 && request.TargetWidth > 0) {
        request.TargetWidth = static_cast<std::int32_t>(std::ceil(request.TargetWidth * zoom));
        request.TargetHeight = static_cast<std::int32_t>(std::ceil(request.TargetHeight * zoom));
    }
    return request;
}

void PutCaptions(const Captions& captions, WorkingFrame& frame)
{
    for (const auto& caption : captions) {
        caption->PutOn({frame.Row(0).data(), frame.RowBytes() * static_cast<std::size_t>(frame.Height())},
                       frame.RowBytes(), frame.Width(), frame.Height());
    }
}

void DrawShownPicture(const ShownPicture& shown, std::int64_t k, WorkingFrame& frame)
{
    DrawPicture(shown, k, frame);
    PutCaptions(shown.Captions, frame);
}

}  // namespace kinetar::avi
