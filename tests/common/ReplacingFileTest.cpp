#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/ReplacingFile.h"
#include "common/WriteAll.h"
#include "support/TestFiles.h"

namespace kinetar {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr mode_t kTestUmask = 022;  // a new file gets 0644

void Put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

void Write(const ReplacingFile& file, const std::string& text)
{
    ASSERT_EQ(WriteAll(file.Descriptor(), 0, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}), 0);
}

// Sets a known umask for the test and puts the old one back.
class ReplacingFileTest : public testing::Test {
protected:
    void SetUp() override { m_savedUmask = ::umask(kTestUmask); }
    void TearDown() override { ::umask(m_savedUmask); }

private:
    mode_t m_savedUmask = 0;
};

const ReplaceMethod kMethods[] = {ReplaceMethod::Exchange, ReplaceMethod::Rename};

const char* NameOf(ReplaceMethod method)
{
    return method == ReplaceMethod::Exchange ? "exchange" : "rename";
}

TEST_F(ReplacingFileTest, CommitReplacesTheDestinationAndLeavesNothingElse)
{
    using P = ReplacingFile::Permissions;
    const struct {
        const char* name;
        bool destinationExists;
        P permissions;
        mode_t expectedMode;
    } rows[] = {
        {"existing, mode kept", true, P::KeepDestination, 0610},
        {"existing, new file's mode", true, P::NewFile, 0644},
        {"missing, mode asked to be kept", false, P::KeepDestination, 0644},
        {"missing, new file's mode", false, P::NewFile, 0644},
    };
    for (const ReplaceMethod method : kMethods) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(NameOf(method)) + ", " + row.name);
            TempDir dir;
            const std::string destination = dir.File("out.avi");
            if (row.destinationExists) {
                Put(destination, "old contents");
                ASSERT_EQ(::chmod(destination.c_str(), 0610), 0);
            }
            ReplacingFile file(destination, row.permissions);
            ASSERT_TRUE(file.IsOpen());
            EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), dir.Path());
            EXPECT_EQ(fs::path(file.TemporaryPath()).filename().string().rfind(".out.avi.", 0), 0U);
            Write(file, "new");
            // Until the commit the destination is what it was.
            EXPECT_EQ(fs::exists(destination), row.destinationExists);
            if (row.destinationExists) {
                EXPECT_EQ(Get(destination), "old contents");
            }

            EXPECT_EQ(file.Commit(method), 0);
            EXPECT_EQ(Get(destination), "new");
            EXPECT_EQ(ModeOf(destination), row.expectedMode);
            EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.avi"});
        }
    }
}

TEST_F(ReplacingFileTest, WithoutCommitTheDestinationStaysAndTheTemporaryGoes)
{
    for (const bool destinationExists : {true, false}) {
        SCOPED_TRACE(destinationExists);
        TempDir dir;
        const std::string destination = dir.File("p.AVIprj");
        if (destinationExists) {
            Put(destination, "old");
        }
        std::string temporary;
        {
            ReplacingFile file(destination, ReplacingFile::Permissions::KeepDestination);
            ASSERT_TRUE(file.IsOpen());
            temporary = file.TemporaryPath();
            Write(file, "new");
            EXPECT_TRUE(fs::exists(temporary));
        }
        EXPECT_FALSE(fs::exists(temporary));
        EXPECT_EQ(Names(dir.Path()),
                  destinationExists ? std::vector<std::string>{"p.AVIprj"} : std::vector<std::string>{});
        if (destinationExists) {
            EXPECT_EQ(Get(destination), "old");
        }
    }
}

TEST_F(ReplacingFileTest, ADescriptorHandedOverIsTheCallersToClose)
{
    TempDir dir;
    const std::string destination = dir.File("out.avi");
    Put(destination, "old");
    ReplacingFile file(destination);
    const int fd = file.ReleaseDescriptor();
    EXPECT_EQ(file.Descriptor(), -1);
    ASSERT_EQ(::write(fd, "new", 3), 3);
    ASSERT_EQ(::close(fd), 0);
    EXPECT_EQ(file.Commit(), 0);
    EXPECT_EQ(Get(destination), "new");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.avi"});
}

TEST_F(ReplacingFileTest, ASymlinkDestinationIsReplacedItselfAsARenameDoes)
{
    for (const ReplaceMethod method : kMethods) {
        SCOPED_TRACE(NameOf(method));
        TempDir dir;
        const std::string target = dir.File("target");
        const std::string link = dir.File("link");
        Put(target, "target");
        fs::create_symlink(target, link);
        ReplacingFile file(link);
        Write(file, "new");
        EXPECT_EQ(file.Commit(method), 0);
        EXPECT_FALSE(fs::is_symlink(link));
        EXPECT_EQ(Get(link), "new");
        EXPECT_EQ(Get(target), "target");
        EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"link", "target"}));
    }
}

