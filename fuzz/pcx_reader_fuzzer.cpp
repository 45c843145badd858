#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Error.h"
#include "pictures/PcxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kinetar::pictures::DecodedPicture picture;
    try {
        kinetar::pictures::ReadPcxPicture(std::span<const std::uint8_t>(data, size), "/fuzz/input.pcx", picture);
    } catch (const kinetar::Error&) {
    }
    return 0;
}
