#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "project/ProjectFile.h"
#include "support/ErrorText.h"
#include "support/ExternalTools.h"
#include "support/TestFiles.h"

namespace kinetar::project {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::uint8_t> Pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

TEST(ProjectFile, FrameCountFollowsFileSize)
{
    const struct {
        std::size_t size;
        std::int32_t frames;
    } rows[] = {{0, -1}, {68, -1}, {69, 0}, {359, 0}, {360, 0}, {651, 0}, {652, 1}, {360 + 292 * 3 + 100, 3}};
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        const std::string path = dir.File("p.AVIprj");
        WriteFile(path, Pattern(row.size));
        EXPECT_EQ(ProjectFrameCount(path), row.frames);
    }
    EXPECT_EQ(ProjectFrameCount(dir.File("missing.AVIprj")), -1);
    EXPECT_EQ(ProjectFrameCount(dir.Path().string()), -1);
}

TEST(ProjectFile, FieldsSitAtTheirOffsetsLittleEndian)
{
    ProjectHeader header = NewProjectHeader();
    header.Width = 0x01020304;
    header.Height = -2;
    SetText(header.AviFileName, "/v/out.avi");
    header.FramesPerSecond = 25;
    header.CodecSettings.Handler = 0x47504A4D;  // "MJPG"
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    ASSERT_TRUE(WriteProjectHeader(path, header));
    const auto bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 360U);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<std::uint8_t>{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[8])), "/v/out.avi");
    EXPECT_EQ(bytes[269], 3);
    EXPECT_EQ(bytes[270], 25);
    EXPECT_EQ(std::string(bytes.begin() + 274 + 16, bytes.begin() + 274 + 20), "MJPG");
    EXPECT_EQ(bytes[338], 1);
}

TEST(ProjectFile, StartingHeaders)
{
    const ProjectHeader fresh = NewProjectHeader();
    EXPECT_EQ(fresh.ColorDepth, 3);
    EXPECT_EQ(fresh.FramesPerSecond, 8);
    EXPECT_EQ(fresh.PlayAfterCreate, 1);
    ProjectHeader expected = BlankProjectHeader();
    expected.ColorDepth = 3;
    expected.FramesPerSecond = 8;
    expected.PlayAfterCreate = 1;
    EXPECT_EQ(std::memcmp(&fresh, &expected, sizeof fresh), 0);

    const ProjectHeader blank = BlankProjectHeader();
    const std::vector<std::uint8_t> zeros(360, 0);
    EXPECT_EQ(std::memcmp(&blank, zeros.data(), 360), 0);
}

TEST(ProjectFile, HeaderRewriteKeepsRecords)
{
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    auto original = Pattern(360 + 292 * 5);
    WriteFile(path, original);
    ProjectHeader header = NewProjectHeader();
    header.Width = 320;
    ASSERT_TRUE(WriteProjectHeader(path, header));
    const auto after = ReadFile(path);
    ASSERT_EQ(after.size(), original.size());
    EXPECT_TRUE(std::equal(after.begin() + 360, after.end(), original.begin() + 360));
    EXPECT_EQ(std::memcmp(after.data(), &header, 360), 0);
    EXPECT_EQ(ProjectFrameCount(path), 5);
}

TEST(ProjectFile, WriteHeaderCreatesMissingFileButRecordWriteDoesNot)
{
    TempDir dir;
    const std::string path = dir.File("new.AVIprj");
    EXPECT_FALSE(WriteFrameRecord(path, 0, NewFrameRecord("/a.bmp")));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(WriteProjectHeader(path, BlankProjectHeader()));
    EXPECT_EQ(std::filesystem::file_size(path), 360U);
    EXPECT_EQ(ProjectFrameCount(path), 0);
}

