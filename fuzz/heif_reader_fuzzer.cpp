#include "PhotoReaderFuzz.h"
#include "pictures/HeifReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzPhotoReader(kinetar::pictures::ReadHeifPicture, data, size);
}
