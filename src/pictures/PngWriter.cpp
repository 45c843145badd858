#include "pictures/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <new>

#include "common/Error.h"

namespace kinetar::pictures {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");  // jumps back to EncodePng
    }
}

void NoFlush(png_structp) {}

}  // namespace

std::vector<std::uint8_t> EncodePng(const std::uint8_t* pixels, std::size_t rowBytes, std::int32_t width,
                                    std::int32_t height)
{
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        throw Error("Out of memory");
    }
    // libpng reports its errors by a jump back here; nothing with a destructor is made in between.
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        throw Error("Can't make the PNG picture");
    }
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    png_set_bgr(png);
    for (std::int32_t y = 0; y < height; ++y) {
        png_write_row(png, pixels + static_cast<std::size_t>(y) * rowBytes);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace kinetar::pictures
