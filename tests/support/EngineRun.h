#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "avi/engine/AviEngine.h"
#include "project/ProjectFile.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"

namespace kinetar::test {

// One frame record: a picture file in the run's folder, or a full path.
struct ProjectFrame {
    std::string picture;
    std::uint8_t stretch = 1;
    std::uint32_t durationMs = 0;
    std::uint8_t fit = 0;
    std::uint32_t crossfadeMs = 0;
    bool sound = false;  // a sound record naming the file instead
};
// A sound record for a file in the run's folder.
inline ProjectFrame SoundFrame(const std::string& file)
{
    return {.picture = file, .sound = true};
}

// What one run of the engine gave and what it was told and asked on the way.
struct EngineResult {
    std::uint8_t result = 255;
    bool settingsChanged = false;
    std::vector<int> progress;
    std::vector<std::int64_t> framesDone;  // each report's video frames done
    std::vector<std::string> questions;
    std::vector<project::CodecSettings> chooserSaw;
};

struct RunOptions {
    int stopAfterReports = -1;  // the progress report that answers stop; -1: none does
    int throwAtReport = -1;     // the progress report that throws std::length_error; -1: none does
    avi::FrameErrorAnswer answer = avi::FrameErrorAnswer::Yes;
    bool settingsChangedBefore = false;  // what the flag holds when the engine gets it
    bool reportProgress = true;          // false hands the engine no progress callback at all
};

avi::EngineServices WithChooser(avi::CompressorChooser chooser, const avi::CodecRegistry* codecs = nullptr);
// A chooser that always takes this choice.
avi::CompressorChooser Choosing(const project::CodecSettings& choice);

// A project in a folder of its own: pictures, the working copy and the videos beside them.
class EngineRun {
public:
    // The header starts as a new project's, with the given size, depth code and rate, and out.avi
    // as its destination.
    EngineRun(std::int32_t width, std::int32_t height, std::uint8_t colorDepth = 3, std::int32_t fps = 5);

    // Writes a picture into the folder; returns its path.
    std::string Picture(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    // Writes the header and one record a frame as the working copy.
    void Frames(const std::vector<ProjectFrame>& frames) const;

    std::string Path() const { return dir.File("work.AVIprj"); }
    std::string Avi(const std::string& name = "out") const { return dir.File(name + ".avi"); }
    // The files in the folder, so leftovers of a run show.
    std::set<std::string> Files() const;

    // Runs the engine on the working copy with a recording chooser (uncompressed unless the services
    // choose), a recording frame-error question and a recording progress callback.
    EngineResult Generate(avi::EngineServices services = {}, const RunOptions& options = {});
    // Generate with name.avi in the folder as the destination.
    EngineResult GenerateInto(const std::string& name, avi::EngineServices services = {},
                              const RunOptions& options = {});

    // Generate with the given destination file name in the folder (any extension).
    EngineResult GenerateFile(const std::string& fileName, avi::EngineServices services = {},
                              const RunOptions& options = {});
    // Runs the engine with this choice in a child process whose files may not grow past the limit (a
    // full disk: SIGXFSZ ignored, writes fail with EFBIG); returns the child's result.
    int GenerateWithFileSizeLimit(std::uint64_t limit, const project::CodecSettings& choice);

    // The video read back by the independent reader.
    std::optional<ProbedVideo> Probe(const std::string& name = "out") const { return test::Probe(Avi(name)); }
    std::optional<std::vector<RgbImage>> DecodedFrames(const std::string& name = "out") const
    {
        return DecodeVideoFrames(Avi(name));
    }

    TempDir dir;
    project::ProjectHeader header;
};

}  // namespace kinetar::test
