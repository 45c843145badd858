#include "pictures/JpegReader.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <array>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/Error.h"
#include "pictures/ColorProfile.h"
#include "pictures/Messages.h"
#include "pictures/Orientation.h"
#include "pictures/PhotoPixels.h"

namespace kinetar::pictures {

namespace {

// Coefficient buffers of a progressive picture at the largest size accepted take about 1.5 GiB;
// anything the library would need beyond this is refused instead.
constexpr long kMaxLibraryMemory = 1024L * 1024 * 1024;
// Real progressive files have about ten scans; thousands of tiny ones only cost time.
constexpr int kMaxScans = 256;

// Failures, and warnings that mean pixels were lost, jump back out of the library with its words.
struct ErrorExit {
    jpeg_error_mgr Manager;  // first, so the library's pointer to it is a pointer to this
    std::jmp_buf Jump;
    std::array<char, JMSG_LENGTH_MAX> Words;
};

[[noreturn]] void JumpOut(j_common_ptr info)
{
    auto* exit = reinterpret_cast<ErrorExit*>(info->err);
    info->err->format_message(info, exit->Words.data());
    std::longjmp(exit->Jump, 1);
}

[[noreturn]] void JumpOutWith(j_common_ptr info, const char* words)
{
    auto* exit = reinterpret_cast<ErrorExit*>(info->err);
    std::snprintf(exit->Words.data(), exit->Words.size(), "%s", words);
    std::longjmp(exit->Jump, 1);
}

// The library goes on after these, with grey or repeated blocks where data was missing or bad.
bool LosesPixels(int messageCode)
{
    return messageCode == JWRN_JPEG_EOF || messageCode == JWRN_HIT_MARKER || messageCode == JWRN_HUFF_BAD_CODE ||
           messageCode == JWRN_ARITH_BAD_CODE || messageCode == JWRN_MUST_RESYNC;
}

// Everything the library holds, in one place a jump back leaves intact.
class JpegDecoder {
public:
    explicit JpegDecoder(std::span<const std::uint8_t> bytes) : m_bytes(bytes)
    {
        m_info.err = jpeg_std_error(&m_error.Manager);
        m_error.Manager.error_exit = JumpOut;
        m_error.Manager.emit_message = [](j_common_ptr info, int level) {
            if (level < 0 && LosesPixels(info->err->msg_code)) {
                JumpOut(info);
            }
        };
        m_error.Words[0] = '\0';
        jpeg_create_decompress(&m_info);
        m_info.mem->max_memory_to_use = kMaxLibraryMemory;
        m_progress.progress_monitor = [](j_common_ptr info) {
            const auto* decoder = reinterpret_cast<j_decompress_ptr>(info);
            if (decoder->input_scan_number > kMaxScans) {
                JumpOutWith(info, "Too many scans");
            }
        };
        m_info.progress = &m_progress;
    }
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
    ~JpegDecoder()
    {
        jpeg_destroy_decompress(&m_info);
        std::free(m_profile);
    }

    const char* Words() const { return m_error.Words.data(); }
    bool TooLarge() const { return m_error.Manager.msg_code == JERR_IMAGE_TOO_BIG; }
    jpeg_decompress_struct& Info() { return m_info; }
    std::span<const std::uint8_t> Profile() const { return {m_profile, m_profileSize}; }

    int Orientation() const { return ExifOrientation(Exif()); }

    std::span<const std::uint8_t> Exif() const
    {
        for (const jpeg_marker_struct* marker = m_info.marker_list; marker != nullptr; marker = marker->next) {
            if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
                std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
                return {marker->data, marker->data_length};
            }
        }
        return {};
    }

    bool ReadHeader()
    {
        if (setjmp(m_error.Jump) != 0) {
            return false;
        }
        // Here, where a jump back can land: an empty input is an error already.
        jpeg_mem_src(&m_info, m_bytes.data(), static_cast<unsigned long>(m_bytes.size()));
        jpeg_save_markers(&m_info, JPEG_APP0 + 1, 0xFFFF);  // EXIF
        jpeg_save_markers(&m_info, JPEG_APP0 + 2, 0xFFFF);  // ICC profile, in pieces
        (void)jpeg_read_header(&m_info, TRUE);
        unsigned int profileSize = 0;
        if (jpeg_read_icc_profile(&m_info, &m_profile, &profileSize) == TRUE) {
            m_profileSize = profileSize;
        }
        return true;
    }

