#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/Error.h"
#include "pictures/DecodedPicture.h"

namespace kinetar::test {

// A picture reader on bytes in memory, as each format's reader offers one.
using PictureReader = void (*)(std::span<const std::uint8_t>, const std::string&, pictures::DecodedPicture&);

inline pictures::DecodedPicture ReadWith(PictureReader reader, const std::vector<std::uint8_t>& bytes,
                                         const std::string& path)
{
    pictures::DecodedPicture picture;
    reader(bytes, path, picture);
    return picture;
}

// The reader's message for the bytes, or "no error".
inline std::string ErrorFrom(PictureReader reader, const std::vector<std::uint8_t>& bytes, const std::string& path)
{
    try {
        (void)ReadWith(reader, bytes, path);
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace kinetar::test
