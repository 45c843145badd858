#include "pictures/WebpReader.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "common/Error.h"
#include "pictures/ColorProfile.h"
#include "pictures/Messages.h"
#include "pictures/Orientation.h"
#include "pictures/PhotoPixels.h"

namespace kinetar::pictures {

namespace {

const char* StatusWords(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "out of memory";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "unsupported feature";
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return "the file ends too early";
    default:
        return "the data is damaged";
    }
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimationDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// The payload of the first chunk of that name, or nothing.
std::span<const std::uint8_t> Chunk(const WebPDemuxer* demux, const char* name)
{
    WebPChunkIterator chunk;
    if (demux == nullptr || WebPDemuxGetChunk(demux, name, 1, &chunk) == 0) {
        return {};
    }
    const std::span<const std::uint8_t> payload(chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);  // the payload stays in the file's bytes
    return payload;
}

// Rows are given back in steps of about this much, so a small picture costs no system calls.
constexpr std::size_t kReleaseStep = 1024 * 1024;

// Transparent rows, blue, green, red, alpha, converted and laid over the background. The decoded
// rows are freed unread afterwards, so each is given back once finished: the decoded picture and
// the finished one are never both whole.
void FinishRows(const std::uint8_t* bgra, std::size_t stride, const SrgbConversion& conversion, PaletteEntry background,
                DecodedPicture& picture, std::vector<std::uint8_t>& row)
{
    const auto width = static_cast<std::size_t>(picture.Width());
    row.resize(width * 4);
    const std::size_t releaseRows = std::max<std::size_t>(1, kReleaseStep / stride);
    const std::uint8_t* released = bgra;
    for (std::int32_t y = 0; y < picture.Height(); ++y, bgra += stride) {
        if (static_cast<std::size_t>(y) % releaseRows == 0 && y > 0) {
            ReleasePages(released, bgra);
            released = bgra;
        }
        const std::uint8_t* source = bgra;
        if (conversion.Active()) {
            conversion.Convert(bgra, row.data(), width);
            source = row.data();
        }
        CompositeRow(source, width, background, picture.Row(y).data());
    }
}

}  // namespace

void ReadWebpPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                     DecodedPicture& picture)
{
    const auto refuse = [&](VP8StatusCode status) { throw Error(msg::kBadWebp + path + "\r\n" + StatusWords(status)); };
    WebPDecoderConfig config;
    if (WebPInitDecoderConfig(&config) == 0) {
        refuse(VP8_STATUS_INVALID_PARAM);
    }
    if (const VP8StatusCode status = WebPGetFeatures(bytes.data(), bytes.size(), &config.input);
        status != VP8_STATUS_OK) {
        refuse(status);
    }
    const WebPBitstreamFeatures& features = config.input;
    CheckPictureSize(features.width, features.height, path);

    const WebPData data{bytes.data(), bytes.size()};
    const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    const int orientation = ExifOrientation(Chunk(demux.get(), "EXIF"));
    const bool alpha = features.has_alpha != 0 || features.has_animation != 0;
    const SrgbConversion conversion(Chunk(demux.get(), "ICCP"), alpha ? ProfilePixels::Bgra : ProfilePixels::Bgr);
    std::vector<std::uint8_t> row;
    DecodedPicture decoded;

    if (features.has_animation != 0) {
        // The first frame on its canvas, as a player shows it before the animation starts.
        WebPAnimDecoderOptions options;
        if (WebPAnimDecoderOptionsInit(&options) == 0) {
            refuse(VP8_STATUS_INVALID_PARAM);
        }
        options.color_mode = MODE_BGRA;
        options.use_threads = 0;
        const std::unique_ptr<WebPAnimDecoder, AnimationDeleter> animation(WebPAnimDecoderNew(&data, &options));
        std::uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!animation || WebPAnimDecoderGetNext(animation.get(), &canvas, &timestamp) == 0) {
            refuse(VP8_STATUS_BITSTREAM_ERROR);
        }
        decoded = NewPhotoPicture(features.width, features.height);
        FinishRows(canvas, static_cast<std::size_t>(features.width) * 4, conversion, request.Background, decoded, row);
        picture = Oriented(std::move(decoded), orientation);
        return;
    }

    const bool swaps = SwapsSides(orientation);
    const int reduction =
        ReductionFor(features.width, features.height, swaps ? request.TargetHeight : request.TargetWidth,
                     swaps ? request.TargetWidth : request.TargetHeight);
    const int width = (features.width + reduction - 1) / reduction;
    const int height = (features.height + reduction - 1) / reduction;
    if (reduction > 1) {
        config.options.use_scaling = 1;
        config.options.scaled_width = width;
        config.options.scaled_height = height;
    }
    // Opaque pictures are decoded straight into the picture's rows (which lie one after another,
    // Stride() apart), the others beside it first and the picture made after them.
    if (!alpha) {
        decoded = NewPhotoPicture(width, height);
    }
    std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> bgra(
        alpha ? static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height) : 0);
    WebPRGBABuffer& output = config.output.u.RGBA;
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    output.rgba = alpha ? bgra.data() : decoded.Row(0).data();
    output.stride = alpha ? width * 4 : static_cast<int>(decoded.Stride());
    output.size = alpha ? bgra.size() : decoded.Stride() * static_cast<std::size_t>(height);
    if (const VP8StatusCode status = WebPDecode(bytes.data(), bytes.size(), &config); status != VP8_STATUS_OK) {
        refuse(status);
    }
    if (alpha) {
        decoded = NewPhotoPicture(width, height);
        FinishRows(bgra.data(), static_cast<std::size_t>(width) * 4, conversion, request.Background, decoded, row);
    } else if (conversion.Active()) {
        for (std::int32_t y = 0; y < height; ++y) {
            conversion.Convert(decoded.Row(y).data(), decoded.Row(y).data(), static_cast<std::size_t>(width));
        }
    }
    picture = Oriented(std::move(decoded), orientation);
}

std::vector<std::uint8_t> ReadWebpExif(std::span<const std::uint8_t> bytes)
{
    const WebPData data{bytes.data(), bytes.size()};
    const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    const std::span<const std::uint8_t> exif = Chunk(demux.get(), "EXIF");
    return {exif.begin(), exif.end()};
}

}  // namespace kinetar::pictures
