// The motion stage alone: frames of 1920x1080 drawn from one photo moving (automatic motion, crop
// fit), as the render draws them, without compression; then, as a peer in the same run, the
// codec library's scaler making the same number of 1080p frames from the same decoded picture.
//   kinetar-motion-bench PHOTO.jpg [FRAMES]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "avi/frames/ShownPicture.h"
#include "pictures/LoadPicture.h"
#include "project/Motion.h"

namespace {

using namespace kinetar;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kinetar-motion-bench PHOTO.jpg [FRAMES]\n");
        return 2;
    }
    const std::int64_t frames = argc > 2 ? std::atoll(argv[2]) : 200;
    constexpr std::int32_t kWidth = 1920;
    constexpr std::int32_t kHeight = 1080;
    project::ProjectHeader header = project::NewProjectHeader();
    header.Width = kWidth;
    header.Height = kHeight;
    header.FramesPerSecond = 25;
    project::FrameRecord record = project::NewFrameRecord(argv[1]);
    project::SetFit(record, project::FitMode::Crop);
    project::Motion motion;
    motion.Kind = project::MotionKind::Automatic;
    project::SetMotion(record, motion);

    auto start = Clock::now();
    std::shared_ptr<const pictures::DecodedPicture> picture =
        pictures::LoadPicture(argv[1], avi::PictureRequestFor(header, record, kWidth, kHeight));
    const double decode = Seconds(start);
    const avi::ShownPicture shown = avi::MakeShownPicture(picture, header, record, 0, frames, kWidth, kHeight);
    avi::WorkingFrame frame(kWidth, kHeight);
    const std::clock_t cpuStart = std::clock();
    start = Clock::now();
    for (std::int64_t k = 0; k < frames; ++k) {
        avi::DrawShownPicture(shown, k, frame);
    }
    const double ours = Seconds(start);
    const double oursCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    // The peer: one bicubic scale of the whole decoded picture to 1080p per frame.
    SwsContext* context = sws_getContext(picture->Width(), picture->Height(), AV_PIX_FMT_BGR24, kWidth, kHeight,
                                         AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kWidth) * kHeight * 3);
    const std::uint8_t* const source[4] = {picture->Row(0).data(), nullptr, nullptr, nullptr};
    const int sourceStride[4] = {static_cast<int>(picture->Stride()), 0, 0, 0};
    std::uint8_t* const target[4] = {out.data(), nullptr, nullptr, nullptr};
    const int targetStride[4] = {kWidth * 3, 0, 0, 0};
    start = Clock::now();
    for (std::int64_t k = 0; k < frames; ++k) {
        sws_scale(context, source, sourceStride, 0, picture->Height(), target, targetStride);
    }
    const double peer = Seconds(start);
    sws_freeContext(context);

    std::printf("decoded at %dx%d in %.2f s\n", picture->Width(), picture->Height(), decode);
    std::printf("moving frames: %lld in %.2f s, %.1f fps (%.1f ms of processor time a frame)\n",
                static_cast<long long>(frames), ours, static_cast<double>(frames) / ours,
                1000 * oursCpu / static_cast<double>(frames));
    std::printf("scaler (peer): %lld in %.2f s, %.1f fps\n", static_cast<long long>(frames), peer,
                static_cast<double>(frames) / peer);
    return 0;
}
