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

void Write(const ReplacingFile& file, const std::string& text)
{
    ASSERT_EQ(WriteAll(file.Descriptor(), 0, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}), 0);
}

enum class Before { File, Nothing };

// Rename is also what the exchange falls back on where a file system refuses it.
TEST(ReplacingFile, CommitReplacesTheDestinationAsARenameWould)
{
    using P = ReplacingFile::Permissions;
    const struct {
        const char* name;
        Before before;
        P permissions;
        int error;
        mode_t mode;  // of the destination afterwards, under umask 022
        std::vector<std::string> names;
    } rows[] = {
        {"file, mode kept", Before::File, P::KeepDestination, 0, 0610, {"out"}},
        {"file, a new file's mode", Before::File, P::NewFile, 0, 0644, {"out"}},
        {"nothing, mode asked to be kept", Before::Nothing, P::KeepDestination, 0, 0644, {"out"}},
    };
    const mode_t savedUmask = ::umask(022);
    for (const ReplaceMethod method : {ReplaceMethod::Exchange, ReplaceMethod::Rename}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(method == ReplaceMethod::Exchange ? "exchange, " : "rename, ") + row.name);
            TempDir dir;
            const std::string destination = dir.File("out");
            if (row.before == Before::File) {
                Put(destination, "old");
                ::chmod(destination.c_str(), 0610);
            }
            {
                ReplacingFile file(destination, row.permissions);
                ASSERT_TRUE(file.IsOpen());
                EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), dir.Path());
                EXPECT_EQ(fs::path(file.TemporaryPath()).filename().string().rfind(".out.", 0), 0U);
                Write(file, "new");
                if (row.before == Before::File) {
                    EXPECT_EQ(Get(destination), "old");
                }
                EXPECT_EQ(file.Commit(method), row.error);
            }
            struct stat status {};
            ASSERT_EQ(::lstat(destination.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, row.mode);
            EXPECT_EQ(Get(destination), "new");
            EXPECT_EQ(Names(dir.Path()), row.names);
        }
    }
    ::umask(savedUmask);
}

// Root editing another user's file leaves it theirs, set-group-id bit included.
TEST(ReplacingFile, KeepingTheDestinationKeepsItsOwnerAndGroup)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    const struct {
        ReplacingFile::Permissions permissions;
        uid_t owner;
        gid_t group;
        mode_t mode;
    } rows[] = {
        {ReplacingFile::Permissions::KeepDestination, 65534, 65534, 02750},
        {ReplacingFile::Permissions::NewFile, 0, 0, 0644},
    };
    const mode_t savedUmask = ::umask(022);
    for (const auto& row : rows) {
        TempDir dir;
        const std::string destination = dir.File("show.avi");
        Put(destination, "old");
        ASSERT_EQ(::chown(destination.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(destination.c_str(), 02750), 0);
        {
            ReplacingFile file(destination, row.permissions);
            Write(file, "new");
            ASSERT_EQ(file.Commit(), 0);
        }
        struct stat status {};
        ASSERT_EQ(::stat(destination.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, row.owner);
        EXPECT_EQ(status.st_gid, row.group);
        EXPECT_EQ(status.st_mode & 07777, row.mode);
    }
    ::umask(savedUmask);
}

TEST(ReplacingFile, WithoutCommitTheDestinationStaysAndTheTemporaryGoes)
{
    for (const bool destinationExists : {true, false}) {
        SCOPED_TRACE(destinationExists);
        TempDir dir;
        const std::string destination = dir.File("p.AVIprj");
        if (destinationExists) {
            Put(destination, "old");
        }
        {
            ReplacingFile file(destination, ReplacingFile::Permissions::KeepDestination);
            Write(file, "new");
            EXPECT_TRUE(fs::exists(file.TemporaryPath()));
        }
        EXPECT_EQ(Names(dir.Path()),
                  destinationExists ? std::vector<std::string>{"p.AVIprj"} : std::vector<std::string>{});
        EXPECT_EQ(Get(destination), destinationExists ? "old" : "");
    }
    ReplacingFile nowhere("/no/such/folder/out");
    EXPECT_FALSE(nowhere.IsOpen());
    EXPECT_EQ(nowhere.CreateError(), ENOENT);
    EXPECT_EQ(nowhere.Commit(), ENOENT);
}

TEST(ReplacingFile, HiddenFilesOfGoneProcessesAreRemoved)
{
    const std::string gone = ".out.4194305";  // above the largest process id Linux gives, 2^22
    const std::string live = ".out." + std::to_string(::getpid());
    // Only the first goes: then a live process's, names of another shape or destination, a folder.
    const std::string names[] = {gone + ".Ab3dEf",  live + ".Ab3dEf", gone + ".Ab3dE",         gone + ".Ab-dEf",
                                 gone + "x.Ab3dEf", ".out.Ab3dEf",    ".o" + gone + ".Ab3dEf", gone + ".F0lder"};
    TempDir dir;
    for (const std::string& name : names) {
        name.ends_with("F0lder") ? (void)fs::create_directory(dir.File(name)) : Put(dir.File(name), "left");
    }
    const ReplacingFile file(dir.File("out"));
    EXPECT_EQ(fs::path(file.TemporaryPath()).filename().string().rfind(live + ".", 0), 0U);
    EXPECT_EQ(ReplacingFile("/dev/null").CreateError(), EINVAL);  // refused before anything is done
    for (const std::string& name : names) {
        EXPECT_EQ(fs::exists(dir.File(name)), name != names[0]) << name;
    }
}

// A reader opening the destination all along never misses it and never sees part of a file.
TEST(ReplacingFile, TheDestinationIsAlwaysOneWholeFile)
{
    TempDir dir;
    const std::string destination = dir.File("out");
    const std::string texts[] = {std::string(4096, 'a'), std::string(8192, 'b')};
    Put(destination, texts[0]);
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!done) {
            const std::string seen = Get(destination);
            wrong += seen != texts[0] && seen != texts[1] ? 1 : 0;
        }
    });
    for (int i = 1; i <= 300; ++i) {
        ReplacingFile file(destination);
        Write(file, texts[i % 2]);
        ASSERT_EQ(file.Commit(i % 3 == 0 ? ReplaceMethod::Rename : ReplaceMethod::Exchange), 0);
    }
    done = true;
    reader.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out"});
}

