#include "avi/codecs/LibavCompressors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "avi/frames/BitmapInfoHeader.h"
#include "avi/writer/FourCC.h"
#include "common/LittleEndian.h"
#include "common/PackedPixels.h"

namespace kinetar::avi {

namespace {

// How a codec takes its pictures.
enum class Input {
    Yuv420,         // 4:2:0, limited range
    Bgr0,           // 8 bits a channel
    Rgb24,          // 8 bits a channel
    Gbrp,           // planar 8 bits a channel
    Rgb555,         // 5 bits a channel
    PaletteOrRgb,   // 1 bit as is, 4 and 8 bits as 8-bit indices, else Rgb24
    PaletteOrBgr0,  // 1, 4 and 8 bits as 8-bit indices, else Bgr0
};

enum class QualityScale { None, QScale, Crf };

// Defaults are those of most rows: 24 bits only, no quality, every frame a key frame, any size.
struct LibraryCodec {
    std::uint32_t Fourcc = 0;
    const char* Encoder = "";
    const char* Name = "";
    Input Format = Input::Rgb24;
    unsigned Depths = DepthBit(24);
    QualityScale Quality = QualityScale::None;
    bool EveryFrameKey = true;
    int SizeMultiple = 1;          // both sides must be multiples of it
    int CodedBlock = 1;            // the blocks it codes, which a decoder pads the picture to
    const char* Options = "";      // encoder options, "key=value:key=value"
    bool HeadersInFormat = false;  // the encoder's stream headers behind the bitmap header too
    unsigned Containers = ContainerBit(Container::Avi);
    const char* ContainerOptions = nullptr;  // outside AVI, when they differ
    int CrfWorst = 51;                       // the codec's constant rate factor range starts at 0
    double CrfDefault = 23.0;
};

constexpr unsigned kMp4Mkv = ContainerBit(Container::Avi) | ContainerBit(Container::Mp4) | ContainerBit(Container::Mkv);
constexpr unsigned kAviMkv = ContainerBit(Container::Avi) | ContainerBit(Container::Mkv);

// The encoders the chooser may offer, each only when the installed library has it. "Plays on
// Windows" marks the formats a stock Windows install decodes without extra codecs.
const LibraryCodec kLibraryCodecs[] = {
    {.Fourcc = FourCC('X', 'V', 'I', 'D'),
     .Encoder = "mpeg4",
     .Name = "MPEG-4 Part 2, Xvid compatible (plays on Windows)",
     .Format = Input::Yuv420,
     .Quality = QualityScale::QScale,
     .EveryFrameKey = false,
     .CodedBlock = 16},
    // A minimum key-frame distance of 1 makes every picture a scene cut starts an IDR picture: the
    // encoder flags its other intra pictures as key frames too, and a decoder cannot start on those.
    // No B-frames: AVI has no room for a decoding order that differs from the display order.
    // Some readers find the stream's layout only in the parameter sets behind the format's header;
    // others, and a player that starts at a later key frame, look for them in the stream.
    {.Fourcc = FourCC('H', '2', '6', '4'),
     .Encoder = "libx264",
     .Name = "H.264 (plays on Windows)",
     .Format = Input::Yuv420,
     .Quality = QualityScale::Crf,
     .EveryFrameKey = false,
     .SizeMultiple = 2,
     .CodedBlock = 16,
     .Options = "preset=veryfast:bf=0:keyint_min=1:x264-params=repeat-headers=1",
     .HeadersInFormat = true,
     .Containers = kMp4Mkv,
     .ContainerOptions = "preset=veryfast:bf=0:keyint_min=1"},
    // Only for MP4, Matroska and WebM, which describe these streams in their own headers.
    {.Fourcc = FourCC('H', 'E', 'V', 'C'),
     .Encoder = "libx265",
     .Name = "HEVC (H.265), smaller than H.264 at the same quality",
     .Format = Input::Yuv420,
     .Quality = QualityScale::Crf,
     .EveryFrameKey = false,
     .SizeMultiple = 2,
     .CodedBlock = 8,
     .Containers = ContainerBit(Container::Mp4) | ContainerBit(Container::Mkv),
     .ContainerOptions = "preset=fast:x265-params=log-level=error",
     .CrfDefault = 28.0},
    {.Fourcc = FourCC('V', 'P', '9', '0'),
     .Encoder = "libvpx-vp9",
     .Name = "VP9",
     .Format = Input::Yuv420,
     .Quality = QualityScale::Crf,
     .EveryFrameKey = false,
     .SizeMultiple = 2,
     .CodedBlock = 8,
     .Containers = ContainerBit(Container::Mkv) | ContainerBit(Container::WebM),
     .ContainerOptions = "deadline=good:cpu-used=5:row-mt=1:lag-in-frames=0:b=0",
     .CrfWorst = 63,
     .CrfDefault = 31.0},
    // Real-time settings: still pictures need little searching, and no frame waits for later ones.
    {.Fourcc = FourCC('A', 'V', '0', '1'),
     .Encoder = "libaom-av1",
     .Name = "AV1, the smallest files, slow to encode",
     .Format = Input::Yuv420,
     .Quality = QualityScale::Crf,
     .EveryFrameKey = false,
     .SizeMultiple = 2,
     .CodedBlock = 8,
     .Containers = ContainerBit(Container::Mp4) | ContainerBit(Container::Mkv) | ContainerBit(Container::WebM),
     .ContainerOptions = "usage=realtime:cpu-used=8:row-mt=1:lag-in-frames=0:b=0",
     .CrfWorst = 63,
     .CrfDefault = 32.0},
    {.Fourcc = FourCC('M', 'S', 'V', 'C'),
     .Encoder = "msvideo1",
     .Name = "Microsoft Video 1, 16-bit colour (plays on Windows)",
     .Format = Input::Rgb555,
     .EveryFrameKey = false,
     .SizeMultiple = 4},
    {.Fourcc = FourCC('F', 'F', 'V', '1'),
     .Encoder = "ffv1",
     .Name = "FFV1, lossless (needs an extra codec on Windows)",
     .Format = Input::Bgr0,
     .Options = "level=3:slices=4",
     .Containers = kAviMkv},
    {.Fourcc = FourCC('H', 'F', 'Y', 'U'),
     .Encoder = "huffyuv",
     .Name = "HuffYUV, lossless (needs an extra codec on Windows)",
     .Format = Input::Rgb24,
     .Containers = kAviMkv},
    {.Fourcc = FourCC('U', 'L', 'R', 'G'),
     .Encoder = "utvideo",
     .Name = "Ut Video, lossless (needs an extra codec on Windows)",
     .Format = Input::Gbrp,
     .Containers = ContainerBit(Container::Avi)},
    {.Fourcc = FourCC('M', '8', 'R', 'G'),
     .Encoder = "magicyuv",
     .Name = "MagicYUV, lossless (needs an extra codec on Windows)",
     .Format = Input::Gbrp,
     .Containers = kAviMkv},
    {.Fourcc = FourCC('Z', 'M', 'B', 'V'),
     .Encoder = "zmbv",
     .Name = "Zip Motion Blocks, lossless, slow at 24 bits (needs an extra codec on Windows)",
     .Format = Input::PaletteOrBgr0,
     .Depths = kEveryDepth,
     .EveryFrameKey = false},
    {.Fourcc = FourCC('M', 'P', 'N', 'G'),
     .Encoder = "png",
     .Name = "PNG, lossless (needs an extra codec on Windows)",
     .Format = Input::PaletteOrRgb,
     .Depths = kEveryDepth,
     .Containers = kAviMkv},
    {.Fourcc = FourCC('c', 'v', 'i', 'd'),
     .Encoder = "cinepak",
     .Name = "Cinepak (very slow: under one frame a second at 720p)",
     .Format = Input::Rgb24,
     .EveryFrameKey = false,
     .SizeMultiple = 4},
};

// One encoder of the codec library behind the compressor seam. Frames are converted once, from the
// bitmap's bottom-up rows into the encoder's own picture; the sample is the encoder's packet.
class LibraryCompressor final : public Compressor {
public:
    LibraryCompressor(const LibraryCodec& codec, const CompressionOptions& options) : m_codec(codec), m_options(options)
    {
    }
    LibraryCompressor(const LibraryCompressor&) = delete;
    LibraryCompressor& operator=(const LibraryCompressor&) = delete;
    ~LibraryCompressor() override
    {
        sws_freeContext(m_scaler);
        av_frame_free(&m_source);
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_context);
    }

    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        const auto format = BitmapInfoHeader::Parse(inputFormat);
        if (!format) {
            return false;
        }
        m_width = format->Width;
        m_height = format->Height;
        m_bits = format->BitCount;
        // Outside AVI, 4:2:0 video takes every depth through 24 bits and pads an odd side.
        const bool anyDepth = InContainer() && m_codec.Format == Input::Yuv420;
        m_codedWidth = anyDepth ? m_width + m_width % 2 : m_width;
        m_codedHeight = anyDepth ? m_height + m_height % 2 : m_height;
        if (m_width <= 0 || m_height <= 0 || format->Compression != 0 ||
            ((m_codec.Depths & DepthBit(m_bits)) == 0 && !(anyDepth && DepthBit(m_bits) != 0)) ||
            m_codedWidth % m_codec.SizeMultiple != 0 || m_codedHeight % m_codec.SizeMultiple != 0) {
            return false;
        }
        const std::size_t colours = (inputFormat.size() - BitmapInfoHeader::kSize) / 4;
        m_inputPalette.assign(256, 0xFF000000U);
        for (std::size_t i = 0; i < colours && i < 256; ++i) {
            // Blue, green, red, 0 read as one number: the codec library's opaque ARGB.
            m_inputPalette[i] = 0xFF000000U | LoadLE32(inputFormat, BitmapInfoHeader::kSize + 4 * i);
        }
        return Open() && MakeOutputFormat();
    }

