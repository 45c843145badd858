#include "project/ProjectRewrite.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Error.h"
#include "common/WriteAll.h"

namespace kinetar::project {

namespace {

// Handed to the kernel 1 MiB at a time, as WriteAll would split it anyway.
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

}  // namespace

ProjectRewrite::ProjectRewrite(const std::string& path)
    : m_path(path), m_file(path, ReplacingFile::Permissions::KeepDestination)
{
    if (!m_file.UnsafeLink().empty()) {
        throw Error(UnsafeLinkMessage(m_file.UnsafeLink()));
    }
    // A folder keeps the system's word for it.
    if (m_file.IsRefused() && m_file.CreateError() != EISDIR) {
        throw Error(NotRegularFileMessage(path));
    }
    if (!m_file.IsOpen()) {
        Fail(m_file.CreateError());
    }
    m_buffer.reserve(kBufferBytes);
}

void ProjectRewrite::Append(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t room = kBufferBytes - m_buffer.size();
        const std::size_t taken = std::min(room, bytes.size());
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        bytes = bytes.subspan(taken);
        if (m_buffer.size() == kBufferBytes) {
            Flush();
        }
    }
}

void ProjectRewrite::Flush()
{
    if (const int error = WriteAll(m_file.Descriptor(), m_written, m_buffer)) {
        Fail(error);
    }
    m_written += static_cast<std::int64_t>(m_buffer.size());
    m_buffer.clear();
}

void ProjectRewrite::Commit()
{
    Flush();
    if (::fsync(m_file.Descriptor()) != 0) {
        Fail(errno);
    }
    if (const int error = m_file.Commit()) {
        Fail(error);
    }
}

void ProjectRewrite::Fail(int error) const
{
    throw Error("Can't write project file " + m_path + ": " + std::strerror(error));
}

}  // namespace kinetar::project
