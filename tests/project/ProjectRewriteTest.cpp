#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/WriteAll.h"
#include "project/FrameRecordReader.h"
#include "project/ProjectFile.h"
#include "project/ProjectRewrite.h"
#include "support/ErrorText.h"
#include "support/TestFiles.h"

namespace kinetar::project {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A header, `count` records and `tail` stray bytes, no two records alike.
std::vector<std::uint8_t> ProjectBytes(std::size_t count, std::size_t tail)
{
    std::vector<std::uint8_t> bytes(kHeaderSize + count * kFrameRecordSize + tail);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

std::size_t FilesIn(const TempDir& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()), {}));
}

// The streaming writer fed by the block reader gives the bytes ReplaceProjectFile gives for the
// same records: the header and the whole records, the stray bytes past them dropped. The counts
// cross the writer's buffer (about 3,600 records) and the reader's block (4,096).
TEST(ProjectRewrite, StreamedCopyMatchesReplaceProjectFile)
{
    TempDir dir;
    for (const std::size_t count : {0U, 1U, 3591U, 9000U}) {
        for (const std::size_t tail : {0U, 1U, 291U}) {
            SCOPED_TRACE(std::to_string(count) + " records, tail " + std::to_string(tail));
            const std::string path = dir.File("p.AVIprj");
            const std::string whole = dir.File("whole.AVIprj");
            const auto bytes = ProjectBytes(count, tail);
            WriteFile(path, bytes);
            WriteFile(whole, bytes);

            std::vector<FrameRecord> records;
            const ProjectHeader header = ReadProject(whole, &records);
            ReplaceProjectFile(whole, header, records);
            {
                const FrameRecordReader reader(path, FrameRecordReader::Reading::InBlocks);
                ASSERT_EQ(reader.Count(), static_cast<std::int64_t>(count));
                ProjectRewrite rewrite(path);
                rewrite.Append(header);
                FrameRecord record;
                for (std::int32_t i = 0; i < reader.Count(); ++i) {
                    ASSERT_TRUE(reader.Read(i, record));
                    rewrite.Append(record);
                }
                EXPECT_FALSE(reader.Read(static_cast<std::int32_t>(count), record));
                rewrite.Commit();
            }
            const std::vector<std::uint8_t> expected(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(tail));
            EXPECT_EQ(ReadFile(path), expected);
            EXPECT_EQ(ReadFile(whole), expected);
            EXPECT_EQ(FilesIn(dir), 2U);
        }
    }
}

// Out of order, as a move reads them, and past either end.
TEST(FrameRecordReader, BlocksReadAnyOrderAsSingleReadsDo)
{
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    WriteFile(path, ProjectBytes(9000, 100));
    const FrameRecordReader blocks(path, FrameRecordReader::Reading::InBlocks);
    for (const std::int32_t index : {5000, 0, 4095, 4096, 4097, 8999, 1, 9000, -1, 8998}) {
        SCOPED_TRACE(index);
        FrameRecord fromBlock{};
        FrameRecord single{};
        const bool there = ReadFrameRecord(path, index, single);
        EXPECT_EQ(there, index >= 0 && index < 9000);
        EXPECT_EQ(blocks.Read(index, fromBlock), there);
        if (there) {
            EXPECT_EQ(std::memcmp(&fromBlock, &single, sizeof single), 0);
        }
    }
}

TEST(ProjectRewrite, WithoutCommitOrOnAWriteErrorTheProjectStays)
{
    TempDir dir;
    const std::string path = dir.File("p.AVIprj");
    const auto bytes = ProjectBytes(3, 5);
    WriteFile(path, bytes);
    {
        ProjectRewrite rewrite(path);
        rewrite.Append(NewProjectHeader());
        rewrite.Append(NewFrameRecord("/a.bmp"));
    }
    EXPECT_EQ(ReadFile(path), bytes);

    LimitWritesForTesting(kHeaderSize + 1000 * kFrameRecordSize, ENOSPC);
    EXPECT_EQ(test::ErrorText([&] {
                  ProjectRewrite rewrite(path);
                  rewrite.Append(NewProjectHeader());
                  for (int i = 0; i < 5000; ++i) {
                      rewrite.Append(NewFrameRecord("/a.bmp"));
                  }
                  rewrite.Commit();
              }),
              "Can't write project file " + path + ": " + std::strerror(ENOSPC));
    LimitWritesForTesting(-1, 0);
    EXPECT_EQ(ReadFile(path), bytes);
    EXPECT_EQ(FilesIn(dir), 1U);
}

}  // namespace
}  // namespace kinetar::project
