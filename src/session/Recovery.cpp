#include "session/Recovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

#include "common/Error.h"
#include "common/Processes.h"
#include "common/ReadAll.h"
#include "common/TemporaryFiles.h"
#include "project/ProjectFile.h"
#include "session/FileAccess.h"

namespace kinetar::session {

namespace {

// A regular file of this user's, not a link: nothing else is ever deleted as a working copy.
bool IsOwnRegularFile(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::getuid();
}

// Whether the project file holds exactly the working copy's bytes; a project that is missing or
// cannot be read does not.
bool SameContents(const std::string& workingCopy, const std::string& project)
{
    try {
        const RegularFile first = OpenRegularFile(workingCopy, O_RDONLY, "");
        const RegularFile second = OpenRegularFile(project, O_RDONLY, "");
        if (first.Size() != second.Size()) {
            return false;
        }
        std::vector<std::uint8_t> a(1 << 16), b(1 << 16);
        for (std::int64_t offset = 0; offset < first.Size();) {
            const std::size_t got = ReadUpTo(first.Descriptor(), offset, a.data(), a.size());
            if (got == 0 || ReadUpTo(second.Descriptor(), offset, b.data(), got) != got ||
                !std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(got), b.begin())) {
                return false;
            }
            offset += static_cast<std::int64_t>(got);
        }
        return true;
    } catch (const Error&) {
        return false;
    }
}

void RemoveFile(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

long WorkingCopyOwner(const std::string& path)
{
    return TemporaryFileOwner(std::filesystem::path(path).filename().string(), project::kWorkingCopyPrefix);
}

RecoveryPlan PlanRecovery()
{
    RecoveryPlan plan;
    // By file name: the name holds the process id and mkstemp's characters, whatever the folder's spelling.
    std::set<std::string> named;
    for (const SessionNote& note : ReadSessionNotes()) {
        named.insert(std::filesystem::path(note.WorkingCopy).filename().string());
        if (!ProcessIsGone(note.Pid)) {
            continue;
        }
        // A note never makes a file deleted that is not its process's working copy.
        const bool copyThere = WorkingCopyOwner(note.WorkingCopy) == note.Pid && IsOwnRegularFile(note.WorkingCopy);
        if (!copyThere) {
            plan.StaleNotes.push_back(note.Pid);
        } else if (SameContents(note.WorkingCopy, note.Project)) {
            plan.StaleNotes.push_back(note.Pid);
            plan.StaleWorkingCopies.push_back(note.WorkingCopy);
        } else {
            plan.Recoverable.push_back(note);
        }
    }
    for (const std::string& path : LeftTemporaryFiles(TemporaryFolder(), project::kWorkingCopyPrefix)) {
        if (!named.contains(std::filesystem::path(path).filename().string())) {
            plan.StaleWorkingCopies.push_back(path);
        }
    }
    return plan;
}

void RemoveStale(const RecoveryPlan& plan)
{
    for (const std::string& path : plan.StaleWorkingCopies) {
        RemoveFile(path);
    }
    for (const long pid : plan.StaleNotes) {
        RemoveSessionNote(pid);
    }
}

void DiscardSession(const SessionNote& note)
{
    RemoveFile(note.WorkingCopy);
    RemoveSessionNote(note.Pid);
}

}  // namespace kinetar::session
