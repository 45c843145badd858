#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliProject.h"
#include "cli/ProjectDescription.h"
#include "common/Error.h"
#include "project/TextRecords.h"
#include "text/TextDrawing.h"

// The input is a project file, read the way kinetar-cli info reads one, as text and as JSON; the
// words of its first caption and title records are laid out and drawn on a small frame.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        std::string pattern = "/tmp/project-info-fuzz-XXXXXX.AVIprj";
        const int fd = ::mkstemps(pattern.data(), 7);
        if (fd < 0) {
            std::abort();
        }
        ::close(fd);
        return pattern;
    }();
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        std::abort();
    }
    ::close(fd);
    try {
        (void)kinetar::cli::DescribeProject(path);
        (void)kinetar::cli::DescribeProjectJson(path);
        std::vector<kinetar::project::FrameRecord> records;
        (void)kinetar::project::ReadProject(path, &records);
        for (std::size_t i = 0; i < records.size() && i < 4; ++i) {
            if (kinetar::project::IsCaptionRecord(records[i])) {
                (void)kinetar::text::DrawCaption(kinetar::project::GetCaption(records[i]), 64, 36);
            } else if (kinetar::project::IsTitleRecord(records[i])) {
                (void)kinetar::text::DrawTitle(kinetar::project::GetTitle(records[i]), 64, 36);
            }
        }
    } catch (const kinetar::Error&) {
    }
    return 0;
}
