#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/TemporaryFiles.h"
#include "support/TestFiles.h"

namespace kinetar {
namespace {

namespace fs = std::filesystem;

// Above the largest process id Linux gives (2^22), so never a running process.
const std::string kGone = "4194305";
const std::string kLive = std::to_string(::getpid());

// One folder holding the names of both kinds, working copies ("AVI") and hidden outputs
// (".out."): each prefix sweeps only its own files of gone processes.
TEST(TemporaryFiles, OnlyFilesOfGoneProcessesWithTheirPrefixAreLeftOvers)
{
    enum class Kind { File, Folder, Link };
    struct Row {
        std::string name;
        Kind kind;
        bool leftForAvi;  // found with the prefix "AVI"
        bool leftForOut;  // found with the prefix ".out."
    };
    const Row rows[] = {
        {"AVI" + kGone + ".Ab3dEf", Kind::File, true, false},
        {".out." + kGone + ".Ab3dEf", Kind::File, false, true},
        {"AVI" + kLive + ".Ab3dEf", Kind::File, false, false},      // a running process's
        {".out." + kLive + ".Ab3dEf", Kind::File, false, false},    // a running process's
        {"AVI" + kGone + ".Ab3dE", Kind::File, false, false},       // five characters
        {"AVI" + kGone + ".Ab-dEf", Kind::File, false, false},      // not a letter or digit
        {"AVI" + kGone + "x.Ab3dEf", Kind::File, false, false},     // not a process id
        {"AVI.Ab3dEf", Kind::File, false, false},                   // no process id
        {"xAVI" + kGone + ".Ab3dEf", Kind::File, false, false},     // another prefix
        {".o.out." + kGone + ".Ab3dEf", Kind::File, false, false},  // another destination's
        {"AVI" + kGone + ".F0lder", Kind::Folder, false, false},
        {"AVI" + kGone + ".L1nked", Kind::Link, false, false},  // never followed or removed
    };
    const test::TempDir folder;
    std::ofstream(folder.File("target")) << "kept";
    for (const Row& row : rows) {
        const std::string path = folder.File(row.name);
        if (row.kind == Kind::Folder) {
            fs::create_directory(path);
        } else if (row.kind == Kind::Link) {
            fs::create_symlink(folder.File("target"), path);
        } else {
            std::ofstream(path) << "left";
        }
    }
    std::vector<std::string> avi = LeftTemporaryFiles(folder.Path().string(), "AVI");
    std::vector<std::string> out = LeftTemporaryFiles(folder.Path().string(), ".out.");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder.File(row.name);
        EXPECT_EQ(std::count(avi.begin(), avi.end(), path), row.leftForAvi ? 1 : 0);
        EXPECT_EQ(std::count(out.begin(), out.end(), path), row.leftForOut ? 1 : 0);
    }
    EXPECT_EQ(avi.size() + out.size(), 2U);
}

// A new temporary name carries this process's id, so a sweep by another process passes it over
// until this one is gone; the mode is the caller's (a working copy's is 0600).
TEST(TemporaryFiles, NewFilesAreThisProcesssAndNeverClash)
{
    const test::TempDir folder;
    struct Row {
        const char* prefix;
        mode_t mode;
    };
    const Row rows[] = {{"AVI", 0600}, {".out.avi.", 0644}};
    const mode_t umask = ::umask(022);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.prefix);
        std::string first;
        std::string second;
        const int firstFd = CreateTemporaryFile(folder.Path().string(), row.prefix, row.mode, first);
        const int secondFd = CreateTemporaryFile(folder.Path().string(), row.prefix, row.mode, second);
        ASSERT_GE(firstFd, 0);
        ASSERT_GE(secondFd, 0);
        ::close(firstFd);
        ::close(secondFd);
        EXPECT_NE(first, second);
        for (const std::string& path : {first, second}) {
            EXPECT_EQ(fs::path(path).parent_path(), folder.Path());
            EXPECT_EQ(TemporaryFileOwner(fs::path(path).filename().string(), row.prefix), ::getpid());
            EXPECT_EQ(path.rfind(TemporaryNameStem(folder.Path().string(), row.prefix), 0), 0U);
            struct stat status {};
            ASSERT_EQ(::stat(path.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, row.mode);
        }
        EXPECT_TRUE(LeftTemporaryFiles(folder.Path().string(), row.prefix).empty());
    }
    ::umask(umask);
    std::string none;
    EXPECT_EQ(CreateTemporaryFile(folder.File("missing"), "AVI", 0600, none), -1);
    EXPECT_TRUE(none.empty());
}

TEST(TemporaryFiles, TheFolderIsTmpdirWithoutTrailingSlashesElseTmp)
{
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    struct Row {
        const char* tmpdir;  // nullptr: unset
        const char* folder;
    };
    const Row rows[] = {{nullptr, "/tmp"}, {"", "/tmp"}, {"/var/tmp//", "/var/tmp"}, {"/", "/"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tmpdir != nullptr ? row.tmpdir : "(unset)");
        row.tmpdir != nullptr ? ::setenv("TMPDIR", row.tmpdir, 1) : ::unsetenv("TMPDIR");
        EXPECT_EQ(TemporaryFolder(), row.folder);
    }
    saved != nullptr ? ::setenv("TMPDIR", savedValue.c_str(), 1) : ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace kinetar
