#include "avi/engine/AviEngine.h"

#include <sys/stat.h>

#include <deque>
#include <future>
#include <memory>
#include <optional>

#include "avi/codecs/CodecLibraryVersion.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/AviWriter.h"
#include "common/Error.h"
#include "common/ReplacingFile.h"
#include "pictures/LoadPicture.h"

namespace kinetar::avi {

using project::ProjectHeader;

std::string FrameErrorText(const std::string& message)
{
    return message + "\r\nDo you want continue?";
}

namespace {

// i x 100 / count: the product a 32-bit integer, the quotient in floating point, truncated.
int ProgressPercent(std::int32_t index, std::int32_t count)
{
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(index) * 100U);
    if (count <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<double>(product) / static_cast<double>(count));
}

// The objects one run holds, in the order they are acquired.
class AviRun {
public:
    AviRun() = default;
    AviRun(const AviRun&) = delete;
    AviRun& operator=(const AviRun&) = delete;
    // An unexpected failure passing through still closes the file and drops the temporary one.
    ~AviRun() { ReleaseAVIObjects(false); }

    // The destination is written under a temporary name in its own folder.
    bool OpenFile(const std::string& destination)
    {
        if (destination.empty()) {
            return false;
        }
        struct stat status {};
        if (::stat(destination.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            return false;
        }
        m_output.emplace(destination);
        if (!m_output->IsOpen()) {
            m_output.reset();
            return false;
        }
        m_output->DropDestinationCache();
        file = std::make_unique<AviWriter>(m_output->Descriptor());
        (void)m_output->ReleaseDescriptor();  // the writer closes it
        return true;
    }

    // Frees and releases whatever the run holds. The file is closed into a valid AVI; it replaces
    // the destination when the run reached its frame loop, otherwise it is removed. False when
    // anything could not be written or the file could not be moved.
    // Our compressor variables hold no handles or pointers, so a chosen compressor has nothing to
    // hand back.
    bool ReleaseAVIObjects(bool /*compressorChosen*/)
    {
        frameDib.reset();
        options.reset();
        workingFrame.reset();
        picture.reset();
        compressedStream.reset();
        bool ok = true;
        if (file) {
            bool valid = file->Close(positions);
            ok = valid && !file->Failed();
            file.reset();
            if (reachedFrameLoop && valid) {
                valid = m_output->Commit() == 0;
                ok = ok && valid;
            }
            m_output.reset();  // removes the temporary file unless it took the destination's name
        }
        return ok;
    }

    std::unique_ptr<AviWriter> file;
    std::unique_ptr<WorkingFrame> workingFrame;
    std::unique_ptr<FrameDIB> frameDib;
    std::unique_ptr<CompressionOptions> options;
    std::unique_ptr<Compressor> compressedStream;
    std::unique_ptr<pictures::DecodedPicture> picture;
    bool reachedFrameLoop = false;
    std::int64_t positions = 0;  // sample positions processed, skipped ones included

private:
    std::optional<ReplacingFile> m_output;
};

constexpr std::size_t kPicturesAhead = 2;

// A frame record and its picture, being read.
struct PendingPicture {
    bool exists = false;
    project::FrameRecord record;
    std::future<std::unique_ptr<pictures::DecodedPicture>> picture;
};

// Without a chooser: the previous choice when this build has it, else uncompressed.
bool DefaultChooser(project::CodecSettings& variables, const CodecRegistry& codecs)
{
    if (codecs.Find(variables.Handler) == nullptr) {
        const auto quality = variables.Quality;
        variables = MakeCodecSettings(kUncompressedFourcc, quality);
    }
    return true;
}

}  // namespace

void CreateAVI(ProjectHeader& header, const std::string& workingCopyPath, bool& settingsChanged,
               const ProgressCallback& progress, std::uint8_t& result, const EngineServices& services)
{
    result = kResultDone;
    CheckVideoSettings(header);
    const int bits = project::ColorDepthBits(header);
    const std::int32_t count = project::ProjectFrameCount(workingCopyPath);
    const CodecRegistry& codecs = services.Codecs != nullptr ? *services.Codecs : CodecRegistry::Default();
    if (progress) {
        (void)progress(0);
    }

    const std::uint32_t version =
        services.CodecLibraryVersion ? services.CodecLibraryVersion() : CodecLibraryVersionAtRunTime();
    if (!CodecLibraryMatches(version, CodecLibraryMajorAtBuild())) {
        result = kResultOldVideoLibrary;
        return;
    }

    AviRun run;
    if (!run.OpenFile(project::GetText(header.AviFileName))) {
        result = kResultCannotOpenFile;
        run.ReleaseAVIObjects(false);
        return;
    }

    run.workingFrame = std::make_unique<WorkingFrame>(header.Width, header.Height);
    run.frameDib = GetFrameDIB(*run.workingFrame, bits);
    StreamInfo stream;
    stream.Rate = static_cast<std::uint32_t>(header.FramesPerSecond.Get());
    stream.Width = header.Width;
    stream.Height = header.Height;
    stream.SuggestedBufferSize = static_cast<std::uint32_t>(run.frameDib->ImageSize());
    if (!run.file->CreateStream(stream, run.frameDib->Format())) {
        result = kResultCannotCreateStream;
        run.ReleaseAVIObjects(false);
        return;
    }

    project::CodecSettings variables = header.CodecSettings;
    variables.StructSize = 64;
    variables.Flags = kCodecSettingsValid;
    const bool chosen = services.ChooseCompressor ? services.ChooseCompressor(variables, *run.frameDib)
                                                  : DefaultChooser(variables, codecs);
    if (!chosen) {
        result = kResultStopped;
        run.ReleaseAVIObjects(false);
        return;
    }

    run.options = std::make_unique<CompressionOptions>(MakeCompressionOptions(variables));
    const CodecInfo* codec = codecs.Find(run.options->FccHandler);
    if (codec != nullptr) {
        run.compressedStream = codec->Make(*run.options);
    }
    if (!run.compressedStream) {
        result = kResultCannotMakeCompressor;
        run.ReleaseAVIObjects(true);
        return;
    }

    const bool formatTaken =
        codec->Takes(bits) && run.compressedStream->SetFormat(run.frameDib->Format()) &&
        run.file->SetFormat(run.compressedStream->OutputFormat(), codec->Fourcc, run.compressedStream->Compressed());
    if (!formatTaken) {
        result = kResultFormatRefused;
        run.ReleaseAVIObjects(true);
        return;
    }
    run.frameDib.reset();

    run.reachedFrameLoop = true;
    // The next two frames' pictures are read, on threads of their own, while the current frame is
    // converted and written: decoding a photo takes longer than the rest of a frame, so two
    // decoders keep both cores busy. The run holds at most three pictures and one working frame;
    // each FrameDIB goes to the compressor, which may keep a few while its workers encode them.
    // Every report and question still comes at its frame's turn, and a picture read ahead of a
    // stop is dropped unseen.
    // A stretched picture is only needed at the frame's size, so a photo may be decoded smaller.
    const std::int32_t frameWidth = run.workingFrame->Width();
    const std::int32_t frameHeight = run.workingFrame->Height();
    const auto startLoading = [&workingCopyPath, frameWidth, frameHeight](std::int32_t index) {
        PendingPicture pending;
        pending.exists = project::ReadFrameRecord(workingCopyPath, index, pending.record);
        if (pending.exists) {
            pictures::PictureRequest request;
            if (pending.record.Stretch != 0) {
                request.TargetWidth = frameWidth;
                request.TargetHeight = frameHeight;
            }
            pending.picture =
                std::async(std::launch::async, [path = project::GetText(pending.record.PictureFileName), request] {
                    return pictures::LoadPicture(path, request);
                });
        }
        return pending;
    };
    // Samples come back in the order of their frames, some a frame or two late (an encoder on
    // several threads); each goes to the position of the oldest frame still waiting for one.
    std::deque<std::int64_t> waiting;
    const SampleSink sink = [&](std::span<const std::uint8_t> sample, bool keyFrame) {
        if (waiting.empty()) {
            return false;
        }
        const std::int64_t position = waiting.front();
        waiting.pop_front();
        return run.file->WriteSample(position, sample, keyFrame);
    };
    const auto flush = [&] { return run.compressedStream->Flush(sink) && waiting.empty(); };

    std::deque<PendingPicture> ahead;
    std::int32_t requested = 0;
    // Up to kPicturesAhead loading; the first missing record ends the list.
    const auto loadAhead = [&] {
        while (ahead.size() < kPicturesAhead && (ahead.empty() || ahead.back().exists)) {
            ahead.push_back(startLoading(requested++));
        }
    };
    loadAhead();
    for (std::int32_t i = 0;; ++i) {
        PendingPicture current = std::move(ahead.front());
        ahead.pop_front();
        if (!current.exists) {
            break;
        }
        try {
            run.picture = current.picture.get();
        } catch (const Error& error) {
            const FrameErrorAnswer answer =
                services.AskFrameError ? services.AskFrameError(error.what()) : FrameErrorAnswer::Yes;
            if (answer == FrameErrorAnswer::Yes) {
                run.positions = std::int64_t{i} + 1;
                loadAhead();
                continue;
            }
            result = flush() ? kResultStopped : kResultWriteFailed;
            run.ReleaseAVIObjects(true);
            return;
        }
        if (run.picture->BitsPerPixel() == 24 && run.picture->Width() == run.workingFrame->Width() &&
            run.picture->Height() == run.workingFrame->Height()) {
            run.frameDib = GetFrameDIB(*run.picture, bits);  // fitting would only copy it
            run.picture.reset();
            loadAhead();
        } else {
            FitPicture(*run.picture, current.record.Stretch != 0, *run.workingFrame);
            run.picture.reset();
            loadAhead();
            run.frameDib = GetFrameDIB(*run.workingFrame, bits);
        }
        waiting.push_back(i);
        if (!run.compressedStream->Compress(std::move(run.frameDib), sink)) {
            result = kResultWriteFailed;
            run.ReleaseAVIObjects(true);
            return;
        }
        run.positions = std::int64_t{i} + 1;
        if (progress && !progress(ProgressPercent(i, count))) {
            result = kResultStopped;
            break;
        }
    }

    const bool flushed = flush();
    if (!run.ReleaseAVIObjects(true) || !flushed) {
        result = kResultWriteFailed;
        return;
    }
    if (!(variables == header.CodecSettings)) {
        header.CodecSettings = variables;
        settingsChanged = true;
    }
}

}  // namespace kinetar::avi
