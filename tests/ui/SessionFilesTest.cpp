#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Error.h"
#include "project/ProjectFile.h"
#include "session/FileAccess.h"
#include "session/RecordCache.h"
#include "session/RecordSplice.h"
#include "support/TestFiles.h"

namespace kinetar::test {
namespace {

// Every reader of the session through the one read layer: a file that holds less than was asked
// gives what it holds, byte for byte; a FIFO in a file's place is answered at once, never waited on.
TEST(SessionFiles, ReadersGiveWhatTheFileHoldsAndNeverWaitOnAFifo)
{
    const TempDir dir;
    std::vector<project::FrameRecord> records;
    for (const char* name : {"/a.bmp", "/b.bmp", "/c.bmp"}) {
        records.push_back(project::NewFrameRecord(name));
    }
    project::ReplaceProjectFile(dir.File("p.AVIprj"), project::NewProjectHeader(), records);
    const std::vector<std::uint8_t> whole = ReadFile(dir.File("p.AVIprj"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);

    struct Row {
        const char* name;
        // What the reader gives of the file at the path, as bytes; throws what the reader throws.
        std::function<std::vector<std::uint8_t>(const std::string& path)> read;
        std::vector<std::uint8_t> expected;
    };
    const auto recordBytes = [](const std::vector<project::FrameRecord>& list) {
        const auto* first = reinterpret_cast<const std::uint8_t*>(list.data());
        return std::vector<std::uint8_t>(first, first + list.size() * sizeof(project::FrameRecord));
    };
    const Row rows[] = {
        {"whole file", [](const std::string& path) { return session::ReadRegularFile(path, "Can't read "); }, whole},
        {"records past the end",
         [&](const std::string& path) { return recordBytes(session::ReadFrameRecordRange(path, 1, 5)); },
         recordBytes({records[1], records[2]})},
        {"region to the end", [](const std::string& path) { return session::ReadRegion(path, 300, -1).Bytes; },
         std::vector<std::uint8_t>(whole.begin() + 300, whole.end())},
        {"region longer than the file",
         [&](const std::string& path) { return session::ReadRegion(path, 0, 100000).Bytes; }, whole},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.read(dir.File("p.AVIprj")), row.expected);
        try {
            EXPECT_TRUE(row.read(dir.File("fifo")).empty());
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()), dir.File("fifo") + " is not a regular file");
        }
    }
}

}  // namespace
}  // namespace kinetar::test
