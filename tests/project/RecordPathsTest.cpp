#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Error.h"
#include "project/ProjectFile.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"
#include "support/TestFiles.h"

namespace kinetar::project {
namespace {

TEST(RecordPaths, RelativePathsAreTheBaseFoldersAndOthersStayAsStored)
{
    struct Row {
        const char* stored;
        const char* base;
        const char* resolved;
    };
    const Row rows[] = {
        {"a.bmp", "/p", "/p/a.bmp"},
        {"sub/a.bmp", "/p/", "/p/sub/a.bmp"},
        {"../a.bmp", "/p", "/p/../a.bmp"},  // as the kernel would walk it from the folder
        {"/abs/a.bmp", "/p", "/abs/a.bmp"},
        {"", "/p", ""},          // no file named: nothing to find
        {"a.bmp", "", "a.bmp"},  // no base: as stored
        {"C:\\pics\\a.bmp", "/p", "/p/C:\\pics\\a.bmp"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        EXPECT_EQ(ResolveRecordPath(row.stored, row.base), row.resolved);
    }
    EXPECT_EQ(ProjectFolder("/p/q/x.AVIprj"), "/p/q");
    EXPECT_EQ(ProjectFolder("x.AVIprj"), std::filesystem::current_path().string());
}

std::vector<std::string> Paths(const std::string& project)
{
    std::vector<std::string> paths;
    FrameRecord record{};
    for (std::int32_t i = 0; ReadFrameRecord(project, i, record); ++i) {
        paths.push_back(GetText(record.PictureFileName));
    }
    return paths;
}

// A run reads the project itself when every path is absolute, else a copy naming the files
// within the base folder; the project is never changed and the copy goes with the object.
TEST(RecordPaths, ARunReadsAbsolutePathsOnly)
{
    const test::TempDir folder;
    const std::string project = folder.File("p.AVIprj");
    struct Row {
        const char* name;
        std::vector<std::string> stored;
        std::vector<std::string> read;
        bool copied;
    };
    const Row rows[] = {
        {"all absolute", {"/x/a.bmp", "/x/b.mp3"}, {"/x/a.bmp", "/x/b.mp3"}, false},
        {"none", {}, {}, false},
        {"a relative picture", {"/x/a.bmp", "b.bmp"}, {"/x/a.bmp", "/base/b.bmp"}, true},
        {"a relative sound", {"song.mp3"}, {"/base/song.mp3"}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<FrameRecord> records;
        for (const std::string& path : row.stored) {
            records.push_back(path.ends_with(".mp3") ? NewSoundRecord(path) : NewFrameRecord(path));
        }
        ProjectHeader header = NewProjectHeader();
        header.Width = 320;
        ReplaceProjectFile(project, header, records);
        const auto before = test::ReadFile(project);
        std::string copy;
        {
            const RecordsWithAbsolutePaths run(project, "/base");
            copy = run.Path();
            EXPECT_EQ(copy != project, row.copied);
            EXPECT_EQ(Paths(copy), row.read);
            ProjectHeader read;
            ASSERT_TRUE(ReadProjectHeader(copy, read));
            EXPECT_EQ(read.Width.Get(), 320);
        }
        EXPECT_EQ(test::ReadFile(project), before);
        EXPECT_EQ(std::filesystem::exists(copy), !row.copied);
    }
}

TEST(RecordPaths, APathTooLongForARecordIsRefusedAndNoCopyIsLeft)
{
    const test::TempDir folder;
    const test::TempDir temporary;
    const std::string project = folder.File("p.AVIprj");
    ReplaceProjectFile(project, NewProjectHeader(), {NewFrameRecord(std::string(200, 'a') + ".bmp")});
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    ::setenv("TMPDIR", temporary.Path().c_str(), 1);
    EXPECT_THROW(RecordsWithAbsolutePaths(project, "/" + std::string(100, 'b')), Error);
    saved != nullptr ? ::setenv("TMPDIR", savedValue.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(temporary.Path()));
}

}  // namespace
}  // namespace kinetar::project

namespace kinetar::project {
namespace {

// Records in memory take their folder as a run's copy does: captions and titles keep their words,
// and a path that would not fit stays as it was.
TEST(RecordPaths, RecordsInMemoryResolveTheirFilesOnly)
{
    Caption caption;
    caption.Text = "photos/day one";
    Title title;
    title.Text = "trip";
    std::vector<FrameRecord> records = {NewFrameRecord("a.jpg"), NewCaptionRecord(caption), NewTitleRecord(title),
                                        NewSoundRecord("/music/song.mp3"), NewFrameRecord(std::string(250, 'x'))};
    ResolveRecordPaths(records, "/base/folder");
    EXPECT_EQ(GetText(records[0].PictureFileName), "/base/folder/a.jpg");
    EXPECT_EQ(GetCaption(records[1]).Text, "photos/day one");
    EXPECT_EQ(GetTitle(records[2]).Text, "trip");
    EXPECT_EQ(GetText(records[3].PictureFileName), "/music/song.mp3");
    EXPECT_EQ(GetText(records[4].PictureFileName), std::string(250, 'x'));
}

}  // namespace
}  // namespace kinetar::project
