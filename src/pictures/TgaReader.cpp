#include "pictures/TgaReader.h"

#include "common/Error.h"
#include "pictures/PictureFile.h"

namespace kinetar::pictures {

// TODO: the TGA reader; until it lands such files are refused.
void ReadTgaPicture(std::span<const std::uint8_t> /*bytes*/, const std::string& path, DecodedPicture& /*picture*/)
{
    throw Error("TGA pictures are not supported yet: " + path);
}

void ReadTgaPicture(const std::string& path, DecodedPicture& picture)
{
    const PictureFile file(path);
    ReadTgaPicture(file.Bytes(), path, picture);
}

}  // namespace kinetar::pictures
