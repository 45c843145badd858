#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Error.h"
#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

// The photo readers' targets share one body: a background to lay transparency over, and inputs of
// odd length read for a small frame, so the reduced decoding is reached too.
template <typename Reader>
int FuzzPhotoReader(Reader read, const std::uint8_t* data, std::size_t size)
{
    kinetar::pictures::DecodedPicture picture;
    kinetar::pictures::PictureRequest request;
    request.Background = {40, 80, 120, 0};
    if (size % 2 == 1) {
        request.TargetWidth = 3;
        request.TargetHeight = 2;
    }
    try {
        read(std::span<const std::uint8_t>(data, size), "/fuzz/input", request, picture);
    } catch (const kinetar::Error&) {
    }
    return 0;
}
