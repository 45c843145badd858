#include "pictures/PictureFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Error.h"
#include "pictures/Messages.h"

namespace kinetar::pictures {

PictureFile::PictureFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw Error(msg::kCantOpenFile + path);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw Error(msg::kCantOpenFile + path);
    }
    m_size = static_cast<std::size_t>(status.st_size);
    if (m_size > 0) {
        void* mapping = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapping == MAP_FAILED) {
            ::close(fd);
            throw Error(msg::kCantOpenFile + path);
        }
        m_data = static_cast<const std::uint8_t*>(mapping);
        m_mapped = true;
    }
    ::close(fd);
}

PictureFile::~PictureFile()
{
    if (m_mapped) {
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    }
}

}  // namespace kinetar::pictures
