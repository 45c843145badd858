#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Error.h"
#include "pictures/LoadPicture.h"

// The input is read as a file named .bmp; a first byte of 'T' names it .tga instead, so the
// extension-only TGA test is reached too.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const char* name = size > 0 && data[0] == 'T' ? "/fuzz/input.tga" : "/fuzz/input.bmp";
    try {
        (void)kinetar::pictures::LoadPicture(bytes, name);
    } catch (const kinetar::Error&) {
    }
    return 0;
}
