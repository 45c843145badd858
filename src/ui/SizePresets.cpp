#include "ui/SizePresets.h"

#include "avi/engine/VideoSettings.h"

namespace kinetar::ui {

int SizePresetCount()
{
    return static_cast<int>(avi::kSizePresets.size()) + 1;
}

QString SizePresetText(int index)
{
    if (index <= 0 || index >= SizePresetCount()) {
        return QStringLiteral("First picture");
    }
    const avi::SizePreset& preset = avi::kSizePresets[static_cast<std::size_t>(index - 1)];
    return QStringLiteral("%1 \u00D7 %2 (%3)")
        .arg(preset.Width)
        .arg(preset.Height)
        .arg(QString::fromUtf8(preset.Name.data(), static_cast<qsizetype>(preset.Name.size())));
}

QSize SizePresetSize(int index)
{
    if (index <= 0 || index >= SizePresetCount()) {
        return {};
    }
    const avi::SizePreset& preset = avi::kSizePresets[static_cast<std::size_t>(index - 1)];
    return {preset.Width, preset.Height};
}

int PresetIndexOf(QSize size, QSize firstPicture)
{
    if (firstPicture.isValid() && firstPicture == size) {
        return 0;
    }
    for (int index = 1; index < SizePresetCount(); ++index) {
        if (SizePresetSize(index) == size) {
            return index;
        }
    }
    return SizePresetCount();
}

}  // namespace kinetar::ui
