#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "avi/codecs/CodecRegistry.h"
#include "avi/engine/ResultCode.h"
#include "avi/engine/RunProgress.h"
#include "avi/frames/FrameDIB.h"
#include "project/ProjectFile.h"

namespace kinetar::avi {

// Told once before the first frame and after each frame handed to the compressor (a picture held
// by an intra-only compressor: after each batch of its frames); answers true to go on.
using ProgressCallback = std::function<bool(const RunProgress& progress)>;
// Opens on the previous choice (size 64, flags 1) for frames of the given blank format; answers
// false when cancelled, otherwise true with the choice in the variables.
using CompressorChooser = std::function<bool(project::CodecSettings& variables, const FrameDIB& inputFormat)>;
enum class FrameErrorAnswer { Yes, No, Cancel };
// A picture or sound file that a run cannot read.
struct UnreadableFile {
    std::string Message;  // the reader's own text
    std::string Path;     // the file as its record names it
    bool Sound = false;
};
// Asked when a frame's picture or a sound cannot be read; Yes leaves the picture's frames empty
// (the sound out) and goes on.
using FrameErrorQuestion = std::function<FrameErrorAnswer(const UnreadableFile& file)>;

inline constexpr const char* kFrameErrorCaption = "File reading error(skiping it)";
inline constexpr const char* kChooserTitle = "Select compression type...";
// The question's text: the failure's message, a line break, "Do you want continue?".
std::string FrameErrorText(const std::string& message);

// The whole percentage the progress callback is given after frame `index` (from 0) of `count`:
// index x 100 / count, truncated toward zero.
int ProgressPercent(std::int64_t index, std::int64_t count);

// The pictures left empty and the sounds left out: all counted, the first hundred of each kind
// kept in turn, so a project of a million unreadable records does not hold a million messages.
struct LeftOutFiles {
    static constexpr std::size_t kKept = 100;
    std::vector<UnreadableFile> Kept;
    std::uint64_t Pictures = 0;
    std::uint64_t Sounds = 0;

    void Add(UnreadableFile file);
    bool Empty() const { return Pictures == 0 && Sounds == 0; }
};

// What a run did, for a caller that says more than the result code: every way out of CreateAVI
// fills it in, an error passing through included.
struct RunOutcome {
    std::uint32_t FramesWritten = 0;   // video frames of pictures in the file, a held picture's each
    std::int64_t VideoFrames = 0;      // the video's length, known before the compressor is chosen
    bool DestinationReplaced = false;  // the new file took the destination's name
    int SystemError = 0;               // errno of the failed output open/write, 0 if none
    std::string Detail;                // for result 6: what the compressor refuses; for 2: a link refused
    LeftOutFiles LeftOut;
};

// What the engine asks of its caller besides progress.
struct EngineServices {
    // none: the previous choice, else uncompressed; outside AVI, a previous choice the file cannot
    // carry gives way to the first compressor that it can (H.264 in MP4 and Matroska, VP9 in WebM)
    CompressorChooser ChooseCompressor;
    FrameErrorQuestion AskFrameError;                    // none: Yes
    const CodecRegistry* Codecs = nullptr;               // none: CodecRegistry::Default()
    std::function<std::uint32_t()> CodecLibraryVersion;  // none: the library's own answer
    RunOutcome* Outcome = nullptr;                       // none: not told
};

// Generates the video file of the header's settings from the frame records of workingCopyPath:
// AVI, or MP4, Matroska or WebM as the destination's extension says (ContainerForPath). The
// file is written under a temporary name beside the destination and moved over it when the run
// wrote at least one frame or processed every record; a run that stops or fails before its first
// frame leaves an earlier file of that name as it was and creates none. An exception passing
// through (an internal fault, memory running out) leaves it as it was too, whatever was written.
// settingsChanged is set to true when a new compressor choice was put into header, never to false.
void CreateAVI(project::ProjectHeader& header, const std::string& workingCopyPath, bool& settingsChanged,
               const ProgressCallback& progress, std::uint8_t& result, const EngineServices& services = {});

}  // namespace kinetar::avi