TEST(ProjectFile, AppendReadBackAndWalk)
{
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    ASSERT_TRUE(WriteProjectHeader(path, NewProjectHeader()));
    FrameRecord scratch{};
    EXPECT_FALSE(ReadFrameRecord(path, 0, scratch));
    for (int i = 0; i < 3; ++i) {
        const auto sizeBefore = std::filesystem::file_size(path);
        FrameRecord record = NewFrameRecord("/pictures/" + std::to_string(i) + ".bmp");
        record.Stretch = static_cast<std::uint8_t>(i % 2);
        ASSERT_TRUE(WriteFrameRecord(path, ProjectFrameCount(path), record));
        EXPECT_EQ(std::filesystem::file_size(path), sizeBefore + 292);
    }
    std::vector<std::string> names;
    FrameRecord record{};
    for (std::int32_t i = 0; ReadFrameRecord(path, i, record); ++i) {
        names.push_back(GetText(record.PictureFileName));
        EXPECT_EQ(record.Stretch, i % 2);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"/pictures/0.bmp", "/pictures/1.bmp", "/pictures/2.bmp"}));
    EXPECT_EQ(FrameRecordOffset(2), 360 + 584);
}

TEST(ProjectFile, ShortReadFillsWhatItFoundAndKeepsTheRest)
{
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    const auto bytes = Pattern(360 + 100);
    WriteFile(path, bytes);
    FrameRecord record{};
    std::memset(static_cast<void*>(&record), 0xAA, sizeof record);
    EXPECT_FALSE(ReadFrameRecord(path, 0, record));
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
    EXPECT_TRUE(std::equal(raw, raw + 100, bytes.begin() + 360));
    EXPECT_TRUE(std::all_of(raw + 100, raw + 292, [](std::uint8_t b) { return b == 0xAA; }));

    ProjectHeader header{};
    std::memset(static_cast<void*>(&header), 0x55, sizeof header);
    EXPECT_FALSE(ReadProjectHeader(dir.File("missing"), header));
    const auto* headerBytes = reinterpret_cast<const std::uint8_t*>(&header);
    EXPECT_TRUE(std::all_of(headerBytes, headerBytes + 360, [](std::uint8_t b) { return b == 0x55; }));
}

TEST(ProjectFile, TextFieldsHoldAtMost260Bytes)
{
    FrameRecord record = NewFrameRecord(std::string(260, 'p'));
    EXPECT_EQ(GetText(record.PictureFileName), std::string(260, 'p'));
    EXPECT_EQ(record.PictureFileName[260], '\0');

    const std::string tooLong(261, 'q');
    const std::string message = test::ErrorText([&] { SetText(record.PictureFileName, tooLong); });
    EXPECT_NE(message.find("260"), std::string::npos) << message;
    EXPECT_NE(message.find(tooLong), std::string::npos) << message;
    EXPECT_EQ(GetText(record.PictureFileName), std::string(260, 'p')) << "a refused text must not change the field";

    SetText(record.PictureFileName, "short");
    EXPECT_TRUE(
        std::all_of(record.PictureFileName.begin() + 5, record.PictureFileName.end(), [](char c) { return c == 0; }));
}

TEST(ProjectFile, ColorDepthBits)
{
    const struct {
        std::uint8_t code;
        int bits;
    } rows[] = {{0, 1}, {1, 4}, {2, 8}, {3, 24}, {7, 24}, {255, 24}};
    for (const auto& row : rows) {
        ProjectHeader header{};
        header.ColorDepth = row.code;
        EXPECT_EQ(ColorDepthBits(header), row.bits) << int{row.code};
    }
}

TEST(ProjectFile, TempFileNamesAreNewEmptyFiles)
{
    TempDir dir;
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    const std::string first = MakeTempFileName();
    const std::string second = MakeTempFileName();
    saved != nullptr ? ::setenv("TMPDIR", savedValue.c_str(), 1) : ::unsetenv("TMPDIR");

    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        const std::filesystem::path path(name);
        EXPECT_EQ(path.parent_path(), dir.Path());
        EXPECT_EQ(path.filename().string().substr(0, 3), "AVI");
        EXPECT_EQ(std::filesystem::file_size(path), 0U);
    }
}

