#include "avi/frames/TitleCard.h"

#include <algorithm>

#include "avi/frames/BlurredFill.h"
#include "avi/frames/FrameFitting.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "text/TextDrawing.h"

namespace kinetar::avi {

std::unique_ptr<pictures::DecodedPicture> MakeTitleCard(const project::Title& title,
                                                        const project::ProjectHeader& header,
                                                        const std::string& nextPicturePath, std::int32_t frameWidth,
                                                        std::int32_t frameHeight)
{
    WorkingFrame frame(frameWidth, frameHeight);
    const pictures::PaletteEntry colour{title.Background[0], title.Background[1], title.Background[2], 0};
    frame.Fill(colour);
    bool blurred = false;
    if (title.BlurredBackground && !nextPicturePath.empty()) {
        const FitOptions options{.Mode = project::FitMode::Blur,
                                 .Background = {header.Background[0], header.Background[1], header.Background[2], 0},
                                 .Smooth = header.SmoothScaling != 0};
        try {
            const auto picture =
                pictures::LoadPicture(nextPicturePath, PictureRequestFor(options, frameWidth, frameHeight));
            DrawBlurredFill(*picture, options.Background, frame);
            blurred = true;
        } catch (const Error&) {
            // The picture's own frame reports it; the card keeps its colour.
        }
    }
    project::Title shown = title;
    shown.BlurredBackground = blurred;
    text::DrawTitle(shown, frameWidth, frameHeight)
        ->PutOn({frame.Row(0).data(), frame.RowBytes() * static_cast<std::size_t>(frameHeight)}, frame.RowBytes(),
                frameWidth, frameHeight);
    auto card = std::make_unique<pictures::DecodedPicture>();
    card->SetWidth(frameWidth);
    card->SetHeight(frameHeight);
    card->SetPixelFormat(24);
    for (std::int32_t y = 0; y < frameHeight; ++y) {
        const auto row = frame.Row(y);
        std::copy(row.begin(), row.end(), card->Row(y).begin());
    }
    return card;
}

}  // namespace kinetar::avi
