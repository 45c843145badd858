#pragma once

#include <QString>
#include <cstdint>

#include "project/ProjectFile.h"

// What the details panel shows for several selected frames at once.
namespace kinetar::ui {

// The name field's text while the selected frames name different files.
inline const QString kDifferentNames = QStringLiteral("  ");
// What an empty field says while the selected frames differ in its value.
inline const QString kDifferentValues = QStringLiteral("various");
// The summary's stretch and fit while the selected frames differ in them; never stored.
inline constexpr std::uint8_t kDifferentStretch = 255;
inline constexpr std::uint8_t kDifferentFit = 255;
inline constexpr std::uint32_t kDifferentMilliseconds = 0xFFFFFFFF;

// A selected record folded into the summary of several: the name becomes two blanks when the names
// differ (letter case aside), the stretch and the fit 255 and the duration and the crossfade
// kDifferentMilliseconds when the values differ.
void MergeFrameSummary(project::FrameRecord& summary, const project::FrameRecord& record);

// "640 x 480".
QString FormatPictureSize(int width, int height);

}  // namespace kinetar::ui
