#include "support/RgbImage.h"

#include <cctype>
#include <sstream>

#include "pictures/DecodedPicture.h"
#include "support/ByteWriter.h"

namespace kinetar::test {

std::uint32_t RgbImage::At(int x, int y) const
{
    const auto at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)) * 3;
    return (std::uint32_t{Pixels[at]} << 16) | (std::uint32_t{Pixels[at + 1]} << 8) | Pixels[at + 2];
}

RgbImage SolidImage(int width, int height, std::uint32_t color)
{
    RgbImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        image.Pixels.insert(image.Pixels.end(),
                            {static_cast<std::uint8_t>(color >> 16), static_cast<std::uint8_t>(color >> 8),
                             static_cast<std::uint8_t>(color)});
    }
    return image;
}

RgbImage GradientImage(int width, int height, int seed)
{
    RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.Pixels.insert(image.Pixels.end(),
                                {static_cast<std::uint8_t>(x * 7 + seed), static_cast<std::uint8_t>(y * 11 + seed * 3),
                                 static_cast<std::uint8_t>((x + y) * 5 + 40)});
        }
    }
    return image;
}

RgbImage ToRgb(const pictures::DecodedPicture& picture)
{
    RgbImage image{picture.Width(), picture.Height(), {}};
    image.Pixels.reserve(static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height) * 3);
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            const pictures::PaletteEntry color = picture.PixelColor(x, y);
            image.Pixels.insert(image.Pixels.end(), {color.Red, color.Green, color.Blue});
        }
    }
    return image;
}

pictures::DecodedPicture ToPicture(const RgbImage& image)
{
    pictures::DecodedPicture picture;
    picture.SetWidth(image.Width);
    picture.SetHeight(image.Height);
    picture.Fill(0xA5);
    for (int y = 0; y < image.Height; ++y) {
        const auto row = picture.Row(y);
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t color = image.At(x, y);
            row[3 * static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(color);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>(color >> 8);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<std::uint8_t>(color >> 16);
        }
    }
    return picture;
}

std::vector<std::uint32_t> PixelColors(const pictures::DecodedPicture& picture)
{
    const RgbImage image = ToRgb(picture);
    std::vector<std::uint32_t> colors;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            colors.push_back(image.At(x, y));
        }
    }
    return colors;
}

std::vector<std::vector<int>> PixelIndices(const pictures::DecodedPicture& picture)
{
    std::vector<std::vector<int>> rows;
    for (int y = 0; y < picture.Height(); ++y) {
        std::vector<int> row;
        for (int x = 0; x < picture.Width(); ++x) {
            row.push_back(pictures::PackedPixel(picture.Row(y), x, picture.BitsPerPixel()));
        }
        rows.push_back(row);
    }
    return rows;
}

std::string FirstDifference(const RgbImage& actual, const RgbImage& expected)
{
    if (actual.Width != expected.Width || actual.Height != expected.Height) {
        std::ostringstream text;
        text << "size " << actual.Width << "x" << actual.Height << ", expected " << expected.Width << "x"
             << expected.Height;
        return text.str();
    }
    for (int y = 0; y < actual.Height; ++y) {
        for (int x = 0; x < actual.Width; ++x) {
            if (actual.At(x, y) != expected.At(x, y)) {
                std::ostringstream text;
                text << std::hex << "pixel (" << std::dec << x << ", " << y << ") is 0x" << std::hex << actual.At(x, y)
                     << ", expected 0x" << expected.At(x, y);
                return text.str();
            }
        }
    }
    return {};
}

std::vector<std::uint8_t> PpmBytes(const RgbImage& image)
{
    ByteWriter ppm;
    ppm.Text("P6 " + std::to_string(image.Width) + " " + std::to_string(image.Height) + " 255\n").Bytes(image.Pixels);
    return ppm.Data();
}

std::optional<RgbImage> ParsePpm(std::span<const std::uint8_t> bytes)
{
    std::size_t position = 0;
    const auto token = [&]() -> std::string {
        while (position < bytes.size()) {
            if (bytes[position] == '#') {
                while (position < bytes.size() && bytes[position] != '\n') {
                    ++position;
                }
            } else if (std::isspace(bytes[position]) != 0) {
                ++position;
            } else {
                break;
            }
        }
        std::string text;
        while (position < bytes.size() && std::isspace(bytes[position]) == 0) {
            text.push_back(static_cast<char>(bytes[position++]));
        }
        return text;
    };
    if (token() != "P6") {
        return std::nullopt;
    }
    RgbImage image;
    try {
        image.Width = std::stoi(token());
        image.Height = std::stoi(token());
        if (std::stoi(token()) != 255) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    ++position;  // the single blank after maxval
    const std::size_t size = static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height) * 3;
    if (position + size > bytes.size()) {
        return std::nullopt;
    }
    image.Pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                        bytes.begin() + static_cast<std::ptrdiff_t>(position + size));
    return image;
}

}  // namespace kinetar::test
