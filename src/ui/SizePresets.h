#pragma once

#include <QSize>
#include <iterator>

namespace kinetar::ui {

// A size the settings window offers; an empty size stands for the first frame's picture.
struct SizePreset {
    const char* Text;
    QSize Size;
};

inline constexpr SizePreset kSizePresets[] = {
    {"First picture", {}},
    {"1280 \u00D7 720", {1280, 720}},
    {"1920 \u00D7 1080", {1920, 1080}},
    {"3840 \u00D7 2160", {3840, 2160}},
    {"1080 \u00D7 1920 (vertical)", {1080, 1920}},
    {"1080 \u00D7 1080 (square)", {1080, 1080}},
};
inline constexpr int kSizePresetCount = static_cast<int>(std::size(kSizePresets));

// The preset of this size, the first picture's (invalid while unknown) standing for the first; the
// count of presets when none matches.
int PresetIndexOf(QSize size, QSize firstPicture);

}  // namespace kinetar::ui