    std::vector<std::uint8_t> OutputFormat() const override { return m_outputFormat; }
    bool Compressed() const override { return true; }

    bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) override
    {
        if (!av_frame_is_writable(m_frame) && !NewPicture()) {
            return false;
        }
        Convert(*frame);
        m_frame->pts = m_frameNumber++;
        if (m_quality > 0) {
            m_frame->quality = m_quality;
        }
        return avcodec_send_frame(m_context, m_frame) >= 0 && Drain(sink);
    }

    bool Flush(const SampleSink& sink) override { return avcodec_send_frame(m_context, nullptr) >= 0 && Drain(sink); }

    std::optional<VideoStreamParameters> StreamParameters() const override
    {
        if (m_context == nullptr || !InContainer()) {
            return std::nullopt;
        }
        VideoStreamParameters parameters{
            .CodecId = m_context->codec_id,
            .PixelFormat = m_context->pix_fmt,
            .Width = m_codedWidth,
            .Height = m_codedHeight,
            .BitsPerCodedSample = m_context->bits_per_coded_sample,
            .Profile = m_context->profile,
            .Level = m_context->level,
            .Extradata = {},
            .ColorPrimaries = m_context->color_primaries,
            .ColorTransfer = m_context->color_trc,
            .ColorSpace = m_context->colorspace,
            .ColorRange = m_context->color_range,
        };
        if (m_context->extradata_size > 0) {
            parameters.Extradata.assign(m_context->extradata, m_context->extradata + m_context->extradata_size);
        }
        return parameters;
    }

