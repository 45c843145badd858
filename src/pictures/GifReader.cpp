#include "pictures/GifReader.h"

#include "common/Error.h"
#include "pictures/PictureFile.h"

namespace kinetar::pictures {

// TODO: the GIF reader; until it lands such files are refused.
void ReadGifPicture(std::span<const std::uint8_t> /*bytes*/, const std::string& path, DecodedPicture& /*picture*/)
{
    throw Error("GIF pictures are not supported yet: " + path);
}

void ReadGifPicture(const std::string& path, DecodedPicture& picture)
{
    const PictureFile file(path);
    ReadGifPicture(file.Bytes(), path, picture);
}

}  // namespace kinetar::pictures
