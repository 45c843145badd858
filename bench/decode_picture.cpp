// Decodes the pictures named on the command line, as the engine does for each frame, and prints
// each one's size and a checksum of its rows so the work cannot be skipped. A first argument
// --target WxH decodes them for a stretched frame of that size.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>

#include "pictures/LoadPicture.h"

int main(int argc, char** argv)
{
    int status = 0;
    int first = 1;
    kinetar::pictures::PictureRequest request;
    if (argc > 2 && std::strcmp(argv[1], "--target") == 0 &&
        std::sscanf(argv[2], "%dx%d", &request.TargetWidth, &request.TargetHeight) == 2) {
        first = 3;
    }
    for (int i = first; i < argc; ++i) {
        try {
            const auto picture = kinetar::pictures::LoadPicture(argv[i], request);
            std::uint64_t checksum = 0;
            for (std::int32_t y = 0; y < picture->Height(); ++y) {
                for (const std::uint8_t byte : picture->Row(y)) {
                    checksum = checksum * 31 + byte;
                }
            }
            std::printf("%s: %dx%d, %d bits, checksum %016llx\n", argv[i], picture->Width(), picture->Height(),
                        picture->BitsPerPixel(), static_cast<unsigned long long>(checksum));
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
            status = 1;
        }
    }
    return status;
}
