#pragma once

#include <span>
#include <string>

#include "project/ProjectFile.h"

// A record's picture or sound path that does not start with "/" is the project's folder's: the
// same file whichever folder the program was started in, and the same for the window and the
// command line.
namespace kinetar::project {

// The folder of the project file, absolute (the current folder's when the path is relative).
std::string ProjectFolder(const std::string& projectPath);

// The file a record's path names: the path itself when it is absolute or empty, else the path
// within baseFolder.
std::string ResolveRecordPath(const std::string& stored, const std::string& baseFolder);

// Whether the record's text field names a file (a picture or a sound), not words to draw.
bool NamesAFile(const FrameRecord& record);
// The records in memory with their relative paths made absolute within baseFolder; a path that
// would not fit a record stays as it is, and so do captions' and titles' texts.
void ResolveRecordPaths(std::span<FrameRecord> records, const std::string& baseFolder);

// The records as a run reads them: the project file itself when every record names its file
// absolutely, else a temporary copy (a working copy's name, so a crash leaves nothing that the
// next start does not sweep) whose relative paths are made absolute within baseFolder. A path
// that would not fit a record's 260 bytes so raises Error naming it.
class RecordsWithAbsolutePaths {
public:
    RecordsWithAbsolutePaths(const std::string& projectPath, const std::string& baseFolder);
    RecordsWithAbsolutePaths(const RecordsWithAbsolutePaths&) = delete;
    RecordsWithAbsolutePaths& operator=(const RecordsWithAbsolutePaths&) = delete;
    ~RecordsWithAbsolutePaths();

    const std::string& Path() const { return m_path; }

private:
    void MakeCopy(const std::string& projectPath, const std::string& baseFolder);

    std::string m_path;
    std::string m_copy;
};

}  // namespace kinetar::project
