#include "PhotoReaderFuzz.h"
#include "pictures/WebpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzPhotoReader(kinetar::pictures::ReadWebpPicture, data, size);
}
