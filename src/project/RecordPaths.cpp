#include "project/RecordPaths.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/Error.h"
#include "common/StopRequest.h"
#include "project/FrameRecordReader.h"
#include "project/ProjectFile.h"
#include "project/TextRecords.h"

namespace kinetar::project {

std::string ProjectFolder(const std::string& projectPath)
{
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(projectPath, ignored);
    return absolute.lexically_normal().parent_path().string();
}

bool NamesAFile(const FrameRecord& record)
{
    // A caption's or title's text names no file.
    return !IsCaptionRecord(record) && !IsTitleRecord(record);
}

void ResolveRecordPaths(std::span<FrameRecord> records, const std::string& baseFolder)
{
    for (FrameRecord& record : records) {
        const std::string resolved = ResolveRecordPath(GetText(record.PictureFileName), baseFolder);
        if (NamesAFile(record) && resolved.size() <= kMaxTextLength) {
            SetText(record.PictureFileName, resolved);
        }
    }
}

std::string ResolveRecordPath(const std::string& stored, const std::string& baseFolder)
{
    if (stored.empty() || stored.front() == '/' || baseFolder.empty()) {
        return stored;
    }
    return baseFolder.back() == '/' ? baseFolder + stored : baseFolder + "/" + stored;
}

RecordsWithAbsolutePaths::RecordsWithAbsolutePaths(const std::string& projectPath, const std::string& baseFolder)
    : m_path(projectPath)
{
    try {
        MakeCopy(projectPath, baseFolder);
    } catch (...) {
        // The destructor does not run for an object that was never made.
        if (!m_copy.empty()) {
            ::unlink(m_copy.c_str());
        }
        throw;
    }
}

void RecordsWithAbsolutePaths::MakeCopy(const std::string& projectPath, const std::string& baseFolder)
{
    const FrameRecordReader reader(projectPath, FrameRecordReader::Reading::InBlocks);
    // Consecutive changed records go into the copy in one write, not one open each.
    constexpr std::size_t kRunRecords = 4096;
    std::vector<FrameRecord> run;
    std::int32_t runFirst = 0;
    const auto writeRun = [&] {
        if (!run.empty() && !WriteFrameRecords(m_copy, runFirst, run)) {
            throw Error("Can't write " + m_copy);
        }
        run.clear();
    };
    FrameRecord record{};
    // A walk through millions of records takes a second: a stop asked of the process ends it where
    // it is, and the run the copy is for stops at its first report.
    for (std::int32_t i = 0; i < reader.Count() && !StopRequestedAt(i) && reader.Read(i, record); ++i) {
        const std::string stored = GetText(record.PictureFileName);
        const std::string resolved = ResolveRecordPath(stored, baseFolder);
        if (resolved == stored || !NamesAFile(record)) {
            writeRun();
            continue;
        }
        if (m_copy.empty()) {
            m_copy = MakeTempFileName();
            m_path = m_copy;
            CopyProjectFile(projectPath, m_copy);
        }
        if (resolved.size() > kMaxTextLength) {
            throw Error("The path is longer than " + std::to_string(kMaxTextLength) + " bytes: " + resolved);
        }
        SetText(record.PictureFileName, resolved);
        if (run.size() == kRunRecords) {
            writeRun();
        }
        if (run.empty()) {
            runFirst = i;
        }
        run.push_back(record);
    }
    writeRun();
}

RecordsWithAbsolutePaths::~RecordsWithAbsolutePaths()
{
    if (!m_copy.empty()) {
        ::unlink(m_copy.c_str());
    }
}

}  // namespace kinetar::project
