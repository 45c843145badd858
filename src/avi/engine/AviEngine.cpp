#include "avi/engine/AviEngine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <memory>
#include <optional>

#include "avi/audio/AudioTrack.h"
#include "avi/codecs/CodecLibraryVersion.h"
#include "avi/engine/CodecChoice.h"
#include "avi/engine/FrameText.h"
#include "avi/engine/PictureReadAhead.h"
#include "avi/engine/VideoOutput.h"
#include "avi/engine/VideoSettings.h"
#include "avi/frames/ShownPicture.h"
#include "common/Error.h"
#include "common/ReplacingFile.h"
#include "pictures/LoadPicture.h"
#include "project/FrameRecordReader.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::avi {

using project::ProjectHeader;

std::string FrameErrorText(const std::string& message)
{
    return message + "\r\nDo you want continue?";
}

// The quotient in floating point, truncated. The product is taken in 64 bits: in 32
// it wraps past 21,474,836 frames (a long show at a high rate) and the bar would go negative.
int ProgressPercent(std::int64_t index, std::int64_t count)
{
    if (count <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<double>(index * 100) / static_cast<double>(count));
}

namespace {

// The objects one run holds, in the order they are acquired.
class AviRun {
public:
    explicit AviRun(RunOutcome& outcome) : m_outcome(outcome) {}
    AviRun(const AviRun&) = delete;
    AviRun& operator=(const AviRun&) = delete;
    // An unexpected failure passing through drops the temporary file: a run that broke down
    // mid-way never takes the place of a good earlier video.
    ~AviRun() { Discard(); }

    // The destination is written under a temporary name in its own folder; its extension says
    // what kind of file. Returns 0 or the errno of why it could not be.
    int OpenFile(const std::string& destination)
    {
        if (destination.empty()) {
            return ENOENT;
        }
        struct stat status {};
        if (::stat(destination.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            return EISDIR;
        }
        // A replaced video keeps the mode the user gave the old one.
        m_output.emplace(destination, ReplacingFile::Permissions::KeepDestination);
        if (!m_output->IsOpen()) {
            const int error = m_output->CreateError();
            if (!m_output->UnsafeLink().empty()) {
                m_outcome.Detail = UnsafeLinkMessage(m_output->UnsafeLink());
            }
            m_output.reset();
            return error != 0 ? error : EIO;
        }
        m_output->DropDestinationCache();
        file = MakeVideoOutput(ContainerForPath(destination), m_output->Descriptor(), destination);
        (void)m_output->ReleaseDescriptor();  // the writer closes it
        return 0;
    }

    // Frees and releases whatever the run holds. The file is closed into a valid video; it replaces
    // the destination when it holds a frame or the run went through every record, otherwise it is
    // removed, so a run that ends before its first frame leaves a good earlier video alone. False
    // when anything could not be written or the file could not be moved.
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
            const bool valid = file->Close(positions);
            ok = valid && !file->Failed();
            NoteError(file->SystemError());
            file.reset();
            if (valid && (m_outcome.FramesWritten > 0 || completed)) {
                const int error = m_output->Commit();
                NoteError(error);
                m_outcome.DestinationReplaced = error == 0;
                ok = ok && error == 0;
            }
            m_output.reset();  // removes the temporary file unless it took the destination's name
        }
        return ok;
    }

    // Closes and removes the new file, the destination left as it was.
    void Discard() noexcept
    {
        completed = false;
        try {
            compressedStream.reset();
            if (file) {
                (void)file->Close(positions);
                file.reset();
            }
        } catch (...) {
            file.reset();
        }
        m_output.reset();
    }

    // Keeps the first errno the output met.
    void NoteError(int error)
    {
        if (m_outcome.SystemError == 0) {
            m_outcome.SystemError = error;
        }
    }

