#include "support/EngineRun.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <stdexcept>

#include "project/Slideshow.h"

namespace kinetar::test {

avi::EngineServices WithChooser(avi::CompressorChooser chooser, const avi::CodecRegistry* codecs)
{
    avi::EngineServices services;
    services.ChooseCompressor = std::move(chooser);
    services.Codecs = codecs;
    return services;
}

avi::CompressorChooser Choosing(const project::CodecSettings& choice)
{
    return [choice](project::CodecSettings& variables, const avi::FrameDIB&) {
        variables = choice;
        return true;
    };
}

EngineRun::EngineRun(std::int32_t width, std::int32_t height, std::uint8_t colorDepth, std::int32_t fps)
{
    header = project::NewProjectHeader();
    header.Width = width;
    header.Height = height;
    header.ColorDepth = colorDepth;
    header.FramesPerSecond = fps;
    project::SetText(header.AviFileName, Avi());
}

std::string EngineRun::Picture(const std::string& name, const std::vector<std::uint8_t>& bytes) const
{
    WriteFile(dir.File(name), bytes);
    return dir.File(name);
}

void EngineRun::Frames(const std::vector<ProjectFrame>& frames) const
{
    EXPECT_TRUE(project::WriteProjectHeader(Path(), header));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string file = frames[i].picture[0] == '/' ? frames[i].picture : dir.File(frames[i].picture);
        project::FrameRecord record = frames[i].sound ? project::NewSoundRecord(file) : project::NewFrameRecord(file);
        record.Stretch = frames[i].stretch;
        record.Duration = frames[i].durationMs;
        record.Fit = frames[i].fit;
        record.Crossfade = frames[i].crossfadeMs;
        EXPECT_TRUE(project::WriteFrameRecord(Path(), static_cast<std::int32_t>(i), record));
    }
}

std::set<std::string> EngineRun::Files() const
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

EngineResult EngineRun::Generate(avi::EngineServices services, const RunOptions& options)
{
    EngineResult run;
    run.settingsChanged = options.settingsChangedBefore;
    const auto chooser = services.ChooseCompressor;
    services.ChooseCompressor = [&](project::CodecSettings& variables, const avi::FrameDIB& format) {
        run.chooserSaw.push_back(variables);
        if (chooser) {
            return chooser(variables, format);
        }
        variables = avi::MakeCodecSettings(avi::kUncompressedFourcc);
        return true;
    };
    services.AskFrameError = [&](const avi::UnreadableFile& file) {
        run.questions.push_back(file.Message);
        return options.answer;
    };
    avi::ProgressCallback progress;
    if (options.reportProgress) {
        progress = [&](const avi::RunProgress& report) {
            run.progress.push_back(report.Percent);
            run.framesDone.push_back(report.FramesDone);
            if (static_cast<int>(run.progress.size()) == options.throwAtReport) {
                throw std::length_error("injected");
            }
            return options.stopAfterReports < 0 || static_cast<int>(run.progress.size()) < options.stopAfterReports;
        };
    }
    avi::CreateAVI(header, Path(), run.settingsChanged, progress, run.result, services);
    return run;
}

EngineResult EngineRun::GenerateFile(const std::string& fileName, avi::EngineServices services,
                                     const RunOptions& options)
{
    project::SetText(header.AviFileName, dir.File(fileName));
    return Generate(std::move(services), options);
}

int EngineRun::GenerateWithFileSizeLimit(std::uint64_t limit, const project::CodecSettings& choice)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit bytes{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &bytes);
        std::signal(SIGXFSZ, SIG_IGN);
        ::_exit(Generate(WithChooser(Choosing(choice)), {.reportProgress = false}).result);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

EngineResult EngineRun::GenerateInto(const std::string& name, avi::EngineServices services, const RunOptions& options)
{
    project::SetText(header.AviFileName, Avi(name));
    return Generate(std::move(services), options);
}

}  // namespace kinetar::test