TEST_F(ReplacingFileTest, AFolderAtTheDestinationIsRefusedAndStays)
{
    for (const ReplaceMethod method : kMethods) {
        SCOPED_TRACE(NameOf(method));
        TempDir dir;
        const std::string destination = dir.File("out.avi");
        fs::create_directory(destination);
        Put(destination + "/inside", "kept");
        {
            ReplacingFile file(destination);
            ASSERT_TRUE(file.IsOpen());
            Write(file, "new");
            EXPECT_EQ(file.Commit(method), EISDIR);
        }
        EXPECT_TRUE(fs::is_directory(destination));
        EXPECT_EQ(Get(destination + "/inside"), "kept");
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.avi"});
    }
}

TEST_F(ReplacingFileTest, AMissingFolderIsReported)
{
    TempDir dir;
    ReplacingFile file(dir.File("no/such/folder/out.avi"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.CreateError(), ENOENT);
    EXPECT_EQ(file.Descriptor(), -1);
    EXPECT_EQ(file.Commit(), ENOENT);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{});
}

TEST_F(ReplacingFileTest, AFileTakesItsTemporaryNameInTheWorkingFolder)
{
    TempDir dir;
    const fs::path saved = fs::current_path();
    fs::current_path(dir.Path());
    {
        ReplacingFile file("plain");
        EXPECT_EQ(file.TemporaryPath().rfind("./.plain.", 0), 0U);
        Write(file, "x");
        EXPECT_EQ(file.Commit(), 0);
    }
    fs::current_path(saved);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"plain"});
}

// How many of a file's pages are in memory.
std::size_t ResidentPages(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    struct stat status {};
    ::fstat(fd, &status);
    const auto size = static_cast<std::size_t>(status.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    EXPECT_NE(map, MAP_FAILED);
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((size + page - 1) / page);
    EXPECT_EQ(::mincore(map, size, resident.data()), 0);
    ::munmap(map, size);
    return static_cast<std::size_t>(
        std::count_if(resident.begin(), resident.end(), [](unsigned char bits) { return (bits & 1) != 0; }));
}

TEST_F(ReplacingFileTest, DroppingTheDestinationsCacheLeavesItsContents)
{
    TempDir dir;
    struct statfs fileSystem {};
    ASSERT_EQ(::statfs(dir.Path().c_str(), &fileSystem), 0);
    if (fileSystem.f_type == TMPFS_MAGIC) {
        GTEST_SKIP() << "tmpfs files live in the cache";
    }
    const std::string destination = dir.File("out.avi");
    const std::string contents(1 << 20, 'v');
    Put(destination, contents);
    ASSERT_EQ(Get(destination), contents);  // read back, so it is in the cache and written out
    {
        const int fd = ::open(destination.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::fdatasync(fd), 0);
        ::close(fd);
    }
    ASSERT_GT(ResidentPages(destination), 0U);

    ReplacingFile file(destination);
    file.DropDestinationCache();
    EXPECT_EQ(ResidentPages(destination), 0U);
    EXPECT_EQ(Get(destination), contents);
    // Nothing else than the destination and its coming replacement: also for a missing one.
    ReplacingFile(dir.File("missing")).DropDestinationCache();
    EXPECT_EQ(Names(dir.Path()).size(), 2U);
}

// A reader opening the destination all along never misses it and never sees a part of a file.
TEST_F(ReplacingFileTest, TheDestinationIsAlwaysOneWholeFile)
{
    for (const ReplaceMethod method : kMethods) {
        SCOPED_TRACE(NameOf(method));
        TempDir dir;
        const std::string destination = dir.File("out.avi");
        const std::string first(4096, 'a');
        const std::string second(8192, 'b');
        Put(destination, first);
        std::atomic<bool> done{false};
        std::atomic<int> missing{0};
        std::atomic<int> torn{0};
        std::thread reader([&] {
            while (!done) {
                std::ifstream in(destination, std::ios::binary);
                if (!in) {
                    ++missing;
                    continue;
                }
                const std::string seen{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
                if (seen != first && seen != second) {
                    ++torn;
                }
            }
        });
        for (int i = 0; i < 300; ++i) {
            ReplacingFile file(destination);
            Write(file, i % 2 == 0 ? second : first);
            ASSERT_EQ(file.Commit(method), 0);
        }
        done = true;
        reader.join();
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(torn, 0);
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.avi"});
    }
}

TEST(ReplaceName, TheOldFileIsGoneOnceReplaced)
{
    for (const ReplaceMethod method : kMethods) {
        SCOPED_TRACE(NameOf(method));
        TempDir dir;
        const std::string destination = dir.File("d");
        Put(destination, "old");
        Put(dir.File("n"), "new");
        struct stat before {};
        ASSERT_EQ(::stat(destination.c_str(), &before), 0);
        EXPECT_EQ(ReplaceName(dir.File("n"), destination, method), 0);
        struct stat after {};
        ASSERT_EQ(::stat(destination.c_str(), &after), 0);
        EXPECT_NE(after.st_ino, before.st_ino);
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"d"});
        EXPECT_EQ(ReplaceName(dir.File("n"), destination, method), ENOENT);
    }
}

}  // namespace
}  // namespace kinetar
