// Decodes each picture named on the command line once, as the program does for a frame; prints
// nothing on success. Used by bench/readers.sh as a whole process against other decoders.
#include <cstdio>

#include "common/Error.h"
#include "pictures/LoadPicture.h"

int main(int argc, char** argv)
{
    try {
        for (int i = 1; i < argc; ++i) {
            const auto picture = kinetar::pictures::LoadPicture(argv[i]);
            // Touch the result so the decode cannot be skipped.
            if (picture->Width() <= 0 || picture->Row(picture->Height() - 1).empty()) {
                return 1;
            }
        }
    } catch (const kinetar::Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
