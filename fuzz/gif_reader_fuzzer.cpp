#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Error.h"
#include "pictures/GifReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kinetar::pictures::DecodedPicture picture;
    try {
        kinetar::pictures::ReadGifPicture(std::span<const std::uint8_t>(data, size), "/fuzz/input.gif", picture);
    } catch (const kinetar::Error&) {
    }
    return 0;
}