// The kernel's rule for links in shared folders, on the links the replace follows itself. Each row
// makes a folder "shared" of some mode and owner holding the link "out" -> home/file (mode 0604),
// or out -> shared/second -> home/file where the second link is the one tested.
TEST(ReplacingFile, FollowsOnlyTheLinksTheKernelWouldFollow)
{
    constexpr uid_t kOther = 65534;  // nobody
    const uid_t me = ::geteuid();
    const struct {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool chained;  // out is ours, outside the shared folder, and points to the tested link
        bool followed;
    } rows[] = {
        {"planted by another user in a sticky folder open to all", 01777, me, kOther, false, false},
        {"owned by the sticky folder's owner", 01777, kOther, kOther, false, true},
        {"owned by us in a sticky folder open to all", 01777, me, me, false, true},
        {"sticky folder not open to all", 01770, me, kOther, false, true},
        {"folder open to all, not sticky", 0777, me, kOther, false, true},
        {"an ordinary folder", 0755, me, kOther, false, true},
        {"the second link of a chain is the planted one", 01777, me, kOther, true, false},
        {"the second link of a chain is the folder owner's", 01777, kOther, kOther, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string shared = dir.File("shared");
        const std::string home = dir.File("home");
        const std::string target = dir.File("home/file");
        ASSERT_TRUE(fs::create_directory(shared) && fs::create_directory(home));
        Put(target, "precious");
        ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
        const std::string tested = row.chained ? dir.File("shared/second") : dir.File("shared/out");
        const std::string destination = row.chained ? dir.File("out") : tested;
        ASSERT_EQ(::symlink(target.c_str(), tested.c_str()), 0);
        if (row.chained) {
            ASSERT_EQ(::symlink(tested.c_str(), destination.c_str()), 0);
        }
        if (::lchown(tested.c_str(), row.linkOwner, row.linkOwner) != 0 ||
            ::chown(shared.c_str(), row.folderOwner, row.folderOwner) != 0) {
            GTEST_SKIP() << "giving a file to another user takes root";
        }
        ASSERT_EQ(::chmod(shared.c_str(), row.folderMode), 0);
        const std::vector<std::string> sharedNames =
            row.chained ? std::vector<std::string>{"second"} : std::vector<std::string>{"out"};

        ReplacingFile file(destination, ReplacingFile::Permissions::KeepDestination);
        if (row.followed) {
            ASSERT_TRUE(file.IsOpen());
            EXPECT_EQ(file.UnsafeLink(), "");
            EXPECT_EQ(file.Target(), target);
            Write(file, "new");
            EXPECT_EQ(file.Commit(), 0);
            EXPECT_EQ(Get(target), "new");
            // The mode of the file the link points to, not the link's.
            EXPECT_EQ(fs::status(target).permissions(), fs::perms(0604));
        } else {
            EXPECT_FALSE(file.IsOpen());
            EXPECT_FALSE(file.IsRefused());
            EXPECT_EQ(file.CreateError(), EACCES);
            EXPECT_EQ(file.UnsafeLink(), tested);
            EXPECT_EQ(file.Commit(), EACCES);
            EXPECT_EQ(Get(target), "precious");
            EXPECT_EQ(fs::status(target).permissions(), fs::perms(0604));
        }
        EXPECT_TRUE(fs::is_symlink(tested));
        EXPECT_EQ(Names(home), std::vector<std::string>{"file"});
        EXPECT_EQ(Names(shared), sharedNames);
    }
}

std::size_t ResidentPages(const std::string& path, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    std::vector<unsigned char> resident(size / static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(::mincore(map, size, resident.data()), 0);
    ::munmap(map, size);
    return static_cast<std::size_t>(
        std::count_if(resident.begin(), resident.end(), [](auto bits) { return bits & 1; }));
}

TEST(ReplacingFile, DroppingTheDestinationsCacheLeavesItsContents)
{
    TempDir dir;
    struct statfs fileSystem {};
    ASSERT_EQ(::statfs(dir.Path().c_str(), &fileSystem), 0);
    if (fileSystem.f_type == TMPFS_MAGIC) {
        GTEST_SKIP() << "tmpfs files live in the cache";
    }
    const std::string destination = dir.File("out");
    const std::string contents(1 << 20, 'v');
    Put(destination, contents);
    const int fd = ::open(destination.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::fdatasync(fd), 0);  // dirty pages are not dropped
    ::close(fd);
    ASSERT_EQ(Get(destination), contents);
    ASSERT_GT(ResidentPages(destination, contents.size()), 0U);

    ReplacingFile(destination).DropDestinationCache();
    EXPECT_EQ(ResidentPages(destination, contents.size()), 0U);
    EXPECT_EQ(Get(destination), contents);
}

}  // namespace
}  // namespace kinetar
