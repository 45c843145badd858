#include "avi/codecs/JpegCompressor.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <vector>

#include "avi/codecs/OrderedWorkers.h"
#include "avi/frames/BitmapInfoHeader.h"

namespace kinetar::avi {

namespace {

// At the default, a picture at least as close to the source as the codec library's Motion JPEG
// at its usual setting, in about as many bytes.
constexpr int kDefaultJpegQuality = 70;

// One table for all three planes, scaled by the JPEG quality: the MPEG-1 intra matrix, in rows.
// It is flatter than the JPEG standard's tables, whose coarse steps for fine detail and for colour
// lose more of a photograph's closeness to its source than the bytes they save would buy at a
// finer quality.
constexpr unsigned int kQuantTable[DCTSIZE2] = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83,  //
};

constexpr unsigned kWorkers = 2;
// Two being encoded and one waiting, so a thread that finishes finds the next frame ready.
constexpr std::size_t kHeldFrames = kWorkers + 1;

// Failures jump back out of the library, which cannot return them; its messages go nowhere.
struct ErrorExit {
    jpeg_error_mgr Manager;  // first, so the library's pointer to it is a pointer to this
    std::jmp_buf Jump;
};

// Writes into the sample, growing it when full.
struct SampleDestination {
    jpeg_destination_mgr Manager;  // first, as above
    std::vector<std::uint8_t>* Sample = nullptr;
};

constexpr std::size_t kFirstSampleSize = 256 * 1024;

// One libjpeg encoder with its settings, for one thread.
class JpegEncoder {
public:
    JpegEncoder(std::int32_t width, std::int32_t height, int quality) : m_rows(static_cast<std::size_t>(height))
    {
        m_info.err = jpeg_std_error(&m_error.Manager);
        m_error.Manager.error_exit = [](j_common_ptr info) {
            std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->Jump, 1);
        };
        m_error.Manager.output_message = [](j_common_ptr) {};
        jpeg_create_compress(&m_info);
        m_destination.Manager.init_destination = [](j_compress_ptr info) {
            auto& sample = *reinterpret_cast<SampleDestination*>(info->dest)->Sample;
            sample.resize(std::max(sample.capacity(), kFirstSampleSize));
            info->dest->next_output_byte = sample.data();
            info->dest->free_in_buffer = sample.size();
        };
        m_destination.Manager.empty_output_buffer = [](j_compress_ptr info) -> boolean {
            auto& sample = *reinterpret_cast<SampleDestination*>(info->dest)->Sample;
            const std::size_t written = sample.size();
            sample.resize(2 * written);
            info->dest->next_output_byte = sample.data() + written;
            info->dest->free_in_buffer = sample.size() - written;
            return TRUE;
        };
        m_destination.Manager.term_destination = [](j_compress_ptr info) {
            auto& sample = *reinterpret_cast<SampleDestination*>(info->dest)->Sample;
            sample.resize(sample.size() - info->dest->free_in_buffer);
        };
        m_info.dest = &m_destination.Manager;

        m_info.image_width = static_cast<JDIMENSION>(width);
        m_info.image_height = static_cast<JDIMENSION>(height);
        // The bitmap's own byte order: the library converts to YCbCr on its SIMD path.
        m_info.input_components = 3;
        m_info.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&m_info);
        jpeg_set_colorspace(&m_info, JCS_YCbCr);
        m_info.comp_info[0].h_samp_factor = 2;
        m_info.comp_info[0].v_samp_factor = 2;
        jpeg_add_quant_table(&m_info, 0, kQuantTable, jpeg_quality_scaling(quality), TRUE);
        for (int component = 0; component < 3; ++component) {
            m_info.comp_info[component].quant_tbl_no = 0;
        }
        // Tables fitted to each frame: a smooth picture's file shrinks by a third, a noisy one's
        // by a sixth, for less time than the finer quality the same bytes would buy.
        m_info.optimize_coding = TRUE;
        m_info.dct_method = JDCT_ISLOW;
    }
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;
    ~JpegEncoder() { jpeg_destroy_compress(&m_info); }

    bool Encode(const FrameDIB& frame, std::vector<std::uint8_t>& sample)
    {
        // The bitmap's rows are bottom-up: the library reads them top first through the pointers,
        // where they are. It only reads them.
        const auto pixels = frame.Pixels();
        const std::size_t stride = frame.Stride();
        const std::size_t height = m_rows.size();
        for (std::size_t y = 0; y < height; ++y) {
            m_rows[y] = const_cast<JSAMPLE*>(pixels.data() + stride * (height - 1 - y));
        }
        m_destination.Sample = &sample;
        return Compress();
    }

private:
    // Nothing here that a jump back would have to destroy.
    bool Compress()
    {
        if (setjmp(m_error.Jump) != 0) {
            jpeg_abort_compress(&m_info);
            return false;
        }
        jpeg_start_compress(&m_info, TRUE);
        while (m_info.next_scanline < m_info.image_height) {
            (void)jpeg_write_scanlines(&m_info, m_rows.data() + m_info.next_scanline,
                                       m_info.image_height - m_info.next_scanline);
        }
        jpeg_finish_compress(&m_info);
        return true;
    }

    jpeg_compress_struct m_info{};
    ErrorExit m_error{};
    SampleDestination m_destination{};
    std::vector<JSAMPROW> m_rows;
};

class JpegCompressor final : public Compressor {
public:
    explicit JpegCompressor(const CompressionOptions& options) : m_quality(JpegQuality(options.Quality)) {}

    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        const auto format = BitmapInfoHeader::Parse(inputFormat);
        if (!format || format->BitCount != 24 || format->Compression != 0 || format->Width <= 0 ||
            format->Height <= 0 || format->Width > JPEG_MAX_DIMENSION || format->Height > JPEG_MAX_DIMENSION) {
            return false;
        }
        const BitmapInfoHeader header{
            .Width = format->Width,
            .Height = format->Height,
            .BitCount = 24,
            .Compression = kMjpgFourcc,
            .SizeImage = static_cast<std::uint32_t>(static_cast<std::int64_t>(format->Width) * format->Height * 3),
        };
        m_format.assign(BitmapInfoHeader::kSize, 0);
        header.Write(m_format);

        std::vector<OrderedWorkers::FrameEncoder> encoders;
        for (unsigned i = 0; i < kWorkers; ++i) {
            auto encoder = std::make_shared<JpegEncoder>(format->Width, format->Height, m_quality);
            encoders.emplace_back([encoder](const FrameDIB& frame, std::vector<std::uint8_t>& sample) {
                return encoder->Encode(frame, sample);
            });
        }
        m_workers = std::make_unique<OrderedWorkers>(std::move(encoders), kHeldFrames);
        return true;
    }

    std::vector<std::uint8_t> OutputFormat() const override { return m_format; }
    bool Compressed() const override { return true; }

    bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) override
    {
        return m_workers && m_workers->Push(std::move(frame), sink);
    }
    bool Flush(const SampleSink& sink) override { return !m_workers || m_workers->Finish(sink); }

private:
    int m_quality;
    std::vector<std::uint8_t> m_format;
    std::unique_ptr<OrderedWorkers> m_workers;
};

}  // namespace

int JpegQuality(std::uint32_t quality)
{
    if (quality > kQualityMax) {
        return kDefaultJpegQuality;
    }
    return std::clamp(static_cast<int>((quality + 50) / 100), 1, 100);
}

std::unique_ptr<Compressor> MakeJpegCompressor(const CompressionOptions& options)
{
    return std::make_unique<JpegCompressor>(options);
}

}  // namespace kinetar::avi
