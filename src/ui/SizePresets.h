#pragma once

#include <QSize>
#include <QString>

namespace kinetar::ui {

// The sizes the settings window offers: the first frame's picture, then the named sizes every
// size field of the program takes.
int SizePresetCount();
// "1920 × 1080 (1080p)"; the first is "First picture".
QString SizePresetText(int index);
// Empty for the first, which stands for the first frame's picture.
QSize SizePresetSize(int index);

// The preset of this size, the first picture's (invalid while unknown) standing for the first; the
// count of presets when none matches.
int PresetIndexOf(QSize size, QSize firstPicture);

}  // namespace kinetar::ui
