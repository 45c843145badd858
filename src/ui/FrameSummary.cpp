#include "ui/FrameSummary.h"

#include "project/Slideshow.h"
#include "session/PathText.h"

namespace kinetar::ui {

using session::CompareIgnoringCase;
using session::FromNativePath;
using session::ToNativePath;

void MergeFrameSummary(project::FrameRecord& summary, const project::FrameRecord& record)
{
    const QString name = FromNativePath(project::GetText(summary.PictureFileName));
    if (name != kDifferentNames &&
        CompareIgnoringCase(name, FromNativePath(project::GetText(record.PictureFileName))) != 0) {
        project::SetText(summary.PictureFileName, ToNativePath(kDifferentNames));
    }
    // The fit first: while its byte is 0 it reads the stretch byte.
    if (summary.Fit != kDifferentFit && project::GetFit(summary) != project::GetFit(record)) {
        summary.Fit = kDifferentFit;
    }
    if (summary.Duration.Get() != kDifferentMilliseconds && summary.Duration.Get() != record.Duration.Get()) {
        summary.Duration = kDifferentMilliseconds;
    }
    if (summary.Crossfade.Get() != kDifferentMilliseconds && summary.Crossfade.Get() != record.Crossfade.Get()) {
        summary.Crossfade = kDifferentMilliseconds;
    }
    if (summary.Stretch != kDifferentStretch && summary.Stretch != record.Stretch) {
        summary.Stretch = kDifferentStretch;
    }
}

QString FormatPictureSize(int width, int height)
{
    return QString::number(width) + QStringLiteral(" x ") + QString::number(height);
}

}  // namespace kinetar::ui
