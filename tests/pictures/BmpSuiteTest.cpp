#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "pictures/LoadPicture.h"
#include "support/ErrorText.h"
#include "support/ExternalTools.h"
#include "support/TestFiles.h"

namespace kinetar::pictures {
namespace {

namespace fs = std::filesystem;

const fs::path kSuite = test::TestDataDir() / "bmpsuite";

enum class Expect {
    Pixels,        // decoded as another program decodes it
    Refused,       // the given message + path
    EitherResult,  // broken beyond a single right answer: a picture or a reader's message
};

enum class Reference { ImageMagick, Ffmpeg };

struct SuiteFile {
    const char* name;
    Expect expect;
    const char* message = "";
    // ImageMagick gives up on some damaged files, or reads OS/2 headers its own way; ffmpeg then
    // shows what our rules give (unset run-length pixels index 0, colours beyond the table black).
    Reference reference = Reference::ImageMagick;
};

// What each file of the suite must give. Files not listed fail the completeness test below.
const SuiteFile kFiles[] = {
    {"g/pal1.bmp", Expect::Pixels},
    {"g/pal1bg.bmp", Expect::Pixels},
    {"g/pal1wb.bmp", Expect::Pixels},
    {"g/pal4.bmp", Expect::Pixels},
    {"g/pal4gs.bmp", Expect::Pixels},
    {"g/pal4rle.bmp", Expect::Pixels},
    {"g/pal8-0.bmp", Expect::Pixels},
    {"g/pal8.bmp", Expect::Pixels},
    {"g/pal8gs.bmp", Expect::Pixels},
    {"g/pal8nonsquare.bmp", Expect::Pixels},
    {"g/pal8rle.bmp", Expect::Pixels},
    {"g/pal8topdown.bmp", Expect::Pixels},
    {"g/pal8v4.bmp", Expect::Pixels},
    {"g/pal8v5.bmp", Expect::Pixels},
    {"g/pal8w124.bmp", Expect::Pixels},
    {"g/pal8w125.bmp", Expect::Pixels},
    {"g/pal8w126.bmp", Expect::Pixels},
    {"g/rgb24.bmp", Expect::Pixels},
    {"g/rgb24pal.bmp", Expect::Pixels},
    {"q/rgb24largepal.bmp", Expect::Pixels},
    {"q/rgb24lprof.bmp", Expect::Pixels},
    {"q/pal8offs.bmp", Expect::Pixels},
    {"q/pal8oversizepal.bmp", Expect::Pixels, "", Reference::Ffmpeg},
    {"q/pal1p1.bmp", Expect::Pixels},
    {"b/pal8badindex.bmp", Expect::Pixels, "", Reference::Ffmpeg},
    {"q/pal4rlecut.bmp", Expect::Pixels, "", Reference::Ffmpeg},
    {"q/pal8rlecut.bmp", Expect::Pixels, "", Reference::Ffmpeg},
    {"q/pal4rletrns.bmp", Expect::Pixels},
    {"q/pal8rletrns.bmp", Expect::Pixels},
    {"q/pal8os2v2.bmp", Expect::Pixels, "", Reference::Ffmpeg},
    {"q/pal8os2v2-sz.bmp", Expect::Pixels, "", Reference::Ffmpeg},
    {"q/pal8os2v2-40sz.bmp", Expect::Pixels, "", Reference::Ffmpeg},

    {"g/rgb16.bmp", Expect::Refused, "Unsupported bitmap"},
    {"g/rgb16-565.bmp", Expect::Refused, "Unsupported bitmap"},
    {"g/rgb16-565pal.bmp", Expect::Refused, "Unsupported bitmap"},
    {"g/rgb16bfdef.bmp", Expect::Refused, "Unsupported bitmap"},
    {"g/rgb32.bmp", Expect::Refused, "Unsupported bitmap"},
    {"g/rgb32bf.bmp", Expect::Refused, "Unsupported bitmap"},
    {"g/rgb32bfdef.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb16-231.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb16-3103.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb16faketrns.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba16-1924.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba16-4444.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba16-5551.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb32-111110.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb32-7187.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb32-xbgr.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb32fakealpha.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb32h52.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba32-1.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba32-1010102.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba32-2.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba32-61754.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba32-81284.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba32abf.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba32h56.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgba64.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/pal2.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/pal2color.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb24jpeg.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb24png.bmp", Expect::Refused, "Unsupported bitmap"},
    {"b/badbitcount.bmp", Expect::Refused, "Unsupported bitmap"},
    {"b/rgb16-880.bmp", Expect::Refused, "Unsupported bitmap"},
    {"g/pal8os2.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/pal8os2-hs.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/pal8os2-sz.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/pal8os2sp.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/pal8os2v2-16.bmp", Expect::Refused, "Unsupported bitmap"},
    {"b/badwidth.bmp", Expect::Refused, "Unsupported bitmap"},
    {"q/rgb24rle24.bmp", Expect::Refused, "Unsupported compression of Bitmap "},
    {"q/pal1huffmsb.bmp", Expect::Refused, "Unsupported compression of Bitmap "},
    {"b/reallybig.bmp", Expect::Refused, "Picture is too large "},
    {"b/shortfile.bmp", Expect::Refused, "Reading pixels FAILED"},
    {"x/ba-bm.bmp", Expect::Refused, "Unknown file format "},

    {"b/badbitssize.bmp", Expect::EitherResult},
    {"b/baddens1.bmp", Expect::EitherResult},
    {"b/baddens2.bmp", Expect::EitherResult},
    {"b/badfilesize.bmp", Expect::EitherResult},
    {"b/badheadersize.bmp", Expect::EitherResult},
    {"b/badpalettesize.bmp", Expect::EitherResult},
    {"b/badplanes.bmp", Expect::EitherResult},
    {"b/badrle.bmp", Expect::EitherResult},
    {"b/badrle4.bmp", Expect::EitherResult},
    {"b/badrle4bis.bmp", Expect::EitherResult},
    {"b/badrle4ter.bmp", Expect::EitherResult},
    {"b/badrlebis.bmp", Expect::EitherResult},
    {"b/badrleter.bmp", Expect::EitherResult},
    {"b/rletopdown.bmp", Expect::EitherResult},
};

void PrintTo(const SuiteFile& file, std::ostream* out)
{
    *out << file.name;
}

class BmpSuite : public ::testing::TestWithParam<SuiteFile> {
protected:
    void SetUp() override
    {
        if (!fs::is_directory(kSuite)) {
            GTEST_SKIP() << "the BMP Suite is not at " << kSuite;
        }
    }
};

TEST_P(BmpSuite, DecodesOrRefusesExactly)
{
    const SuiteFile& file = GetParam();
    const std::string path = (kSuite / file.name).string();
    std::unique_ptr<DecodedPicture> picture;
    const std::string error = test::ThrownError([&] { picture = LoadPicture(path); }).value_or("");
    switch (file.expect) {
    case Expect::Pixels: {
        ASSERT_TRUE(picture) << error;
        const auto reference =
            file.reference == Reference::Ffmpeg ? test::DecodeWithFfmpeg(path) : test::DecodeWithImageMagick(path);
        ASSERT_TRUE(reference.has_value()) << "the reference decoder cannot decode " << path;
        EXPECT_EQ(test::FirstDifference(test::ToRgb(*picture), *reference), "");
        break;
    }
    case Expect::Refused:
        EXPECT_EQ(error, file.message + path);
        break;
    case Expect::EitherResult:
        if (!picture) {
            EXPECT_TRUE(error.ends_with(path)) << error;
        }
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BmpSuite, ::testing::ValuesIn(kFiles), [](const auto& paramInfo) {
    std::string name = paramInfo.param.name;
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return name;
});

TEST(BmpSuiteTable, ListsEveryFile)
{
    if (!fs::is_directory(kSuite)) {
        GTEST_SKIP() << "the BMP Suite is not at " << kSuite;
    }
    std::set<std::string> listed;
    for (const SuiteFile& file : kFiles) {
        listed.insert(file.name);
    }
    for (const auto& entry : fs::recursive_directory_iterator(kSuite)) {
        if (entry.path().extension() == ".bmp") {
            EXPECT_EQ(listed.count(fs::relative(entry.path(), kSuite).string()), 1U) << entry.path();
        }
    }
}

}  // namespace
}  // namespace kinetar::pictures
