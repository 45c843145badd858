#include "PhotoReaderFuzz.h"
#include "pictures/JpegReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzPhotoReader(kinetar::pictures::ReadJpegPicture, data, size);
}
