#include "ui/SizePresets.h"

#include <algorithm>

namespace kinetar::ui {

int PresetIndexOf(QSize size, QSize firstPicture)
{
    const auto matches = [&](const SizePreset& preset) {
        return preset.Size.isEmpty() ? firstPicture.isValid() && firstPicture == size : preset.Size == size;
    };
    return static_cast<int>(std::find_if(std::begin(kSizePresets), std::end(kSizePresets), matches) -
                            std::begin(kSizePresets));
}

}  // namespace kinetar::ui