TEST(ProjectFile, ReplaceKeepsTheModeAndRefusesAFolder)
{
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    WriteFile(path, Pattern(360 + 292 * 4));
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    ProjectHeader header = NewProjectHeader();
    header.Width = 640;
    ReplaceProjectFile(path, header, {NewFrameRecord("/a.bmp"), NewFrameRecord("/b.bmp")});
    std::vector<FrameRecord> records;
    EXPECT_EQ(ReadProject(path, &records).Width, 640);
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(GetText(records[1].PictureFileName), "/b.bmp");
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0604));

    const std::string folder = dir.File("folder.AVIprj");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(test::ErrorText([&] { ReplaceProjectFile(folder, header, {}); }),
              "Can't write project file " + folder + ": " + std::strerror(EISDIR));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(ProjectFile, CopyIsExactAndNamesTheFileThatFailed)
{
    TempDir dir;
    const std::string from = dir.File("from.AVIprj");
    const std::string to = dir.File("to.AVIprj");
    const auto bytes = Pattern(360 + 292 * 3 + 100 + (1 << 20));  // past one piece of the copy
    WriteFile(from, bytes);
    WriteFile(to, Pattern(7));
    CopyProjectFile(from, to);
    EXPECT_EQ(ReadFile(to), bytes);

    const std::string missing = dir.File("missing.AVIprj");
    const std::string intoMissingFolder = dir.File("no-folder/p.AVIprj");
    const struct {
        std::string from, to, message;
    } failures[] = {
        {missing, to, "Can't read project file " + missing + ": " + std::strerror(ENOENT)},
        {dir.Path().string(), to, "Can't read project file " + dir.Path().string() + ": " + std::strerror(EISDIR)},
        {from, intoMissingFolder, "Can't write project file " + intoMissingFolder + ": " + std::strerror(ENOENT)},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.message);
        EXPECT_EQ(test::ErrorText([&] { CopyProjectFile(failure.from, failure.to); }), failure.message);
        EXPECT_EQ(ReadFile(to), bytes);
    }
}

// Saving, and the replace under it, over every kind of destination: each made by a shell command
// in a fresh folder, which find lists afterwards (a file as "name=size mode").
TEST(ProjectFile, SavingReplacesOnlyARegularFileAndFollowsLinks)
{
    const struct {
        const char* name;
        const char* make;
        const char* after;
        int error;  // EISDIR a folder, EINVAL anything else not regular
    } rows[] = {
        {"regular file", "echo old >out && chmod 604 out", "out=360 0604", 0},
        {"missing", "true", "out=360 0644", 0},
        {"folder", "mkdir out", "out d 0755", EISDIR},
        {"FIFO", "mkfifo out", "out p 0644", EINVAL},
        {"device node (root only)", "mknod out c 1 3", "out c 0644", EINVAL},
        {"absolute link", "echo old >t && chmod 604 t && ln -s $PWD/t out", "out->/t;t=360 0604", 0},
        {"dangling link: its target is made", "mkdir s && ln -s s/t out", "out->s/t;s d 0755;s/t=360 0644", 0},
        {"link to a folder", "mkdir s && ln -s s out", "out->s;s d 0755", EISDIR},
        {"link to a FIFO", "mkfifo f && ln -s f out", "f p 0644;out->f", EINVAL},
        {"link to a device node", "mknod d c 1 3 && ln -s d out", "d c 0644;out->d", EINVAL},
        // The second link is read from its own folder: its "t" is s/t, not the decoy.
        {"chain of relative links", "echo decoy >t && mkdir s && echo old >s/t && ln -s t s/l && ln -s s/l out",
         "out->s/l;s d 0755;s/l->t;s/t=360 0644;t=6 0644", 0},
        {"link into a read-only folder (not root)",
         "test $(id -u) != 0 && mkdir r && echo 0 >r/t && ln -s r/t out && chmod 555 r", "out->r/t;r d 0555;r/t=2 0644",
         EACCES},
    };
    const mode_t savedUmask = ::umask(022);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string folder = test::ShellQuote(dir.Path().string());
        if (test::RunCommand("cd " + folder + " && " + row.make) != 0) {
            continue;
        }
        const std::string path = dir.File("out");
        ::alarm(20);  // a blocking open fails the run instead of hanging it
        const auto error = test::ThrownError([&] { ReplaceProjectFile(path, NewProjectHeader(), {}); });
        ::alarm(0);
        EXPECT_EQ(error.value_or(""), row.error == 0 ? ""
                                      : row.error == EINVAL
                                          ? path + " is not a regular file"
                                          : "Can't write project file " + path + ": " + std::strerror(row.error));
        std::string listing;
        test::RunCommand(
            "cd " + folder + " && find . -mindepth 1 \\( -type f -printf '%P=%s %#m\\n' \\) -o \\( -type l" +
                " -printf '%P->%l\\n' \\) -o -printf '%P %y %#m\\n' | sed s:$PWD:: | sort | paste -sd';';" +
                " chmod -f 755 r",
            &listing);
        EXPECT_EQ(listing, row.after + std::string("\n"));
    }
    ::umask(savedUmask);
}

