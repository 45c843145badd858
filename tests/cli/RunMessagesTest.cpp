#include <gtest/gtest.h>

#include <cerrno>

#include "cli/RunMessages.h"
#include "support/TestFiles.h"

namespace kinetar::cli {
namespace {

TEST(ResultText, SaysWhatHappenedToWhichFile)
{
    const test::TempDir dir;
    const std::string earlier = dir.File("earlier.mp4");
    test::WriteFile(earlier, std::vector<std::uint8_t>{1});
    const std::string missing = dir.File("new\x1b[2J.avi");
    const struct {
        std::uint8_t result;
        int error;
        bool replaced;
        std::string detail;
        std::string destination;
        avi::Container container;
        std::string text;
    } rows[] = {
        // Only a full disk is a matter of free space; other write errors give the system's reason.
        {avi::kResultWriteFailed, ENOSPC, true, "", earlier, avi::Container::Mp4,
         "Can't write to drive. Please check free space. and try it again. (No space left on device); "
         "the video holds the frames written so far"},
        {avi::kResultWriteFailed, EIO, false, "", earlier, avi::Container::Mp4,
         "Can't write to drive: Input/output error; " + earlier + " was left as it was"},
        {avi::kResultWriteFailed, EROFS, false, "", missing, avi::Container::Avi,
         "Can't write to drive: Read-only file system; no video was written"},
        // "video file" where the destination is not AVI; a name's control bytes never reach the terminal.
        {avi::kResultCannotOpenFile, EACCES, false, "", earlier, avi::Container::Mkv,
         "Can't open video file. " + earlier + ": Permission denied"},
        {avi::kResultCannotOpenFile, EACCES, false, "", missing, avi::Container::Avi,
         "Can't open AVI file. " + dir.File("new\\x1b[2J.avi") + ": Permission denied"},
        {avi::kResultCannotOpenFile, EACCES, false, "/tmp/v.webm is a symbolic link ...", missing, avi::Container::WebM,
         "Can't open video file. /tmp/v.webm is a symbolic link ..."},
        {avi::kResultStopped, 0, false, "", earlier, avi::Container::Mp4,
         "stopped before the first frame; " + earlier + " was left as it was"},
        {avi::kResultDone, 0, true, "", earlier, avi::Container::Mp4, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const avi::RunOutcome outcome{.FramesWritten = 0,
                                      .DestinationReplaced = row.replaced,
                                      .SystemError = row.error,
                                      .Detail = row.detail,
                                      .LeftOut = {}};
        EXPECT_EQ(ResultText(row.result, outcome, row.destination, row.container), row.text);
    }
}

}  // namespace
}  // namespace kinetar::cli
