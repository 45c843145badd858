#include "pictures/HeifReader.h"

#include <libheif/heif.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/Error.h"
#include "common/StopRequest.h"
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

// One colour (or alpha) of a decoded picture: each row `stride` bytes below the one above, each
// sample `step` bytes right of the one to its left.
struct Samples {
    std::uint8_t* first = nullptr;
    std::size_t stride = 0;
    std::size_t step = 1;

    const std::uint8_t* Row(std::int32_t y) const { return first + static_cast<std::size_t>(y) * stride; }
};

// Rows are given back in steps of about this much, so a small picture costs no system calls.
constexpr std::size_t kReleaseStep = 1024 * 1024;

using Image = std::unique_ptr<heif_image, ImageDeleter>;

// The library decodes a picture in one call that nothing interrupts, for seconds when the picture
// is huge: it runs on a thread of its own so that a stop is heard meanwhile, and holds the handle
// (and through it the file's bytes) until it ends.
Image Decode(std::shared_ptr<const heif_image_handle> handle, heif_chroma chroma,
             const std::function<void(const heif_error&)>& check)
{
    struct Decoded {
        Image Picture;
        heif_error Outcome{};
    };
    std::optional<Decoded> decoded = CallUnlessStopped<Decoded>([handle, chroma] {
        const std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
        options->convert_hdr_to_8bit = 1;
        options->strict_decoding = 1;  // damage is refused, never decoded around
        heif_image* rawImage = nullptr;
        const heif_error outcome =
            heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, options.get());
        return Decoded{Image(rawImage), outcome};
    });
    if (!decoded) {
        throw Error(msg::kPictureReadingStopped);
    }
    // Strict decoding refuses a picture the decoder had to patch up, yet hands it over all the same.
    Image image = std::move(decoded->Picture);
    check(decoded->Outcome);  // its message lies in the handle, which the caller holds
    return image;
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
    // A copy the library keeps: a decode left running after a stop outlives the caller's bytes.
    check(heif_context_read_from_memory(context.get(), bytes.data(), bytes.size(), nullptr));
    heif_image_handle* rawHandle = nullptr;
    const heif_error found = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    const std::shared_ptr<const heif_image_handle> handle(rawHandle, HandleDeleter());
    check(found);
    CheckPictureSize(heif_image_handle_get_width(rawHandle), heif_image_handle_get_height(rawHandle), path);
    CheckAuxiliarySizes(rawHandle, path);

    // The library decodes only at the full size; a reduced picture would be scaled after it. It
    // makes interleaved pixels out of separate red, green and blue planes while holding both, so
    // 8-bit pictures are taken as those planes (the same samples); deeper ones it interleaves as
    // it reduces them to 8 bits.
    const bool alpha = heif_image_handle_has_alpha_channel(rawHandle) != 0;
    const std::size_t channels = alpha ? 4 : 3;
    const heif_chroma interleaved = alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    bool planar = heif_image_handle_get_luma_bits_per_pixel(rawHandle) == 8 &&
                  heif_image_handle_get_chroma_bits_per_pixel(rawHandle) == 8;
    auto image = Decode(handle, planar ? heif_chroma_444 : interleaved, check);
    constexpr std::array<heif_channel, 4> kPlaneChannels = {heif_channel_R, heif_channel_G, heif_channel_B,
                                                            heif_channel_Alpha};
    const auto plane = [&](std::size_t channel) {
        int stride = 0;
        std::uint8_t* first =
            heif_image_get_plane(image.get(), planar ? kPlaneChannels[channel] : heif_channel_interleaved, &stride);
        if (first != nullptr && !planar) {
            first += channel;
        }
        return Samples{first, static_cast<std::size_t>(stride), planar ? 1 : channels};
    };
    if (planar &&
        std::any_of(kPlaneChannels.begin(), kPlaneChannels.begin() + static_cast<std::ptrdiff_t>(channels),
                    [&](heif_channel channel) { return heif_image_get_bits_per_pixel(image.get(), channel) != 8; })) {
        image.reset();  // an alpha plane deeper than the colours
        planar = false;
        image = Decode(handle, interleaved, check);
    }
    const heif_channel sizeChannel = planar ? heif_channel_R : heif_channel_interleaved;
    const int width = heif_image_get_width(image.get(), sizeChannel);
    const int height = heif_image_get_height(image.get(), sizeChannel);
    const Samples red = plane(0);
    const Samples green = plane(1);
    const Samples blue = plane(2);
    const Samples opacity = alpha ? plane(3) : Samples{};
    // The alpha plane is an image of its own, whose size a damaged file may give apart from the
    // picture's: each plane must cover the picture.
    const bool planesCover =
        !planar || std::all_of(kPlaneChannels.begin(), kPlaneChannels.begin() + static_cast<std::ptrdiff_t>(channels),
                               [&](heif_channel channel) {
                                   return heif_image_get_width(image.get(), channel) >= width &&
                                          heif_image_get_height(image.get(), channel) >= height;
                               });
    if (red.first == nullptr || green.first == nullptr || blue.first == nullptr ||
        (alpha && opacity.first == nullptr) || width <= 0 || height <= 0 || !planesCover) {
        throw Error(msg::kBadHeif + path);
    }
    CheckPictureSize(width, height, path);

    DecodedPicture decoded = NewPhotoPicture(width, height);
    const SrgbConversion conversion(Profile(rawHandle), alpha ? ProfilePixels::Bgra : ProfilePixels::Bgr);
    // The library hands such pixels over as the file stores them.
    const bool premultiplied = alpha && heif_image_is_premultiplied_alpha(image.get()) != 0;
    std::vector<std::uint8_t> bgra(alpha ? static_cast<std::size_t>(width) * 4 : 0);
    // The library's full-size image and ours would both be whole at the end of the copy: the rows
    // of each of its planes are given back once copied.
    const std::vector<Samples> planes =
        planar ? (alpha ? std::vector{red, green, blue, opacity} : std::vector{red, green, blue}) : std::vector{red};
    const auto releaseRows = static_cast<std::int32_t>(std::max<std::size_t>(1, kReleaseStep / red.stride));
    for (std::int32_t y = 0; y < height; ++y) {
        if (y % releaseRows == 0 && y > 0) {
            for (const Samples& released : planes) {
                ReleasePages(released.Row(y - releaseRows), released.Row(y));
            }
        }
        std::uint8_t* const target = decoded.Row(y).data();
        std::uint8_t* const row = alpha ? bgra.data() : target;
        const std::uint8_t* const reds = red.Row(y);
        const std::uint8_t* const greens = green.Row(y);
        const std::uint8_t* const blues = blue.Row(y);
        const std::uint8_t* const opacities = alpha ? opacity.Row(y) : nullptr;
        // To the blue-first order of the picture's rows.
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            std::uint8_t* out = row + x * channels;
            out[0] = blues[x * blue.step];
            out[1] = greens[x * green.step];
            out[2] = reds[x * red.step];
            if (alpha) {
                out[3] = opacities[x * opacity.step];
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
