#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "avi/codecs/CodecRegistry.h"
#include "avi/writer/AviWriter.h"
#include "avi/writer/Container.h"
#include "avi/writer/StreamParameters.h"

namespace kinetar::avi {

// The file a run writes into, whichever kind it is. The run opens it, describes the stream before
// the compressor is chosen, gives it the compressor's format, then the samples; Close() always
// leaves a playable file of the samples written.
class VideoOutput {
public:
    virtual ~VideoOutput() = default;

    // Called before the compressor is chosen, with the blank frame's format.
    virtual bool CreateStream(const StreamInfo& info, std::span<const std::uint8_t> blankFormat) = 0;
    // The chosen compressor's stream; after it, audio streams may be added, then Start().
    virtual bool SetFormat(const Compressor& compressor, const CodecInfo& codec) = 0;
    virtual bool AddAudioStream(const AudioStreamParameters& audio) = 0;
    virtual bool Start() = 0;

    virtual bool WriteSample(std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame) = 0;
    // The positions before this one that have no sample stay empty. An AVI file writes an empty
    // chunk for each at once (it would at the next sample); the other kinds need nothing.
    virtual bool SkipTo(std::int64_t position) = 0;
    // An encoded audio packet: its time and length in samples of the audio stream's rate.
    virtual bool WriteAudio(std::span<const std::uint8_t> packet, std::int64_t pts, std::int64_t duration) = 0;

    // Closes the file, the video lasting the given number of frame positions. True when it is
    // valid; Failed() then tells whether it holds less than was written to it.
    virtual bool Close(std::int64_t positions) = 0;
    virtual bool Failed() const = 0;
    // The errno of the first write (or close) that failed, 0 when none did.
    virtual int SystemError() const = 0;
};

// Our own AVI writer for Container::Avi, the container library for the others. Takes the open
// descriptor of the destination's temporary file and closes it.
std::unique_ptr<VideoOutput> MakeVideoOutput(Container container, int fd, const std::string& destination);

}  // namespace kinetar::avi
