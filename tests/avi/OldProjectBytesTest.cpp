#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "avi/engine/AviEngine.h"
#include "support/BmpBuilder.h"
#include "support/EngineRun.h"

namespace kinetar::avi {
namespace {

// FNV-1a over the file: a regression check, not a digest.
std::uint64_t FileHash(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::istreambuf_iterator<char> it(in), end; it != end; ++it) {
        hash = (hash ^ static_cast<unsigned char>(*it)) * 1099511628211ULL;
    }
    return hash;
}

TEST(CreateAVI, AProjectWithoutSlideshowSettingsRendersTheBytesItAlwaysHas)
{
    const struct {
        const char* name;
        std::uint8_t depth;
        std::uint32_t fourcc;
        std::uint64_t hash;
    } rows[] = {
        {"24 bits uncompressed", 3, kUncompressedFourcc, 0xb980bcc306c242edULL},
        {"8 bits RLE", 2, kRleFourcc, 0x50fa0e6fcca568f0ULL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::EngineRun project(37, 23, row.depth, 7);
        project.Picture("same.bmp", test::Bmp24(test::GradientImage(37, 23, 1)));
        project.Picture("large.bmp", test::Bmp24(test::GradientImage(80, 50, 2)));
        project.Picture("small.bmp", test::Bmp24(test::GradientImage(10, 7, 3)));
        project.Frames({{"same.bmp", 1},
                        {"large.bmp", 1},
                        {"missing.bmp", 1},
                        {"small.bmp", 0},
                        {"large.bmp", 0},
                        {"small.bmp", 1}});
        ASSERT_EQ(project.Generate(test::WithChooser(test::Choosing(MakeCodecSettings(row.fourcc)))).result,
                  kResultDone);
        EXPECT_EQ(FileHash(project.Avi()), row.hash) << std::hex << FileHash(project.Avi());
    }
}

}  // namespace
}  // namespace kinetar::avi
