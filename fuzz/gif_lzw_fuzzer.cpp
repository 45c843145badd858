#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/Error.h"
#include "pictures/DecodedPicture.h"
#include "pictures/GifLzw.h"

// The first three bytes choose the image: width and height (1 to 256) and, in the low bits of the
// third, the colour table bits and the interlace flag. The rest starts at the code-size byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) {
        return 0;
    }
    const std::int32_t width = data[0] + 1;
    const std::int32_t height = data[1] + 1;
    const int tableBits = (data[2] & 7) + 1;
    const int workBits = tableBits == 1 ? 1 : tableBits <= 4 ? 4 : 8;
    std::vector<std::uint8_t> work(kinetar::pictures::RowStride(width, workBits) * static_cast<std::size_t>(height));
    kinetar::pictures::ByteCursor cursor(std::span<const std::uint8_t>(data + 3, size - 3));
    try {
        kinetar::pictures::DecodeGifImage(cursor, width, height, workBits, (data[2] & 8) != 0, tableBits, work);
    } catch (const kinetar::Error&) {
    }
    return 0;
}
