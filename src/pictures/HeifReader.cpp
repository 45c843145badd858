#include "pictures/HeifReader.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/Error.h"
#include "pictures/ColorProfile.h"
#include "pictures/Messages.h"
#include "pictures/PhotoPixels.h"

namespace kinetar::pictures {

namespace {

// The library bounds each side, not the area, and builds some pictures (overlays, grids) on a
// canvas of a size declared apart from the picture's own: each side is held to what a picture
// within the pixel bound can have both ways (16384 at 2^28 pixels), so no canvas can outgrow it.
constexpr std::int64_t SideOfSquareWithin(std::int64_t pixels)
{
    std::int64_t side = 1;
    while ((side + 1) * (side + 1) <= pixels) {
        ++side;
    }
    return side;
}
constexpr int kMaxHeifSide = static_cast<int>(std::min(kMaxPictureSide, SideOfSquareWithin(kMaxPicturePixels)));

struct ContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(const heif_image* image) const { heif_image_release(image); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

std::vector<std::uint8_t> Profile(const heif_image_handle* handle)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) {
        return {};  // none, or colours described by code points: taken as sRGB
    }
    std::vector<std::uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
    if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok) {
        profile.clear();
    }
    return profile;
}

// The alpha plane is an image of its own, declaring its own size: it is decoded with the picture.
void CheckAuxiliarySizes(const heif_image_handle* handle, const std::string& path)
{
    std::vector<heif_item_id> ids(
        static_cast<std::size_t>(std::max(0, heif_image_handle_get_number_of_auxiliary_images(handle, 0))));
    ids.resize(static_cast<std::size_t>(
        heif_image_handle_get_list_of_auxiliary_image_IDs(handle, 0, ids.data(), static_cast<int>(ids.size()))));
    for (const heif_item_id id : ids) {
        heif_image_handle* rawAuxiliary = nullptr;
        const heif_error found = heif_image_handle_get_auxiliary_image_handle(handle, id, &rawAuxiliary);
        const std::unique_ptr<const heif_image_handle, HandleDeleter> auxiliary(rawAuxiliary);
        if (found.code == heif_error_Ok) {
            CheckPictureSize(heif_image_handle_get_width(rawAuxiliary), heif_image_handle_get_height(rawAuxiliary),
                             path);
        }
    }
}

// A colour stored multiplied by its alpha, back to the colour itself, so that it is laid over the
// background once.
void Unpremultiply(std::uint8_t* bgra)
{
    const unsigned alpha = bgra[3];
    if (alpha == 0 || alpha == 255) {
        return;
    }
    for (int channel = 0; channel < 3; ++channel) {
        bgra[channel] = static_cast<std::uint8_t>(std::min(255U, (bgra[channel] * 255U + alpha / 2) / alpha));
    }
}

}  // namespace

void ReadHeifPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                     DecodedPicture& picture)
{
    const auto check = [&](const heif_error& error) {
        if (error.code == heif_error_Ok) {
            return;
        }
        // The library's bounds on sizes and counts keep a file from making it allocate without end.
        if (error.subcode == heif_suberror_Security_limit_exceeded) {
            throw Error(msg::kPictureTooLarge + path);
        }
        throw Error(msg::kBadHeif + path + "\r\n" + error.message);
    };
    const std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
    if (!context) {
        throw std::bad_alloc();
    }
    heif_context_set_maximum_image_size_limit(context.get(), kMaxHeifSide + 1);
    check(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr));
    heif_image_handle* rawHandle = nullptr;
    const heif_error found = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    const std::unique_ptr<const heif_image_handle, HandleDeleter> handle(rawHandle);
    check(found);
    CheckPictureSize(heif_image_handle_get_width(rawHandle), heif_image_handle_get_height(rawHandle), path);
    CheckAuxiliarySizes(rawHandle, path);

    // The library decodes only at the full size; a reduced picture would be scaled after it.
    const bool alpha = heif_image_handle_has_alpha_channel(rawHandle) != 0;
    const std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    options->strict_decoding = 1;  // damage is refused, never decoded around
    heif_image* rawImage = nullptr;
    const heif_error decoding =
        heif_decode_image(rawHandle, &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    // Strict decoding refuses a picture the decoder had to patch up, yet hands it over all the same.
    const std::unique_ptr<const heif_image, ImageDeleter> image(rawImage);
    check(decoding);
    const int width = heif_image_get_width(rawImage, heif_channel_interleaved);
    const int height = heif_image_get_height(rawImage, heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(rawImage, heif_channel_interleaved, &stride);
    if (plane == nullptr || width <= 0 || height <= 0) {
        throw Error(msg::kBadHeif + path);
    }
    CheckPictureSize(width, height, path);

    DecodedPicture decoded = NewPhotoPicture(width, height);
    const SrgbConversion conversion(Profile(rawHandle), alpha ? ProfilePixels::Bgra : ProfilePixels::Bgr);
    const std::size_t channels = alpha ? 4 : 3;
    // The library hands such pixels over as the file stores them.
    const bool premultiplied = alpha && heif_image_is_premultiplied_alpha(rawImage) != 0;
    std::vector<std::uint8_t> bgra(alpha ? static_cast<std::size_t>(width) * 4 : 0);
    for (std::int32_t y = 0; y < height; ++y, plane += stride) {
        std::uint8_t* const target = decoded.Row(y).data();
        std::uint8_t* const row = alpha ? bgra.data() : target;
        // Red, green, blue (and alpha) to the blue-first order of the picture's rows.
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            const std::uint8_t* pixel = plane + x * channels;
            std::uint8_t* out = row + x * channels;
            out[0] = pixel[2];
            out[1] = pixel[1];
            out[2] = pixel[0];
            if (alpha) {
                out[3] = pixel[3];
                if (premultiplied) {
                    Unpremultiply(out);
                }
            }
        }
        if (conversion.Active()) {
            conversion.Convert(row, row, static_cast<std::size_t>(width));
        }
        if (alpha) {
            CompositeRow(row, static_cast<std::size_t>(width), request.Background, target);
        }
    }
    picture = std::move(decoded);
}

}  // namespace kinetar::pictures
