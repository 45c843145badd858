#include "pictures/PngReader.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "common/Error.h"
#include "pictures/ColorProfile.h"
#include "pictures/Messages.h"
#include "pictures/Orientation.h"
#include "pictures/PhotoPixels.h"

namespace kinetar::pictures {

namespace {

// Ancillary chunks (text, profiles, EXIF) the library keeps in memory, each and all together.
constexpr png_alloc_size_t kMaxChunkBytes = 16 * 1024 * 1024;
constexpr png_uint_32 kMaxKeptChunks = 1000;

// Whether every chunk up to IEND lies whole within the file. The library allocates a chunk's
// declared length before it reads the data (an eXIf chunk, whatever the limits say), so a length
// past the end of a small file is refused first.
bool ChunksFit(std::span<const std::uint8_t> bytes)
{
    std::size_t at = 8;  // past the signature
    while (bytes.size() >= at + 12) {
        const std::size_t length = std::size_t{bytes[at]} << 24 | std::size_t{bytes[at + 1]} << 16 |
                                   std::size_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (length > bytes.size() - at - 12) {
            return false;
        }
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0) {
            return true;
        }
        at += 12 + length;
    }
    return false;
}

// Everything the library holds, in one place a jump back leaves intact.
class PngDecoder {
public:
    explicit PngDecoder(std::span<const std::uint8_t> bytes) : m_bytes(bytes)
    {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, [](png_structp, png_const_charp) {});
        if (m_png != nullptr) {
            m_info = png_create_info_struct(m_png);
        }
        if (m_info == nullptr) {
            throw std::bad_alloc();
        }
        png_set_read_fn(m_png, this, OnRead);
        // The picture's size is checked against our own limits once the header is read.
        png_set_user_limits(m_png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
        png_set_chunk_malloc_max(m_png, kMaxChunkBytes);
        png_set_chunk_cache_max(m_png, kMaxKeptChunks);
    }
    PngDecoder(const PngDecoder&) = delete;
    PngDecoder& operator=(const PngDecoder&) = delete;
    ~PngDecoder() { png_destroy_read_struct(&m_png, &m_info, nullptr); }

    const char* Words() const { return m_words.data(); }
    png_uint_32 Width() const { return png_get_image_width(m_png, m_info); }
    png_uint_32 Height() const { return png_get_image_height(m_png, m_info); }

    bool ReadInfo()
    {
        if (setjmp(png_jmpbuf(m_png)) != 0) {
            return false;
        }
        png_read_info(m_png, m_info);
        return true;
    }

    // Nothing here that a jump back would have to destroy: the buffers live in the decoder and the
    // caller.
    bool Decode(DecodedPicture& picture, PaletteEntry background)
    {
        if (setjmp(png_jmpbuf(m_png)) != 0) {
            return false;
        }
        // A grey picture's profile is a grey one (the library drops a profile of the other kind).
        const bool grey = (png_get_color_type(m_png, m_info) & PNG_COLOR_MASK_COLOR) == 0;
        const bool alpha = ExpandToBgr();
        const int passes = png_set_interlace_handling(m_png);
        png_read_update_info(m_png, m_info);
        const auto width = static_cast<std::int32_t>(Width());
        const auto height = static_cast<std::int32_t>(Height());
        const auto pixelCount = static_cast<std::size_t>(width);
        picture = NewPhotoPicture(width, height);
        m_conversion.emplace(Profile(), grey ? (alpha ? ProfilePixels::GreyAsBgra : ProfilePixels::GreyAsBgr)
                                             : (alpha ? ProfilePixels::Bgra : ProfilePixels::Bgr));
        // Rows with alpha wait in a buffer of their own until they are laid over the background;
        // an interlaced picture's rows fill in over the passes, so all of them are kept.
        const bool keepAll = passes > 1;
        m_bgra.resize(alpha ? pixelCount * 4 * (keepAll ? static_cast<std::size_t>(height) : 1) : 0);
        for (int pass = 0; pass < passes; ++pass) {
            for (std::int32_t y = 0; y < height; ++y) {
                std::uint8_t* const target = picture.Row(y).data();
                std::uint8_t* const row =
                    alpha ? m_bgra.data() + (keepAll ? static_cast<std::size_t>(y) * pixelCount * 4 : 0) : target;
                png_read_row(m_png, row, nullptr);
                if (pass + 1 < passes) {
                    continue;
                }
                // The last pass leaves the row whole.
                if (m_conversion->Active()) {
                    m_conversion->Convert(row, row, pixelCount);
                }
                if (alpha) {
                    CompositeRow(row, pixelCount, background, target);
                }
            }
        }
        png_read_end(m_png, m_info);
        return true;
    }

    std::span<const std::uint8_t> Profile() const
    {
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 length = 0;
        if (png_get_iCCP(m_png, m_info, &name, &compression, &profile, &length) == 0) {
            return {};
        }
        return {profile, length};
    }

    int Orientation() const
    {
        png_uint_32 length = 0;
        png_bytep exif = nullptr;
        if (png_get_eXIf_1(m_png, m_info, &length, &exif) == 0) {
            return 1;
        }
        return ExifOrientation({exif, length});
    }

private:
    static void OnError(png_structp png, png_const_charp words)
    {
        auto& decoder = *static_cast<PngDecoder*>(png_get_error_ptr(png));
        std::snprintf(decoder.m_words.data(), decoder.m_words.size(), "%s", words);
        png_longjmp(png, 1);
    }

    static void OnRead(png_structp png, png_bytep data, png_size_t length)
    {
        auto& decoder = *static_cast<PngDecoder*>(png_get_io_ptr(png));
        if (length > decoder.m_bytes.size() - decoder.m_position) {
            png_error(png, "unexpected end of file");
        }
        std::copy_n(decoder.m_bytes.begin() + static_cast<std::ptrdiff_t>(decoder.m_position), length, data);
        decoder.m_position += length;
    }

    // Sets the library to hand out 8-bit blue, green, red rows, with alpha when the picture has any
    // transparency; answers whether it has.
    bool ExpandToBgr()
    {
        const int colorType = png_get_color_type(m_png, m_info);
        png_set_scale_16(m_png);
        png_set_expand(m_png);  // palettes, grey below 8 bits, tRNS as alpha
        if ((colorType & PNG_COLOR_MASK_COLOR) == 0) {
            png_set_gray_to_rgb(m_png);
        }
        png_set_bgr(m_png);
        return (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(m_png, m_info, PNG_INFO_tRNS) != 0;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    std::array<char, 256> m_words{};
    std::vector<std::uint8_t> m_bgra;
    std::optional<SrgbConversion> m_conversion;
};

}  // namespace

void ReadPngPicture(std::span<const std::uint8_t> bytes, const std::string& path, const PictureRequest& request,
                    DecodedPicture& picture)
{
    if (!ChunksFit(bytes)) {
        throw Error(msg::kBadPng + path + "\r\nunexpected end of file");
    }
    PngDecoder decoder(bytes);
    const auto refuse = [&] { throw Error(msg::kBadPng + path + "\r\n" + decoder.Words()); };
    if (!decoder.ReadInfo()) {
        refuse();
    }
    CheckPictureSize(decoder.Width(), decoder.Height(), path);
    DecodedPicture decoded;
    if (!decoder.Decode(decoded, request.Background)) {
        refuse();
    }
    picture = Oriented(std::move(decoded), decoder.Orientation());
}

}  // namespace kinetar::pictures