private:
    // A fresh picture buffer: an encoder on several threads still reads the one before, and
    // every pixel of the new one is written anyway, so nothing is copied over.
    bool NewPicture()
    {
        av_frame_unref(m_frame);
        m_frame->format = m_context->pix_fmt;
        m_frame->width = m_codedWidth;
        m_frame->height = m_codedHeight;
        return av_frame_get_buffer(m_frame, 0) >= 0;
    }

    // Hands every packet the encoder has finished to the sink.
    bool Drain(const SampleSink& sink)
    {
        for (;;) {
            const int received = avcodec_receive_packet(m_context, m_packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return true;
            }
            if (received < 0) {
                return false;
            }
            const bool written = sink({m_packet->data, static_cast<std::size_t>(m_packet->size)},
                                      (m_packet->flags & AV_PKT_FLAG_KEY) != 0);
            av_packet_unref(m_packet);
            if (!written) {
                return false;
            }
        }
    }

    AVPixelFormat PixelFormat() const
    {
        switch (m_codec.Format) {
        case Input::Yuv420:
            return AV_PIX_FMT_YUV420P;
        case Input::Bgr0:
            return AV_PIX_FMT_BGR0;
        case Input::Rgb24:
            return AV_PIX_FMT_RGB24;
        case Input::Gbrp:
            return AV_PIX_FMT_GBRP;
        case Input::Rgb555:
            return AV_PIX_FMT_RGB555LE;
        case Input::PaletteOrRgb:
            return m_bits == 1 ? AV_PIX_FMT_MONOBLACK : m_bits == 24 ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_PAL8;
        case Input::PaletteOrBgr0:
            return m_bits == 24 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_PAL8;
        }
        return AV_PIX_FMT_NONE;
    }

    // The stored quality, 0 to 10000, on the codec's own scale.
    void ApplyQuality(AVDictionary*& options)
    {
        const bool chosen = m_options.Quality <= kQualityMax;
        const double fraction = chosen ? m_options.Quality / static_cast<double>(kQualityMax) : 0.0;
        if (m_codec.Quality == QualityScale::QScale) {
            // 2 (best) to 31; by default 4, a good picture at a fair size.
            const int qscale = chosen ? static_cast<int>(std::lround(31.0 - fraction * 29.0)) : 4;
            m_context->flags |= AV_CODEC_FLAG_QSCALE;
            m_quality = FF_QP2LAMBDA * qscale;
            m_context->global_quality = m_quality;
        } else if (m_codec.Quality == QualityScale::Crf) {
            // Constant rate factor 51 (worst) to 0 (lossless); by default the encoder's 23.
            const double crf = chosen ? m_codec.CrfWorst * (1.0 - fraction) : m_codec.CrfDefault;
            av_dict_set(&options, "crf", std::to_string(crf).c_str(), 0);
        }
    }

    bool Open()
    {
        const AVCodec* encoder = avcodec_find_encoder_by_name(m_codec.Encoder);
        m_context = encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr;
        m_frame = av_frame_alloc();
        m_packet = av_packet_alloc();
        if (m_context == nullptr || m_frame == nullptr || m_packet == nullptr) {
            return false;
        }
        m_context->width = m_codedWidth;
        m_context->height = m_codedHeight;
        m_context->pix_fmt = PixelFormat();
        m_context->time_base = {1, 25};
        m_context->codec_tag = m_codec.Fourcc;
        m_context->max_b_frames = 0;
        if (m_codec.HeadersInFormat) {
            m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        const char* encoderOptions = m_codec.Options;
        if (InContainer()) {
            // The container keeps the stream headers and the exact time of every frame.
            m_context->time_base = {static_cast<int>(m_options.RateDenominator),
                                    static_cast<int>(m_options.RateNumerator)};
            m_context->framerate = {static_cast<int>(m_options.RateNumerator),
                                    static_cast<int>(m_options.RateDenominator)};
            m_context->codec_tag = 0;
            m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            if (m_codec.ContainerOptions != nullptr) {
                encoderOptions = m_codec.ContainerOptions;
            }
            if (m_codec.Format == Input::Yuv420) {
                // Players take unmarked video as BT.601 or guess by size; tags end the guessing.
                const bool hd = m_height >= 720;
                m_context->color_primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
                m_context->color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
                m_context->colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
                m_context->color_range = AVCOL_RANGE_MPEG;
            }
        }
        // Both cores. Frame threads hold packets back a frame or two; the engine writes each at its
        // frame's position when it comes.
        m_context->thread_count = 0;
        m_context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        if (m_codec.EveryFrameKey) {
            // FFV1 carries its coder state from frame to frame unless every frame starts a group.
            m_context->gop_size = 1;
        } else if (m_options.KeyFrameEvery != 0) {
            m_context->gop_size = static_cast<int>(std::min<std::uint32_t>(m_options.KeyFrameEvery, 1000000));
            // Microsoft Video 1 and Zip Motion Blocks take their interval from the minimum.
            m_context->keyint_min = m_context->gop_size;
        }
        AVDictionary* options = nullptr;
        av_dict_parse_string(&options, encoderOptions, "=", ":", 0);
        ApplyQuality(options);
        const int opened = avcodec_open2(m_context, encoder, &options);
        av_dict_free(&options);
        if (opened < 0) {
            return false;
        }
        if (!NewPicture()) {
            return false;
        }
        m_padded = InContainer() && m_codec.Format == Input::Yuv420 &&
                   (m_bits != 24 || m_codedWidth != m_width || m_codedHeight != m_height);
        if (m_padded || (m_bits == 24 && m_context->pix_fmt != AV_PIX_FMT_RGB555LE)) {
            // The conversion runs on both cores too: it would otherwise keep the encoder's threads waiting.
            m_scaler = sws_alloc_context();
            m_source = av_frame_alloc();
            if (m_scaler == nullptr || m_source == nullptr) {
                return false;
            }
            av_opt_set_int(m_scaler, "srcw", m_codedWidth, 0);
            av_opt_set_int(m_scaler, "srch", m_codedHeight, 0);
            av_opt_set_int(m_scaler, "src_format", AV_PIX_FMT_BGR24, 0);
            av_opt_set_int(m_scaler, "dstw", m_codedWidth, 0);
            av_opt_set_int(m_scaler, "dsth", m_codedHeight, 0);
            av_opt_set_int(m_scaler, "dst_format", m_context->pix_fmt, 0);
            av_opt_set_int(m_scaler, "sws_flags", SWS_BICUBIC, 0);
            av_opt_set_int(m_scaler, "threads", 0, 0);
            if (sws_init_context(m_scaler, nullptr, nullptr) < 0) {
                return false;
            }
            if (InContainer() && m_codec.Format == Input::Yuv420) {
                // The same matrix as the tags say, full-range pictures into limited-range video.
                const int* matrix = sws_getCoefficients(m_height >= 720 ? SWS_CS_ITU709 : SWS_CS_SMPTE170M);
                if (sws_setColorspaceDetails(m_scaler, matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16) < 0) {
                    return false;
                }
            }
            m_source->format = AV_PIX_FMT_BGR24;
            m_source->width = m_codedWidth;
            m_source->height = m_codedHeight;
            if (m_padded) {
                // The padding keeps the background colour; the picture's pixels are copied over the rest.
                m_paddedRows.resize(static_cast<std::size_t>(m_codedWidth) * 3 *
                                    static_cast<std::size_t>(m_codedHeight));
                for (std::size_t at = 0; at < m_paddedRows.size(); at += 3) {
                    m_paddedRows[at] = m_options.Background[2];
                    m_paddedRows[at + 1] = m_options.Background[1];
                    m_paddedRows[at + 2] = m_options.Background[0];
                }
            }
        }
        return true;
    }

    // BITMAPINFOHEADER with the codec's fourcc, then the colour table (indexed input) or the
    // encoder's extradata, as AVI readers expect them behind the header.
    bool MakeOutputFormat()
    {
        const bool palette = m_context->pix_fmt == AV_PIX_FMT_PAL8 || m_context->pix_fmt == AV_PIX_FMT_MONOBLACK;
        const int bits = palette                                     ? (m_context->pix_fmt == AV_PIX_FMT_PAL8 ? 8 : 1)
                         : m_context->bits_per_coded_sample > 0      ? m_context->bits_per_coded_sample
                         : m_context->pix_fmt == AV_PIX_FMT_RGB555LE ? 16
                                                                     : 24;
        const std::size_t colours = palette ? (bits == 8 ? 256 : 2) : 0;
        const std::size_t extra = palette ? 0 : static_cast<std::size_t>(std::max(m_context->extradata_size, 0));
        m_outputFormat.assign(BitmapInfoHeader::kSize + 4 * colours + extra, 0);
        const BitmapInfoHeader header{
            .Size = static_cast<std::uint32_t>(BitmapInfoHeader::kSize + extra),
            .Width = m_width,
            .Height = m_height,
            .BitCount = static_cast<std::uint16_t>(bits),
            .Compression = m_codec.Fourcc,
            .SizeImage =
                static_cast<std::uint32_t>(static_cast<std::int64_t>(m_width) * m_height * std::max(bits, 8) / 8),
            .ClrUsed = static_cast<std::uint32_t>(colours),
        };
        header.Write(m_outputFormat);
        for (std::size_t i = 0; i < colours; ++i) {
            StoreLE32(m_outputFormat, BitmapInfoHeader::kSize + 4 * i,
                      m_inputPalette[i] & 0x00FFFFFFU);  // blue, green, red, 0
        }
        if (extra > 0) {
            std::memcpy(m_outputFormat.data() + BitmapInfoHeader::kSize, m_context->extradata, extra);
        }
        return true;
    }

    void Convert(const FrameDIB& frame)
    {
        if (m_padded) {
            ConvertPadded(frame);
            return;
        }
        if (m_scaler != nullptr) {
            // A negative step walks bottom-up rows top first.
            ScaleFrom(frame.Rows(), frame.DisplayRowData(0), static_cast<int>(frame.DisplayRowStep()));
            return;
        }
        const auto width = static_cast<std::size_t>(m_width);
        for (std::int32_t y = 0; y < m_height; ++y) {
            const std::span<const std::uint8_t> from(frame.DisplayRowData(y), frame.Stride());
            std::uint8_t* to = m_frame->data[0] + static_cast<std::ptrdiff_t>(y) * m_frame->linesize[0];
            switch (m_context->pix_fmt) {
            case AV_PIX_FMT_RGB555LE:
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint8_t* bgr = &from[3 * x];
                    const auto value =
                        static_cast<std::uint32_t>(((bgr[2] >> 3) << 10) | ((bgr[1] >> 3) << 5) | (bgr[0] >> 3));
                    StoreLE16({to, 2 * width}, 2 * x, value);
                }
                break;
            case AV_PIX_FMT_MONOBLACK:
                std::memcpy(to, from.data(), (width + 7) / 8);
                break;
            default:  // 8-bit indices, from 1, 4 or 8 bits
                if (m_bits == 8) {
                    std::memcpy(to, from.data(), width);
                } else {
                    for (std::size_t x = 0; x < width; ++x) {
                        to[x] = PackedPixel(from, x, m_bits);
                    }
                }
                break;
            }
        }
        if (m_context->pix_fmt == AV_PIX_FMT_PAL8) {
            std::memcpy(m_frame->data[1], m_inputPalette.data(), 256 * 4);
        }
    }

    // Top-down BGR rows of the coded size, colour-table pixels looked up, then the usual conversion.
    void ConvertPadded(const FrameDIB& frame)
    {
        const std::size_t paddedStride = static_cast<std::size_t>(m_codedWidth) * 3;
        for (std::int32_t y = 0; y < m_height; ++y) {
            const std::span<const std::uint8_t> from(frame.DisplayRowData(y), frame.Stride());
            std::uint8_t* to = m_paddedRows.data() + paddedStride * static_cast<std::size_t>(y);
            for (std::size_t x = 0; x < static_cast<std::size_t>(m_width); ++x) {
                if (m_bits == 24) {
                    std::memcpy(to + 3 * x, &from[3 * x], 3);
                    continue;
                }
                const std::uint32_t colour = m_inputPalette[PackedPixel(from, x, m_bits)];
                to[3 * x] = static_cast<std::uint8_t>(colour);
                to[3 * x + 1] = static_cast<std::uint8_t>(colour >> 8);
                to[3 * x + 2] = static_cast<std::uint8_t>(colour >> 16);
            }
        }
        ScaleFrom(m_paddedRows, m_paddedRows.data(), static_cast<int>(paddedStride));
    }

    // Converts rows lent for the call. Lent as a buffer of their own, or the conversion would first
    // copy the whole picture to have one it may keep.
    void ScaleFrom(std::span<const std::uint8_t> memory, const std::uint8_t* top, int linesize)
    {
        auto* data = const_cast<std::uint8_t*>(memory.data());
        m_source->buf[0] = av_buffer_create(
            data, memory.size(), [](void*, std::uint8_t*) {}, nullptr, 0);
        m_source->data[0] = const_cast<std::uint8_t*>(top);
        m_source->linesize[0] = linesize;
        (void)sws_scale_frame(m_scaler, m_frame, m_source);
        av_buffer_unref(&m_source->buf[0]);
    }

    bool InContainer() const { return m_options.Into != Container::Avi; }

    const LibraryCodec& m_codec;
    CompressionOptions m_options;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_codedWidth = 0;  // with the padding of an odd side
    std::int32_t m_codedHeight = 0;
    bool m_padded = false;
    std::vector<std::uint8_t> m_paddedRows;
    int m_bits = 0;
    int m_quality = 0;
    std::int64_t m_frameNumber = 0;
    std::vector<std::uint32_t> m_inputPalette;
    std::vector<std::uint8_t> m_outputFormat;
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    SwsContext* m_scaler = nullptr;
    AVFrame* m_source = nullptr;  // the bitmap's rows, borrowed for each conversion
};

}  // namespace

void AddLibavCompressors(CodecRegistry& registry)
{
    // The libraries' own log lines would reach the terminal; what matters reaches the user in our words.
    av_log_set_level(AV_LOG_QUIET);
    for (const LibraryCodec& codec : kLibraryCodecs) {
        if (avcodec_find_encoder_by_name(codec.Encoder) == nullptr) {
            continue;
        }
        registry.Add({.Fourcc = codec.Fourcc,
                      .Name = codec.Name,
                      .Depths = codec.Depths,
                      .Make = [&codec](const CompressionOptions& options) -> std::unique_ptr<Compressor> {
                          return std::make_unique<LibraryCompressor>(codec, options);
                      },
                      .HasQuality = codec.Quality != QualityScale::None,
                      .EveryFrameKey = codec.EveryFrameKey,
                      .Containers = codec.Containers,
                      .OtherDepths = codec.Format == Input::Yuv420 ? kEveryDepth : 0U,
                      .SizeMultiple = codec.SizeMultiple,
                      .CodedBlock = codec.CodedBlock});
    }
}

}  // namespace kinetar::avi
