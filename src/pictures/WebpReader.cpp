#include "pictures/WebpReader.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "common/StopRequest.h"
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

// The library decodes a picture in one call that nothing interrupts, for seconds when the picture
// is huge: it runs on a thread of its own so that a stop is heard meanwhile. Left running after a
// stop, it must outlive the caller's memory: it owns a copy of the file's bytes and what it
// decodes into, which the caller reads through it once it has ended.
template <class Owned>
struct Decoding {
    std::vector<std::uint8_t> Bytes;
    Owned Into;
};

template <class Owned, class Decode>
auto DecodeHearingStop(std::span<const std::uint8_t> bytes, Owned into, Decode decode)
{
    auto decoding = std::make_shared<Decoding<Owned>>(Decoding<Owned>{{bytes.begin(), bytes.end()}, std::move(into)});
    using Result = decltype(decode(decoding->Bytes, decoding->Into));
    const std::optional<Result> result =
        CallUnlessStopped<Result>([decoding, decode]() mutable { return decode(decoding->Bytes, decoding->Into); });
    if (!result) {
        throw Error(msg::kPictureReadingStopped);
    }
    return std::pair{*result, std::move(decoding)};
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
        struct Animation {
            std::unique_ptr<WebPAnimDecoder, AnimationDeleter> Decoder;
            std::uint8_t* Canvas = nullptr;  // the decoder's
        };
        const auto [decodedFirst, animation] =
            DecodeHearingStop(bytes, Animation{}, [options](const std::vector<std::uint8_t>& file, Animation& into) {
                const WebPData whole{file.data(), file.size()};
                into.Decoder.reset(WebPAnimDecoderNew(&whole, &options));
                int timestamp = 0;
                return into.Decoder && WebPAnimDecoderGetNext(into.Decoder.get(), &into.Canvas, &timestamp) != 0;
            });
        if (!decodedFirst) {
            refuse(VP8_STATUS_BITSTREAM_ERROR);
        }
        const std::uint8_t* const canvas = animation->Into.Canvas;
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
    struct Output {
        DecodedPicture Picture;
        std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> Bgra;
    };
    Output output;
    if (!alpha) {
        output.Picture = NewPhotoPicture(width, height);
    }
    output.Bgra.resize(alpha ? static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height) : 0);
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    // The buffers keep their memory as they move into the decoding.
    WebPRGBABuffer& rows = config.output.u.RGBA;
    rows.rgba = alpha ? output.Bgra.data() : output.Picture.Row(0).data();
    rows.stride = alpha ? width * 4 : static_cast<int>(output.Picture.Stride());
    rows.size = alpha ? output.Bgra.size() : output.Picture.Stride() * static_cast<std::size_t>(height);
    const auto [status, decodedOutput] =
        DecodeHearingStop(bytes, std::move(output), [config](const std::vector<std::uint8_t>& file, Output&) mutable {
            return WebPDecode(file.data(), file.size(), &config);
        });
    if (status != VP8_STATUS_OK) {
        refuse(status);
    }
    decoded = std::move(decodedOutput->Into.Picture);
    const auto& bgra = decodedOutput->Into.Bgra;
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
