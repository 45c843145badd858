#include "pictures/PcxReader.h"

#include "common/Error.h"
#include "pictures/PictureFile.h"

namespace kinetar::pictures {

// TODO: the PCX reader; until it lands such files are refused.
void ReadPcxPicture(std::span<const std::uint8_t> /*bytes*/, const std::string& path, DecodedPicture& /*picture*/)
{
    throw Error("PCX pictures are not supported yet: " + path);
}

void ReadPcxPicture(const std::string& path, DecodedPicture& picture)
{
    const PictureFile file(path);
    ReadPcxPicture(file.Bytes(), path, picture);
}

}  // namespace kinetar::pictures
