#include "ui/QtConvert.h"

#include <algorithm>
#include <cstring>

namespace kinetar::ui {

QImage ToImage(const pictures::DecodedPicture& picture)
{
    const int width = picture.Width();
    const int height = picture.Height();
    const int bits = picture.BitsPerPixel();
    if (width <= 0 || height <= 0) {
        return {};
    }
    // 24-bit pixels go straight into the format the screen takes, so showing them converts nothing.
    const QImage::Format format = bits == 24  ? QImage::Format_RGB32
                                  : bits == 1 ? QImage::Format_Mono
                                              : QImage::Format_Indexed8;
    QImage image(width, height, format);
    if (image.isNull()) {
        return {};
    }
    if (bits != 24) {
        QList<QRgb> colors;
        for (std::uint32_t index = 0; index < (1U << bits); ++index) {
            const pictures::PaletteEntry color = picture.PaletteColor(index);
            colors << qRgb(color.Red, color.Green, color.Blue);
        }
        image.setColorTable(colors);
    }
    for (int y = 0; y < height; ++y) {
        const auto row = picture.Row(y);
        uchar* line = image.scanLine(y);
        if (bits == 24) {
            auto* pixels = reinterpret_cast<QRgb*>(line);
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* bgr = row.data() + 3 * x;
                pixels[x] = qRgb(bgr[2], bgr[1], bgr[0]);
            }
        } else if (bits == 4) {
            for (int x = 0; x < width; ++x) {
                line[x] = PackedPixel(row, x, 4);
            }
        } else {
            std::memcpy(line, row.data(),
                        std::min<std::size_t>(row.size(), static_cast<std::size_t>(image.bytesPerLine())));
        }
    }
    return image;
}

QImage ToImage(const avi::WorkingFrame& frame)
{
    QImage image(frame.Width(), frame.Height(), QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < frame.Height(); ++y) {
        const auto row = frame.Row(y);
        auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < frame.Width(); ++x) {
            const std::uint8_t* bgr = row.data() + 3 * x;
            pixels[x] = qRgb(bgr[2], bgr[1], bgr[0]);
        }
    }
    return image;
}

}  // namespace kinetar::ui
