#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Error.h"
#include "pictures/HeifReader.h"

// Inputs of odd length are read for a small frame, so the reduced decoding is reached too.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kinetar::pictures::DecodedPicture picture;
    kinetar::pictures::PictureRequest request;
    request.Background = {40, 80, 120, 0};
    if (size % 2 == 1) {
        request.TargetWidth = 3;
        request.TargetHeight = 2;
    }
    try {
        kinetar::pictures::ReadHeifPicture(std::span<const std::uint8_t>(data, size), "/fuzz/input", request, picture);
    } catch (const kinetar::Error&) {
    }
    return 0;
}