// A link that another user left in a shared folder such as /tmp, pointing at one of our files.
TEST(ProjectFile, SavingRefusesALinkPlantedInASharedFolder)
{
    TempDir dir;
    const std::string shared = dir.File("shared");
    const std::string target = dir.File("mine.AVIprj");
    const std::string link = dir.File("shared/p.AVIprj");
    const auto bytes = Pattern(360 + 292);
    WriteFile(target, bytes);
    ASSERT_TRUE(std::filesystem::create_directory(shared));
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    if (::lchown(link.c_str(), 65534, 65534) != 0) {
        GTEST_SKIP() << "giving a link to another user takes root";
    }
    EXPECT_EQ(test::ErrorText([&] { ReplaceProjectFile(link, NewProjectHeader(), {}); }),
              link + " is a symbolic link in a folder others can write to, owned by another user; it was not followed");
    EXPECT_EQ(ReadFile(target), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "no hidden file left";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shared), {}), 1);
}

TEST(ProjectFile, AFifoOrADeviceIsRefusedAtOnce)
{
    TempDir dir;
    const std::string fifo = dir.File("fifo.AVIprj");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // With a reader there, a blocking open for writing would go through and write.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ::alarm(20);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        EXPECT_EQ(ProjectFrameCount(path), -1);
        EXPECT_EQ(test::ErrorText([&] { (void)ReadProject(path, nullptr); }), path + " is not a regular file");
        EXPECT_EQ(test::ErrorText([&] { CopyProjectFile(path, dir.File("to")); }), path + " is not a regular file");
    }
    EXPECT_FALSE(WriteProjectHeader(fifo, NewProjectHeader()));
    EXPECT_EQ(::read(reader, std::array<char, 1>{}.data(), 1), 0) << "nothing reached the FIFO";
    ::alarm(0);
    ::close(reader);
}

TEST(ProjectFile, DoubtsAboutFilesThatDoNotLookLikeProjects)
{
    const std::string size = "its size is not 360 + 292 \u00d7 N bytes";
    const struct {
        std::uintmax_t size;
        std::int32_t width, height, rate;
        std::string doubt;
    } rows[] = {
        {0, 0, 0, 0, size},
        {360, 0, 0, 0, ""},
        {360 + 292 * 3 + 100, 640, 480, 8, size},
        {652, 32767, 32767, 8, ""},
        {652, 32768, 480, 8, "its video size 32768 \u00d7 480 is out of range"},
        {652, 640, -1, 8, "its video size 640 \u00d7 -1 is out of range"},
        {652, 640, 480, 0, "it has a rate of 0 frames per second and frames"},
        {360, 0, 0, -5, "it has a rate of -5 frames per second"},
    };
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    for (const auto& row : rows) {
        ProjectHeader header = NewProjectHeader();
        header.Width = row.width;
        header.Height = row.height;
        header.FramesPerSecond = row.rate;
        ASSERT_TRUE(WriteProjectHeader(path, header));
        std::filesystem::resize_file(path, row.size);
        EXPECT_EQ(ProjectDoubt(path).value_or(""),
                  row.doubt.empty() ? "" : path + " does not look like a project: " + row.doubt);
    }
}

}  // namespace
}  // namespace kinetar::project
