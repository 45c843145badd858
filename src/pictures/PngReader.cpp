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
        SkipUnusedChunks();
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
        const bool interlaced = png_get_interlace_type(m_png, m_info) == PNG_INTERLACE_ADAM7;
        png_read_update_info(m_png, m_info);
        const auto width = static_cast<std::int32_t>(Width());
        const auto height = static_cast<std::int32_t>(Height());
        picture = NewPhotoPicture(width, height);
        m_conversion.emplace(Profile(), grey ? (alpha ? ProfilePixels::GreyAsBgra : ProfilePixels::GreyAsBgr)
                                             : (alpha ? ProfilePixels::Bgra : ProfilePixels::Bgr));
        const std::size_t channels = alpha ? 4 : 3;
        if (!interlaced) {
            // Opaque rows are decoded where they belong; rows with alpha wait in one row of their own
            // until they are laid over the background.
            m_row.resize(alpha ? static_cast<std::size_t>(width) * 4 : 0);
            for (std::int32_t y = 0; y < height; ++y) {
                ThrowIfStopRequested(y);
                std::uint8_t* const target = picture.Row(y).data();
                std::uint8_t* const row = alpha ? m_row.data() : target;
                png_read_row(m_png, row, nullptr);
                FinishRow(row, static_cast<std::size_t>(width), alpha, background, target);
            }
        } else {
            // Without the library's interlace handling each Adam7 pass comes as a small picture of its
            // own, and each pixel in exactly one of them: it is finished and put in its place at once,
            // so no pass waits in a full-size buffer. The row is given the full width, as the library
            // may copy that much.
            m_row.resize(static_cast<std::size_t>(width) * channels);
            m_finished.resize(static_cast<std::size_t>(width) * 3);
            for (int pass = 0; pass < 7; ++pass) {
                const auto columns = static_cast<std::size_t>(PNG_PASS_COLS(Width(), pass));
                const png_uint_32 rows = columns == 0 ? 0 : PNG_PASS_ROWS(Height(), pass);
                for (png_uint_32 passRow = 0; passRow < rows; ++passRow) {
                    ThrowIfStopRequested(static_cast<std::int64_t>(passRow));
                    png_read_row(m_png, m_row.data(), nullptr);
                    FinishRow(m_row.data(), columns, alpha, background, m_finished.data());
                    const auto target = picture.Row(static_cast<std::int32_t>(PNG_ROW_FROM_PASS_ROW(passRow, pass)));
                    for (std::size_t x = 0; x < columns; ++x) {
                        std::copy_n(m_finished.data() + x * 3, 3,
                                    target.data() + std::size_t{PNG_COL_FROM_PASS_COL(x, pass)} * 3);
                    }
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

    int Orientation() const { return ExifOrientation(Exif()); }

    std::span<const std::uint8_t> Exif() const
    {
        png_uint_32 length = 0;
        png_bytep exif = nullptr;
        if (png_get_eXIf_1(m_png, m_info, &length, &exif) == 0) {
            return {};
        }
        return {exif, length};
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

    // Text, times, sizes, suggested palettes and chunks the library does not know are passed over
    // unread: a text chunk is inflated in full before anyone could ignore it. What decides the
    // colours stays: the palette and tRNS always, and iCCP, sRGB, gAMA and cHRM together, as the
    // library keeps a profile only when the others agree with it; eXIf turns the picture.
    void SkipUnusedChunks()
    {
        static constexpr png_byte kUnused[] =
            "bKGD\0hIST\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sTER\0tEXt\0tIME\0zTXt";
        png_set_keep_unknown_chunks(m_png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
        png_set_keep_unknown_chunks(m_png, PNG_HANDLE_CHUNK_NEVER, kUnused, static_cast<int>(sizeof kUnused / 5));
    }

    // A decoded row of count pixels into sRGB and, with alpha, over the background into target.
    void FinishRow(std::uint8_t* row, std::size_t count, bool alpha, PaletteEntry background, std::uint8_t* target)
    {
        if (m_conversion->Active()) {
            m_conversion->Convert(row, row, count);
        }
        if (alpha) {
            CompositeRow(row, count, background, target);
        } else if (row != target) {
            std::copy_n(row, count * 3, target);
        }
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
    std::vector<std::uint8_t> m_row;
    std::vector<std::uint8_t> m_finished;
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

std::vector<std::uint8_t> ReadPngExif(std::span<const std::uint8_t> bytes)
{
    PngDecoder decoder(bytes);
    if (!decoder.ReadInfo()) {
        return {};
    }
    const std::span<const std::uint8_t> exif = decoder.Exif();
    return {exif.begin(), exif.end()};
}

}  // namespace kinetar::pictures
