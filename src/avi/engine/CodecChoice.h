#pragma once

#include <string>

#include "avi/audio/AudioTrack.h"
#include "avi/codecs/CodecRegistry.h"
#include "avi/writer/Container.h"
#include "avi/writer/StreamParameters.h"
#include "project/ProjectFile.h"

// What a run chooses by the kind of file it writes: the compressor when nobody is asked, the
// sound's codec, and the words for a compressor that refuses the frames.
namespace kinetar::avi {

// The sound each kind of file carries: what its players expect.
AudioCodec SoundCodecFor(Container container);

// The sound stream's description as the file's writer takes it.
AudioStreamParameters StreamParametersOf(const AudioStreamFormat& format);

// What the compressor refuses of the run's frames.
std::string RefusalDetail(const CodecInfo& codec, int bits, const project::ProjectHeader& header, Container container);

// Without a chooser: the previous choice when this build has it, else uncompressed. Outside AVI
// the previous choice must go into the file and take the depth, else the first codec that does.
// Always true: nobody was asked, so nobody cancelled.
bool DefaultChooser(project::CodecSettings& variables, const CodecRegistry& codecs, Container container, int bits);

}  // namespace kinetar::avi
