#include "pictures/PictureFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "common/Error.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "pictures/Messages.h"

namespace kinetar::pictures {

namespace {

// The C library maps a buffer over 32 MiB afresh from the kernel every time, and on the virtual
// machine measured each 4 KiB page of it then cost about 20 us to fault in: 0.2 s for a 36 MB BMP,
// ten times its read. Asked for huge pages, the same buffer cost no more than the read.
constexpr std::size_t kHugePagesFrom = 8 * 1024 * 1024;

void AskForHugePages(std::uint8_t* bytes, std::size_t size)
{
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(bytes);
    const std::uintptr_t start = (first + pageSize - 1) / pageSize * pageSize;
    const std::uintptr_t end = (first + size) / pageSize * pageSize;
    // A hint only: where huge pages are off the buffer works as it is.
    (void)::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace

PictureFile::PictureFile(const std::string& path)
{
    const RegularFile file(path, O_RDONLY);
    if (file.IsNotRegular() && !file.IsFolder()) {
        throw Error(NotRegularFileMessage(path));
    }
    if (!file.IsOpen()) {
        throw Error(msg::kCantOpenFile + path);
    }
    // Bytes the file gains after the open are left out.
    const auto size = static_cast<std::size_t>(file.Size());
    if (size == 0) {
        return;
    }
    // Not zeroed: the read overwrites every byte that Bytes() shows.
    m_bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    if (size >= kHugePagesFrom) {
        AskForHugePages(m_bytes.get(), size);
    }
    const ReadResult read = ReadAll(file.Descriptor(), {m_bytes.get(), size});
    if (read.Error != 0) {
        throw Error(msg::kCantOpenFile + path);
    }
    // A file cut short meanwhile keeps what arrived; its reader then finds it truncated.
    m_size = read.Count;
}

}  // namespace kinetar::pictures
