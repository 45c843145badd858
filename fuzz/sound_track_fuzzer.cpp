#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "avi/audio/AudioTrack.h"
#include "common/Error.h"
#include "project/Slideshow.h"

// The input is the sound file of a one-second video: decoded, resampled, placed, faded and encoded
// as PCM. It lives in memory, named through /proc so the sound library opens it as a regular file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int fd = ::memfd_create("sound", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    std::vector<kinetar::project::FrameRecord> records = {kinetar::project::NewSoundRecord(path),
                                                          kinetar::project::NewFrameRecord("p.bmp")};
    records[1].Duration = 1000;
    try {
        auto track = kinetar::avi::AudioTrack::Make(records, {25, 1}, 25, kinetar::avi::AudioCodec::Pcm16);
        if (track != nullptr) {
            track->Finish([](const kinetar::avi::AudioPacket&) { return true; });
        }
    } catch (const kinetar::Error&) {
    }
    return 0;
}