    // Decodes into picture, through the conversion when it is active. Nothing here that a jump back
    // would have to destroy: the buffers live in the decoder and the caller.
    bool Decode(DecodedPicture& picture, const SrgbConversion& conversion)
    {
        if (setjmp(m_error.Jump) != 0) {
            return false;
        }
        jpeg_start_decompress(&m_info);
        const auto width = static_cast<std::int32_t>(m_info.output_width);
        picture = NewPhotoPicture(width, static_cast<std::int32_t>(m_info.output_height));
        const bool cmyk = m_info.out_color_space == JCS_CMYK;
        m_row.resize(cmyk ? static_cast<std::size_t>(width) * 4 : 0);
        while (m_info.output_scanline < m_info.output_height) {
            ThrowIfStopRequested(m_info.output_scanline);
            std::uint8_t* const target = picture.Row(static_cast<std::int32_t>(m_info.output_scanline)).data();
            JSAMPROW row = cmyk ? m_row.data() : target;
            (void)jpeg_read_scanlines(&m_info, &row, 1);
            if (cmyk && conversion.Active()) {
                conversion.Convert(m_row.data(), target, static_cast<std::size_t>(width));
            } else if (cmyk) {
                CmykToBgr(m_row.data(), static_cast<std::size_t>(width), m_info.saw_Adobe_marker == TRUE, target);
            } else if (conversion.Active()) {
                conversion.Convert(target, target, static_cast<std::size_t>(width));
            }
        }
        jpeg_finish_decompress(&m_info);
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    jpeg_decompress_struct m_info{};
    ErrorExit m_error{};
    jpeg_progress_mgr m_progress{};
    JOCTET* m_profile = nullptr;
    std::size_t m_profileSize = 0;
    std::vector<std::uint8_t> m_row;
};

ProfilePixels PixelsFor(const jpeg_decompress_struct& info)
{
    if (info.out_color_space == JCS_CMYK) {
        // Adobe's writers store CMYK inverted and mark their files so.
        return info.saw_Adobe_marker == TRUE ? ProfilePixels::InvertedCmyk : ProfilePixels::Cmyk;
    }
    return info.num_components == 1 ? ProfilePixels::GreyAsBgr : ProfilePixels::Bgr;
}

}  // namespace

void ReadJpegPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                     DecodedPicture& picture)
{
    JpegDecoder decoder(bytes);
    const auto refuse = [&] {
        // The library stops at sides over 65500, a little below our own limit.
        if (decoder.TooLarge()) {
            throw Error(msg::kPictureTooLarge + path);
        }
        throw Error(msg::kBadJpeg + path + "\r\n" + decoder.Words());
    };
    if (!decoder.ReadHeader()) {
        refuse();
    }
    jpeg_decompress_struct& info = decoder.Info();
    CheckPictureSize(info.image_width, info.image_height, path);

    const int orientation = decoder.Orientation();
    const bool swaps = SwapsSides(orientation);
    const int reduction =
        ReductionFor(info.image_width, info.image_height, swaps ? request.TargetHeight : request.TargetWidth,
                     swaps ? request.TargetWidth : request.TargetHeight);
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned int>(reduction);
    if (request.AnyEighths && request.TargetWidth > 0 && request.TargetHeight > 0) {
        const std::int64_t width = swaps ? info.image_height : info.image_width;
        const std::int64_t height = swaps ? info.image_width : info.image_height;
        unsigned eighths = 1;
        while (eighths < 8 &&
               ((width * eighths + 7) / 8 < request.TargetWidth || (height * eighths + 7) / 8 < request.TargetHeight)) {
            ++eighths;
        }
        info.scale_num = eighths;
        info.scale_denom = 8;
    }
    // A reduced picture is only stretched down further: the merged chroma upsampling is quicker and
    // its difference from the smooth one is gone in the stretch.
    info.do_fancy_upsampling = info.scale_num == info.scale_denom ? TRUE : FALSE;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;

    const SrgbConversion conversion(decoder.Profile(), PixelsFor(info));
    DecodedPicture decoded;
    if (!decoder.Decode(decoded, conversion)) {
        refuse();
    }
    picture = Oriented(std::move(decoded), orientation);
}

std::vector<std::uint8_t> ReadJpegExif(std::span<const std::uint8_t> bytes)
{
    JpegDecoder decoder(bytes);
    if (!decoder.ReadHeader()) {
        return {};
    }
    const std::span<const std::uint8_t> exif = decoder.Exif();
    return {exif.begin(), exif.end()};
}

}  // namespace kinetar::pictures
