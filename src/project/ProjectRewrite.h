#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/ReplacingFile.h"
#include "project/ProjectFile.h"

namespace kinetar::project {

// A project file written anew beside the old one, a piece at a time, which takes the project's
// name on Commit(): a reader sees either the old file or the new one, never a mix, and memory
// stays at one buffer whatever the file's size. Without a commit (an error, a stop) the new file is
// removed and the project stays as it was.
//
// Every error is an Error naming the project: a link that is not followed (UnsafeLinkMessage), a
// device, FIFO or socket (NotRegularFileMessage; a folder keeps the system's word for it), or
// "Can't write project file <path>: " and the system's reason.
class ProjectRewrite {
public:
    // Creates the new file; nothing is written yet.
    explicit ProjectRewrite(const std::string& path);
    ProjectRewrite(const ProjectRewrite&) = delete;
    ProjectRewrite& operator=(const ProjectRewrite&) = delete;

    void Append(const ProjectHeader& header) { Append(AsBytes(header)); }
    void Append(const FrameRecord& record) { Append(AsBytes(record)); }
    void Append(std::span<const std::uint8_t> bytes);

    // Writes what is still buffered, puts the new file on disk and gives it the project's name.
    void Commit();

private:
    template <typename T>
    static std::span<const std::uint8_t> AsBytes(const T& value)
    {
        return {reinterpret_cast<const std::uint8_t*>(&value), sizeof value};
    }
    void Flush();
    [[noreturn]] void Fail(int error) const;

    std::string m_path;
    ReplacingFile m_file;
    std::vector<std::uint8_t> m_buffer;
    std::int64_t m_written = 0;
};

}  // namespace kinetar::project
