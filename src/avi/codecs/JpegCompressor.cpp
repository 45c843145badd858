#include "avi/codecs/JpegCompressor.h"

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <vector>

#include "avi/codecs/OrderedWorkers.h"
#include "avi/frames/BitmapInfoHeader.h"

namespace kinetar::avi {

namespace {

// At the default, a picture at least as close to its source as the codec library's Motion JPEG
// at its usual setting, in at most a tenth more bytes (bench/mjpeg.sh).
constexpr int kDefaultJpegQuality = 74;

// The quantisation tables, in rows, scaled by the JPEG quality. Both derive from the MPEG-1 intra
// matrix, flatter than the JPEG standard's tables, whose coarse steps for fine detail and for
// colour lose more closeness to the source than the bytes they save would buy at a finer quality.
// Brightness takes 1.2 times its steps and colour 0.9 times, the DC step 16 for both: measured on
// smooth and on grainy pictures, that spends the bytes where they bring the picture closest.
constexpr unsigned int kLumaTable[DCTSIZE2] = {
    16, 19, 23, 26, 31, 32, 35, 41,   //
    19, 19, 26, 29, 32, 35, 41, 44,   //
    23, 26, 31, 32, 35, 41, 41, 46,   //
    26, 26, 31, 32, 35, 41, 44, 48,   //
    26, 31, 32, 35, 38, 42, 48, 58,   //
    31, 32, 35, 38, 42, 48, 58, 70,   //
    31, 32, 35, 41, 46, 55, 67, 83,   //
    32, 35, 42, 46, 55, 67, 83, 100,  //
};
constexpr unsigned int kChromaTable[DCTSIZE2] = {
    16, 14, 17, 20, 23, 24, 26, 31,  //
    14, 14, 20, 22, 24, 26, 31, 33,  //
    17, 20, 23, 24, 26, 31, 31, 34,  //
    20, 20, 23, 24, 26, 31, 33, 36,  //
    20, 23, 24, 26, 29, 32, 36, 43,  //
    23, 24, 26, 29, 32, 36, 43, 52,  //
    23, 24, 26, 31, 34, 41, 50, 62,  //
    24, 26, 32, 34, 41, 50, 62, 75,  //
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

// Fitting Huffman tables to a frame takes a second pass over its coefficients and doubles its
// encoding time; the frames between fits take codes made from the last fitted tables.
constexpr int kFitEvery = 4;

// A Huffman table for these symbol counts, its codes at most 16 bits long and none all ones: the
// JPEG standard's procedure (Annex K.2), as the library runs it for a fitted table.
void BuildHuffmanTable(std::array<long, 257> counts, JHUFF_TBL& table)
{
    std::array<int, 257> codeSize{};
    std::array<int, 257> next{};
    next.fill(-1);
    counts[256] = 1;  // a code no symbol takes, so no real code is all ones
    for (;;) {
        // The two rarest symbols still apart, the later one first on a tie.
        int rarest = -1;
        int second = -1;
        for (int symbol = 0; symbol <= 256; ++symbol) {
            const long count = counts[static_cast<std::size_t>(symbol)];
            if (count == 0) {
                continue;
            }
            if (rarest < 0 || count <= counts[static_cast<std::size_t>(rarest)]) {
                second = rarest;
                rarest = symbol;
            } else if (second < 0 || count <= counts[static_cast<std::size_t>(second)]) {
                second = symbol;
            }
        }
        if (second < 0) {
            break;
        }
        counts[static_cast<std::size_t>(rarest)] += counts[static_cast<std::size_t>(second)];
        counts[static_cast<std::size_t>(second)] = 0;
        for (int symbol = rarest;; symbol = next[static_cast<std::size_t>(symbol)]) {
            ++codeSize[static_cast<std::size_t>(symbol)];
            if (next[static_cast<std::size_t>(symbol)] < 0) {
                next[static_cast<std::size_t>(symbol)] = second;
                break;
            }
        }
        for (int symbol = second; symbol >= 0; symbol = next[static_cast<std::size_t>(symbol)]) {
            ++codeSize[static_cast<std::size_t>(symbol)];
        }
    }
    std::array<int, 258> lengths{};  // no code is longer than there are symbols
    for (const int size : codeSize) {
        ++lengths[static_cast<std::size_t>(size)];
    }
    // Codes longer than 16 bits move up the tree, two at a time.
    for (std::size_t length = lengths.size() - 1; length > 16; --length) {
        while (lengths[length] > 0) {
            std::size_t shorter = length - 2;
            while (lengths[shorter] == 0) {
                --shorter;
            }
            lengths[length] -= 2;
            ++lengths[length - 1];
            lengths[shorter + 1] += 2;
            --lengths[shorter];
        }
    }
    std::size_t longest = 16;
    while (lengths[longest] == 0) {
        --longest;
    }
    --lengths[longest];  // the reserved code
    std::size_t position = 0;
    for (std::size_t length = 1; length <= 16; ++length) {
        table.bits[length] = static_cast<UINT8>(lengths[length]);
    }
    table.bits[0] = 0;
    // Symbols in order of code size, as the original sizes ranked them.
    for (int size = 1; size < static_cast<int>(lengths.size()); ++size) {
        for (int symbol = 0; symbol < 256; ++symbol) {
            if (codeSize[static_cast<std::size_t>(symbol)] == size) {
                table.huffval[position++] = static_cast<UINT8>(symbol);
            }
        }
    }
}

// Counts for a table that codes every symbol the coder can send: those of the fitted table as the
// lengths of their codes imply, the ones it had no code for as rarer than any of them.
void CompleteHuffmanTable(JHUFF_TBL& table, bool dc)
{
    std::array<long, 257> counts{};
    if (dc) {
        for (int category = 0; category <= 11; ++category) {
            counts[static_cast<std::size_t>(category)] = 1;
        }
    } else {
        counts[0x00] = 1;  // end of block
        counts[0xF0] = 1;  // sixteen zeros
        for (int run = 0; run < 16; ++run) {
            for (int size = 1; size <= 10; ++size) {
                counts[static_cast<std::size_t>(run * 16 + size)] = 1;
            }
        }
    }
    std::size_t position = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.bits[length]; ++i) {
            counts[table.huffval[position++]] = 1L << (17 - length);
        }
    }
    BuildHuffmanTable(counts, table);
}

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
        const int scale = jpeg_quality_scaling(quality);
        jpeg_add_quant_table(&m_info, 0, kLumaTable, scale, TRUE);
        jpeg_add_quant_table(&m_info, 1, kChromaTable, scale, TRUE);
        m_info.comp_info[0].quant_tbl_no = 0;
        m_info.comp_info[1].quant_tbl_no = 1;
        m_info.comp_info[2].quant_tbl_no = 1;
        m_info.dct_method = JDCT_ISLOW;
    }
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;
    ~JpegEncoder() { jpeg_destroy_compress(&m_info); }

    bool Encode(const FrameDIB& frame, std::vector<std::uint8_t>& sample)
    {
        // The library reads the rows top first through the pointers, where they are. It only
        // reads them.
        for (std::size_t y = 0; y < m_rows.size(); ++y) {
            m_rows[y] = const_cast<JSAMPLE*>(frame.DisplayRowData(static_cast<std::int32_t>(y)));
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
        // Tables fitted to the pictures: against the standard's, a smooth picture's frame shrinks
        // by a third and a grainy one's by a sixth.
        const bool fit = m_framesSinceFit + 1 >= kFitEvery;
        m_info.optimize_coding = fit ? TRUE : FALSE;
        jpeg_start_compress(&m_info, TRUE);
        while (m_info.next_scanline < m_info.image_height) {
            (void)jpeg_write_scanlines(&m_info, m_rows.data() + m_info.next_scanline,
                                       m_info.image_height - m_info.next_scanline);
        }
        jpeg_finish_compress(&m_info);
        if (fit) {
            // The library left the fitted tables in place; the frames up to the next fit need
            // a code for every symbol, used here or not.
            for (int table = 0; table < 2; ++table) {
                CompleteHuffmanTable(*m_info.dc_huff_tbl_ptrs[table], true);
                CompleteHuffmanTable(*m_info.ac_huff_tbl_ptrs[table], false);
            }
            m_framesSinceFit = 0;
        } else {
            ++m_framesSinceFit;
        }
        return true;
    }

    jpeg_compress_struct m_info{};
    ErrorExit m_error{};
    SampleDestination m_destination{};
    std::vector<JSAMPROW> m_rows;
    int m_framesSinceFit = kFitEvery - 1;  // the first frame gets fitted tables
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
    bool CatchUp(const SampleSink& sink) override { return Flush(sink); }

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
