#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "avi/codecs/CodecRegistry.h"
#include "avi/engine/ResultCode.h"
#include "avi/engine/VideoSettings.h"
#include "common/Error.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

TEST(ResultMessage, TheSettingsWindowsTexts)
{
    const struct {
        ResultCode result;
        const char* text;
    } rows[] = {
        {kResultDone, ""},
        {kResultOldVideoLibrary, "Your version of Video for Windows is old. You should have version 1.1 of VfW."},
        {kResultCannotOpenFile, "Can't open AVI file.\r\nIt's probably in use."},
        {kResultCannotCreateStream, "Internal error 1: Please contact me with description."},
        {kResultStopped, ""},
        {kResultCannotMakeCompressor, "Internal error 2: Please contact me with description."},
        {kResultFormatRefused, "Selected video codec can't use selected format of AVI"},
        {kResultWriteFailed, "Can't write to drive. Please check free space.\r\nand try it again."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ResultMessage(row.result), row.text) << int{row.result};
    }
}

TEST(ProposeSettings, SizeFromTheFirstPictureDestinationFromTheProjectsName)
{
    test::TempDir dir;
    const std::string picture = dir.File("first.bmp");
    test::WriteFile(picture, test::BmpBuilder{}.Size(3, 2).Bits(24).Pixels(std::vector<std::uint8_t>(24, 0)).Build());
    const std::string project = dir.File("Trip.AVIprj");
    const std::string workingCopy = dir.File("AVI123456");

    const struct {
        const char* name;
        std::int32_t width;
        std::int32_t height;
        const char* destination;
        const char* firstPicture;  // nullptr: the project has no frames
        std::int32_t proposedWidth;
        std::int32_t proposedHeight;
        std::string proposedDestination;
        bool proposed;
        bool soundFirst = false;  // a sound record comes before the picture
    } rows[] = {
        {"nothing set", 0, 0, "", picture.c_str(), 3, 2, dir.File("Trip.avi"), true},
        {"a sound before the picture", 0, 0, "/v/x.mp4", picture.c_str(), 3, 2, "/v/x.mp4", true, true},
        {"height missing", 640, 0, "/v/x.avi", picture.c_str(), 3, 2, "/v/x.avi", true},
        {"all set", 640, 480, "/v/x.avi", picture.c_str(), 640, 480, "/v/x.avi", false},
        {"unreadable first picture", 0, 0, "/v/x.avi", "/missing/first.bmp", 0, 0, "/v/x.avi", false},
        {"no frames", 0, 5, "", nullptr, 0, 5, dir.File("Trip.avi"), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        project::ProjectHeader header = project::NewProjectHeader();
        header.Width = row.width;
        header.Height = row.height;
        project::SetText(header.AviFileName, row.destination);
        std::filesystem::remove(workingCopy);
        ASSERT_TRUE(project::WriteProjectHeader(workingCopy, header));
        if (row.soundFirst) {
            ASSERT_TRUE(project::WriteFrameRecord(workingCopy, 0, project::NewSoundRecord(dir.File("song.flac"))));
        }
        if (row.firstPicture != nullptr) {
            ASSERT_TRUE(project::WriteFrameRecord(workingCopy, row.soundFirst ? 1 : 0,
                                                  project::NewFrameRecord(row.firstPicture)));
        }

        EXPECT_EQ(ProposeSettings(header, project, workingCopy), row.proposed);
        EXPECT_EQ(header.Width, row.proposedWidth);
        EXPECT_EQ(header.Height, row.proposedHeight);
        EXPECT_EQ(project::GetText(header.AviFileName), row.proposedDestination);
    }
}

}  // namespace
}  // namespace kinetar::avi

namespace kinetar::avi {
namespace {

// Found by reading back what the codec library decodes: 16255 x 16255 plays, 16256 x 16256 shows
// nothing, and a long side needs a short one.
TEST(VideoSizeRefusal, RefusesOnlySizesNothingCanPlay)
{
    const struct {
        std::int32_t width;
        std::int32_t height;
        bool refused;
    } rows[] = {
        {16255, 16255, false}, {16256, 16256, true}, {32767, 8000, false}, {32767, 8032, false},
        {32767, 8033, true},   {32767, 32767, true}, {1, 1, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(VideoSizeRefusal(row.width, row.height).has_value(), row.refused) << row.width << "x" << row.height;
    }
    project::ProjectHeader header = project::NewProjectHeader();
    header.Width = 32767;
    header.Height = 32767;
    EXPECT_THROW(CheckVideoSettings(header), Error);
}

// A decoder pads the picture to its codec's blocks, so a size under the limit can code as one
// over it: H.264 at 16242 x 16242 codes as 16256 x 16256, which no player shows.
TEST(VideoSizeRefusal, ACompressorIsRefusedTheSizesItWouldCodePastTheLimit)
{
    const struct {
        const char* codec;
        std::int32_t side;
        bool refused;
    } rows[] = {
        {"DIB ", 16255, false}, {"MJPG", 16255, false}, {"H264", 16240, false}, {"H264", 16242, true},
        {"XVID", 16240, false}, {"XVID", 16241, true},  {"HEVC", 16248, false}, {"HEVC", 16250, true},
        {"VP90", 16248, false}, {"VP90", 16250, true},
    };
    for (const auto& row : rows) {
        const CodecInfo* codec = CodecRegistry::Default().FindByText(row.codec);
        if (codec == nullptr) {
            continue;  // not in this build's codec library
        }
        const Container container = codec->GoesInto(Container::Mkv) ? Container::Mkv : Container::Avi;
        const std::string text = RefusalText(*codec, 24, row.side, row.side, container);
        EXPECT_EQ(text.find("larger than video players can show") != std::string::npos, row.refused)
            << row.codec << " " << row.side << ": " << text;
    }
}

}  // namespace
}  // namespace kinetar::avi
