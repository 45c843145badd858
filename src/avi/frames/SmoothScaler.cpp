#include "avi/frames/SmoothScaler.h"

#include <memory>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "common/Error.h"

namespace kinetar::avi {

namespace {

struct ContextDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

}  // namespace

void ScaleSmoothly(const ConstBgrRegion& source, const BgrRegion& target)
{
    if (source.Width <= 0 || source.Height <= 0 || target.Width <= 0 || target.Height <= 0) {
        return;
    }
    // The scaler works in luma and chroma for colour pictures; one grey plane per colour keeps
    // every colour exact and leaves only the filtering.
    const std::unique_ptr<SwsContext, ContextDeleter> context(
        sws_getContext(source.Width, source.Height, AV_PIX_FMT_GRAY8, target.Width, target.Height, AV_PIX_FMT_GRAY8,
                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!context) {
        throw Error("Out of memory");
    }
    const auto sourceWidth = static_cast<std::size_t>(source.Width);
    const auto targetWidth = static_cast<std::size_t>(target.Width);
    std::vector<std::uint8_t> sourcePlane(sourceWidth * static_cast<std::size_t>(source.Height));
    std::vector<std::uint8_t> targetPlane(targetWidth * static_cast<std::size_t>(target.Height));
    for (std::size_t colour = 0; colour < 3; ++colour) {
        for (std::int32_t y = 0; y < source.Height; ++y) {
            const std::uint8_t* from = source.Pixels + static_cast<std::size_t>(y) * source.Stride + colour;
            std::uint8_t* to = sourcePlane.data() + static_cast<std::size_t>(y) * sourceWidth;
            for (std::size_t x = 0; x < sourceWidth; ++x) {
                to[x] = from[3 * x];
            }
        }
        const std::uint8_t* const sourceData[4] = {sourcePlane.data(), nullptr, nullptr, nullptr};
        const int sourceStride[4] = {source.Width, 0, 0, 0};
        std::uint8_t* const targetData[4] = {targetPlane.data(), nullptr, nullptr, nullptr};
        const int targetStride[4] = {target.Width, 0, 0, 0};
        sws_scale(context.get(), sourceData, sourceStride, 0, source.Height, targetData, targetStride);
        for (std::int32_t y = 0; y < target.Height; ++y) {
            const std::uint8_t* from = targetPlane.data() + static_cast<std::size_t>(y) * targetWidth;
            std::uint8_t* to = target.Pixels + static_cast<std::size_t>(y) * target.Stride + colour;
            for (std::size_t x = 0; x < targetWidth; ++x) {
                to[3 * x] = from[x];
            }
        }
    }
}

}  // namespace kinetar::avi
