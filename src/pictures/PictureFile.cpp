#include "pictures/PictureFile.h"

#include <fcntl.h>
#include <sys/mman.h>

#include "common/Error.h"
#include "common/RegularFile.h"
#include "pictures/Messages.h"

namespace kinetar::pictures {

PictureFile::PictureFile(const std::string& path)
{
    const RegularFile file(path, O_RDONLY);
    if (file.IsNotRegular() && !file.IsFolder()) {
        throw Error(NotRegularFileMessage(path));
    }
    if (!file.IsOpen()) {
        throw Error(msg::kCantOpenFile + path);
    }
    m_size = static_cast<std::size_t>(file.Size());
    if (m_size > 0) {
        void* mapping = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, file.Descriptor(), 0);
        if (mapping == MAP_FAILED) {
            throw Error(msg::kCantOpenFile + path);
        }
        m_data = static_cast<const std::uint8_t*>(mapping);
        m_mapped = true;
    }
}

PictureFile::~PictureFile()
{
    if (m_mapped) {
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    }
}

}  // namespace kinetar::pictures