    std::unique_ptr<VideoOutput> file;
    std::unique_ptr<WorkingFrame> workingFrame;
    std::unique_ptr<FrameDIB> frameDib;
    std::unique_ptr<CompressionOptions> options;
    std::unique_ptr<Compressor> compressedStream;
    std::unique_ptr<pictures::DecodedPicture> picture;
    bool completed = false;      // every record was processed
    std::int64_t positions = 0;  // sample positions processed, skipped ones included

private:
    RunOutcome& m_outcome;
    std::optional<ReplacingFile> m_output;
};

constexpr std::size_t kPicturesAhead = 2;
// A held picture's sample is written at most this many times per compression, so progress
// reports and a stop still come every few seconds of video.
constexpr std::int64_t kMaxRepeats = 250;
// Empty positions filled between two progress reports: a few milliseconds of writing.
constexpr std::int64_t kPositionsSkippedAtOnce = 4096;

// A frame record and its picture, being read.
struct PendingPicture {
    bool exists = false;
    project::FrameRecord record;
    FitOptions options;
    PictureReadAhead::Ticket picture;
    std::vector<project::FrameRecord> captions;  // the caption records before it
    std::int64_t pictureIndex = 0;               // among the picture records, for {index}
};

}  // namespace

void LeftOutFiles::Add(UnreadableFile file)
{
    std::uint64_t& count = file.Sound ? Sounds : Pictures;
    if (count++ < kKept) {
        Kept.push_back(std::move(file));
    }
}

