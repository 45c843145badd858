#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Error.h"
#include "pictures/TgaReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kinetar::pictures::DecodedPicture picture;
    try {
        kinetar::pictures::ReadTgaPicture(std::span<const std::uint8_t>(data, size), "/fuzz/input.tga", picture);
    } catch (const kinetar::Error&) {
    }
    return 0;
}