void CreateAVI(ProjectHeader& header, const std::string& workingCopyPath, bool& settingsChanged,
               const ProgressCallback& progress, std::uint8_t& result, const EngineServices& services)
{
    result = kResultDone;
    RunOutcome unasked;
    RunOutcome& outcome = services.Outcome != nullptr ? *services.Outcome : unasked;
    outcome = {};
    CheckVideoSettings(header);
    const int bits = project::ColorDepthBits(header);
    const std::int32_t count = project::ProjectFrameCount(workingCopyPath);
    const project::FrameRate rate = project::GetFrameRate(header);
    // One walk through the records before the run, a block at a time: the video's length and the
    // sounds' cues. A working copy that cannot be opened makes a video of its records' count.
    std::optional<project::TimelineSummary> summary;
    if (const project::FrameRecordReader walk(workingCopyPath, project::FrameRecordReader::Reading::InBlocks);
        walk.IsOpen()) {
        summary = project::SummariseTimeline(walk, rate);
    }
    const std::int64_t videoFrames = summary ? summary->VideoFrames : count;
    const std::int64_t pictureCount = summary ? summary->Pictures : count;
    outcome.VideoFrames = videoFrames;
    // The file's headers count frames in 32 bits.
    if (videoFrames > kMaxVideoFrames) {
        throw Error("The video would be " + std::to_string(videoFrames) + " frames long (allowed: up to " +
                    std::to_string(kMaxVideoFrames) + ")");
    }
    const CodecRegistry& codecs = services.Codecs != nullptr ? *services.Codecs : CodecRegistry::Default();
    // A stop asked before the first frame (during the walk, say) leaves no file behind.
    if (progress && !progress({.Percent = 0, .FramesDone = 0, .FramesTotal = videoFrames})) {
        result = kResultStopped;
        return;
    }

    const std::uint32_t version =
        services.CodecLibraryVersion ? services.CodecLibraryVersion() : CodecLibraryVersionAtRunTime();
    if (!CodecLibraryMatches(version, CodecLibraryMajorAtBuild())) {
        result = kResultOldVideoLibrary;
        return;
    }

    const std::string destination = project::GetText(header.AviFileName);
    const Container container = ContainerForPath(destination);
    AviRun run(outcome);
    if (const int error = run.OpenFile(destination); error != 0) {
        outcome.SystemError = error;
        // A disk without room for one more file is full, whatever else the folder allows.
        result = error == ENOSPC || error == EDQUOT ? kResultWriteFailed : kResultCannotOpenFile;
        run.ReleaseAVIObjects(false);
        return;
    }
    // Before the frames, a write that fails is a full disk (or a broken one), whatever step it serves.
    const auto unlessWriteFailed = [&run](ResultCode refused) {
        return run.file->SystemError() != 0 ? kResultWriteFailed : refused;
    };

    run.workingFrame = std::make_unique<WorkingFrame>(header.Width, header.Height);
    run.frameDib = GetFrameDIB(*run.workingFrame, bits);
    StreamInfo stream;
    stream.Rate = project::GetFrameRate(header).Numerator;
    stream.Scale = project::GetFrameRate(header).Denominator;
    stream.Width = header.Width;
    stream.Height = header.Height;
    stream.SuggestedBufferSize = static_cast<std::uint32_t>(run.frameDib->ImageSize());
    if (!run.file->CreateStream(stream, run.frameDib->Format())) {
        result = unlessWriteFailed(kResultCannotCreateStream);
        run.ReleaseAVIObjects(false);
        return;
    }

    project::CodecSettings variables = header.CodecSettings;
    variables.StructSize = 64;
    variables.Flags = kCodecSettingsValid;
    const bool chosen = services.ChooseCompressor ? services.ChooseCompressor(variables, *run.frameDib)
                                                  : DefaultChooser(variables, codecs, container, bits);
    if (!chosen) {
        result = kResultStopped;
        run.ReleaseAVIObjects(false);
        return;
    }

    run.options = std::make_unique<CompressionOptions>(MakeCompressionOptions(variables));
    run.options->Into = container;
    run.options->RateNumerator = rate.Numerator;
    run.options->RateDenominator = rate.Denominator;
    run.options->Background = header.Background;
    const CodecInfo* codec = codecs.Find(run.options->FccHandler);
    if (codec != nullptr) {
        run.compressedStream = codec->Make(*run.options);
    }
    if (!run.compressedStream) {
        result = kResultCannotMakeCompressor;
        run.ReleaseAVIObjects(true);
        return;
    }

    const bool formatTaken = RefusalText(*codec, bits, header.Width, header.Height, container).empty() &&
                             run.compressedStream->SetFormat(run.frameDib->Format()) &&
                             run.file->SetFormat(*run.compressedStream, *codec);
    if (!formatTaken) {
        result = unlessWriteFailed(kResultFormatRefused);
        if (result == kResultFormatRefused) {
            outcome.Detail = RefusalDetail(*codec, bits, header, container);
        }
        run.ReleaseAVIObjects(true);
        return;
    }
    // The sound track's stream comes between the video stream and the file's header. A sound that
    // cannot be read is put to the frame-error question: Yes leaves it out, the others stop.
    const project::FrameRecordReader recordReader(workingCopyPath);
    std::unique_ptr<AudioTrack> sound;
    if (summary) {
        bool soundStopped = false;
        const SoundErrorQuestion skipSound = [&](const std::string& message, const std::string& path) {
            const UnreadableFile file{.Message = message, .Path = path, .Sound = true};
            const bool skip = !services.AskFrameError || services.AskFrameError(file) == FrameErrorAnswer::Yes;
            if (skip) {
                outcome.LeftOut.Add(file);
            }
            return skip;
        };
        const auto pathOf = [&recordReader](std::int32_t index) {
            project::FrameRecord record;
            return recordReader.Read(index, record) ? project::GetText(record.PictureFileName) : std::string();
        };
        sound = AudioTrack::Make(summary->Cues, pathOf, rate, videoFrames, SoundCodecFor(container), skipSound,
                                 &soundStopped);
        summary.reset();
        if (soundStopped) {
            result = kResultStopped;
            run.ReleaseAVIObjects(true);
            return;
        }
        if (sound && !run.file->AddAudioStream(StreamParametersOf(sound->Format()))) {
            result = unlessWriteFailed(kResultFormatRefused);
            if (result == kResultFormatRefused) {
                outcome.Detail = "this kind of file cannot carry the sound track";
            }
            run.ReleaseAVIObjects(true);
            return;
        }
    }
    if (!run.file->Start()) {
        result = unlessWriteFailed(kResultFormatRefused);
        if (result == kResultFormatRefused) {
            outcome.Detail = RefusalDetail(*codec, bits, header, container);
        }
        run.ReleaseAVIObjects(true);
        return;
    }
    const AudioPacketSink soundSink = [&run](const AudioPacket& packet) {
        return run.file->WriteAudio(packet.Data, packet.Pts, packet.Duration);
    };
    // The sound up to the end of the given frames. It follows each frame as it is written, so the
    // streams stay interleaved, and a run cut short by a full disk has no sound past its last frame
    // (an encoder may still hold frames handed over).
    const auto soundUntil = [&](std::int64_t frames) {
        return !sound || sound->EncodeUntil(project::SampleAtFrame(frames, rate), soundSink);
    };
    // After a stop the sound ends where the video does; a finished run's fades out at its end.
    const auto finishSound = [&](bool stopped) {
        if (!sound) {
            return true;
        }
        return stopped ? sound->FinishAt(project::SampleAtFrame(run.positions, rate), soundSink)
                       : sound->Finish(soundSink);
    };
    run.frameDib.reset();

    // The records of the next two frames are read ahead of the current one, and their pictures
    // asked for: photos, slow to decode, are read on two threads meanwhile, which keeps both cores
    // busy; small pictures are read at their frame's turn (PictureReadAhead). The run holds at
    // most three pictures and two fitted frames (the previous one while a crossfade may need it);
    // each FrameDIB goes to the compressor, which may keep a few while its workers encode them.
    // Every report and question still comes at its frame's turn, and a picture asked for ahead of
    // a stop is dropped unseen. A picture that is only scaled down is needed at the frame's size,
    // so a photo may be decoded smaller.
    const std::int32_t frameWidth = run.workingFrame->Width();
    const std::int32_t frameHeight = run.workingFrame->Height();
    PictureReadAhead readAhead;
    // Sound and caption records take no video time: the next picture or title record is the next
    // frame, and the captions before it go on it.
    std::int64_t picturesRequested = 0;
    const auto startLoading = [&](std::int32_t& index) {
        PendingPicture pending;
        do {
            pending.exists = recordReader.Read(index++, pending.record);
            if (pending.exists && project::IsCaptionRecord(pending.record)) {
                pending.captions.push_back(pending.record);
            }
        } while (pending.exists && project::TakesNoVideoTime(pending.record));
        if (pending.exists) {
            pending.options = FitOptionsFor(header, pending.record);
            pending.pictureIndex = project::IsPictureRecord(pending.record) ? picturesRequested++ : 0;
            pending.picture = readAhead.Request(
                [record = pending.record, header,
                 next = project::IsTitleRecord(pending.record) ? NextPicturePath(recordReader, index) : std::string(),
                 request = PictureRequestFor(header, pending.record, frameWidth, frameHeight), frameWidth,
                 frameHeight] { return LoadFramePicture(record, header, next, request, frameWidth, frameHeight); });
        }
        return pending;
    };
    // Samples come back in the order of their frames, some a frame or two late (an encoder on
    // several threads); each goes to the positions of the oldest frame still waiting for one. A
    // picture held for several frames by an intra-only codec is compressed once and its sample
    // written at each of its positions.
    struct Positions {
        std::int64_t First = 0;
        std::int64_t Count = 1;
    };
    std::deque<Positions> waiting;
    const SampleSink sink = [&](std::span<const std::uint8_t> sample, bool keyFrame) {
        if (waiting.empty()) {
            return false;
        }
        const Positions positions = waiting.front();
        waiting.pop_front();
        for (std::int64_t position = positions.First; position < positions.First + positions.Count; ++position) {
            if (!run.file->WriteSample(position, sample, keyFrame)) {
                return false;
            }
            ++outcome.FramesWritten;
            if (!soundUntil(position + 1)) {
                return false;
            }
        }
        return true;
    };
    const auto flush = [&] { return run.compressedStream->Flush(sink) && waiting.empty(); };

    const bool repeatSamples = codec->EveryFrameKey;
    enum class Step { Go, Stop, Failed };
    // Hands the frame to the compressor for the given number of positions from first, reporting
    // progress after each frame handed over.
    const auto emit = [&](std::unique_ptr<FrameDIB> frame, std::int64_t first, std::int64_t frames) {
        const std::int64_t perCall = repeatSamples ? kMaxRepeats : 1;
        const std::int64_t calls = (frames + perCall - 1) / perCall;
        for (std::int64_t call = 0; call < calls; ++call) {
            const std::int64_t repeats = std::min(perCall, frames - call * perCall);
            std::unique_ptr<FrameDIB> copy = call + 1 < calls ? frame->Clone() : std::move(frame);
            waiting.push_back({first + call * perCall, repeats});
            if (!run.compressedStream->Compress(std::move(copy), sink)) {
                return Step::Failed;
            }
            run.positions = first + call * perCall + repeats;
            if (progress && !progress({.Percent = ProgressPercent(run.positions - 1, videoFrames),
                                       .FramesDone = run.positions,
                                       .FramesTotal = videoFrames})) {
                return Step::Stop;
            }
        }
        return Step::Go;
    };

    // Leaves the positions up to end empty. Before a long gap the compressor hands out the frames it
    // holds where it can; then the positions are filled a few thousand at a time, with a progress
    // report between two steps (a short gap makes none, as skipped frames never have): a stop is
    // heard within a long gap, and closing the file has none left to fill. An encoder that keeps
    // its frames leaves the gap to be filled at its next sample.
    const auto skipTo = [&](std::int64_t end) {
        if (end - run.positions > kPositionsSkippedAtOnce && !run.compressedStream->CatchUp(sink)) {
            return Step::Failed;
        }
        while (waiting.empty() && run.positions < end) {
            const std::int64_t next = std::min(end, run.positions + kPositionsSkippedAtOnce);
            if (!run.file->SkipTo(next)) {
                return Step::Failed;
            }
            run.positions = next;
            if (next < end && progress &&
                !progress({.Percent = ProgressPercent(run.positions - 1, videoFrames),
                           .FramesDone = run.positions,
                           .FramesTotal = videoFrames})) {
                return Step::Stop;
            }
        }
        run.positions = std::max(run.positions, end);
        return Step::Go;
    };

    project::Timeline timeline(rate);
    std::unique_ptr<WorkingFrame> previous;  // the last picture, fitted, for a crossfade out of it
    std::unique_ptr<WorkingFrame> blended;
    // The last picture while it moves on under the next one fading in.
    std::optional<ShownPicture> movingPrevious;
    std::int64_t pictureNumber = 0;  // the place of the picture among the pictures, for automatic motion
    std::deque<PendingPicture> ahead;
    std::int32_t requested = 0;
    // Up to kPicturesAhead loading; the first missing record ends the list.
    const auto loadAhead = [&] {
        while (ahead.size() < kPicturesAhead && (ahead.empty() || ahead.back().exists)) {
            ahead.push_back(startLoading(requested));
        }
    };
    loadAhead();
    Step step = Step::Go;
    while (step == Step::Go) {
        PendingPicture current = std::move(ahead.front());
        ahead.pop_front();
        if (!current.exists) {
            break;
        }
        const std::int64_t start = timeline.Frames();
        const std::int64_t end = timeline.Advance(current.record.Duration);
        try {
            run.picture = current.picture.Take();
        } catch (const Error& error) {
            const UnreadableFile file{.Message = error.what(),
                                      .Path = project::GetText(current.record.PictureFileName)};
            const FrameErrorAnswer answer =
                services.AskFrameError ? services.AskFrameError(file) : FrameErrorAnswer::Yes;
            if (answer == FrameErrorAnswer::Yes) {
                outcome.LeftOut.Add(file);
                // Its positions stay empty, and the next picture cuts in.
                step = skipTo(end);
                previous.reset();
                movingPrevious.reset();
                ++pictureNumber;
                loadAhead();
                continue;
            }
            const bool flushed = flush();
            result = flushed && finishSound(true) ? kResultStopped : kResultWriteFailed;
            run.ReleaseAVIObjects(true);
            return;
        }
        const std::int64_t fade = previous ? project::CrossfadeFrames(current.record.Crossfade, rate, end - start) : 0;
        const bool nextFades = !ahead.empty() && ahead.front().exists && ahead.front().record.Crossfade != 0;
        const std::int64_t number = pictureNumber++;
        const Captions captions =
            DrawCaptions(current.captions, current.record, current.pictureIndex, pictureCount, frameWidth, frameHeight);
        if (project::GetMotion(current.record).Kind != project::MotionKind::None || movingPrevious) {
            // A moving picture, or one fading in over a moving one: every frame is drawn.
            ShownPicture shown = MakeShownPicture(std::move(run.picture), header, current.record, number, end - start,
                                                  frameWidth, frameHeight);
            shown.Captions = captions;
            loadAhead();
            if (!blended) {
                blended = std::make_unique<WorkingFrame>(frameWidth, frameHeight);
            }
            for (std::int64_t k = 0; k < end - start && step == Step::Go; ++k) {
                if (k == 0 || shown.Motion) {
                    DrawShownPicture(shown, k, *run.workingFrame);
                }
                if (k < fade) {
                    if (movingPrevious) {
                        DrawShownPicture(*movingPrevious, movingPrevious->Frames + k, *previous);
                    }
                    BlendFrames(*previous, *run.workingFrame, k, fade, *blended);
                    step = emit(GetFrameDIB(*blended, bits), start + k, 1);
                } else if (shown.Motion) {
                    step = emit(GetFrameDIB(*run.workingFrame, bits), start + k, 1);
                } else {
                    step = emit(GetFrameDIB(*run.workingFrame, bits), start + k, end - start - k);
                    break;
                }
            }
            movingPrevious.reset();
            if (nextFades) {
                if (!previous) {
                    previous = std::make_unique<WorkingFrame>(frameWidth, frameHeight);
                }
                if (shown.Motion) {
                    movingPrevious = std::move(shown);
                } else {
                    std::swap(previous, run.workingFrame);
                }
            } else {
                previous.reset();
            }
            continue;
        }
        if (fade == 0 && !nextFades && captions.empty() && run.picture->BitsPerPixel() == 24 &&
            run.picture->Width() == run.workingFrame->Width() && run.picture->Height() == run.workingFrame->Height()) {
            run.frameDib = GetFrameDIB(std::move(run.picture), bits);  // fitting would only copy it
            loadAhead();
        } else {
            FitPicture(*run.picture, current.options, *run.workingFrame);
            PutCaptions(captions, *run.workingFrame);
            run.picture.reset();
            loadAhead();
            run.frameDib = GetFrameDIB(*run.workingFrame, bits);
        }
        for (std::int64_t k = 0; k < fade && step == Step::Go; ++k) {
            if (!blended) {
                blended = std::make_unique<WorkingFrame>(frameWidth, frameHeight);
            }
            BlendFrames(*previous, *run.workingFrame, k, fade, *blended);
            step = emit(GetFrameDIB(*blended, bits), start + k, 1);
        }
        if (step == Step::Go) {
            step = emit(std::move(run.frameDib), start + fade, end - start - fade);
        }
        if (nextFades) {
            if (!previous) {
                previous = std::make_unique<WorkingFrame>(frameWidth, frameHeight);
            }
            std::swap(previous, run.workingFrame);
        } else {
            previous.reset();
        }
    }
    if (step == Step::Failed) {
        result = kResultWriteFailed;
        run.ReleaseAVIObjects(true);
        return;
    }
    if (step == Step::Stop) {
        result = kResultStopped;
    }
    const bool flushed = flush() && finishSound(step == Step::Stop);
    run.completed = step == Step::Go && flushed;
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
