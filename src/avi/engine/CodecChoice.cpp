#include "avi/engine/CodecChoice.h"

namespace kinetar::avi {

AudioCodec SoundCodecFor(Container container)
{
    switch (container) {
    case Container::Avi:
        return AudioCodec::Pcm16;
    case Container::Mp4:
        return AudioCodec::Aac;
    case Container::Mkv:
    case Container::WebM:
        return AudioCodec::Opus;
    }
    return AudioCodec::Pcm16;
}

AudioStreamParameters StreamParametersOf(const AudioStreamFormat& format)
{
    return {.CodecName = format.CodecName.c_str(),
            .SampleRate = format.SampleRate,
            .Channels = format.Channels,
            .FrameSize = format.FrameSize,
            .InitialPadding = format.InitialPadding,
            .BitsPerCodedSample = format.CodecName == "pcm_s16le" ? 16 : 0,
            .Extradata = format.Extradata};
}

std::string RefusalDetail(const CodecInfo& codec, int bits, const project::ProjectHeader& header, Container container)
{
    std::string text = RefusalText(codec, bits, header.Width, header.Height, container);
    if (text.empty()) {
        text = codec.Name + " cannot take frames of " + std::to_string(header.Width) + " x " +
               std::to_string(header.Height) + " at " + std::to_string(bits) + " bits";
    }
    return text;
}

bool DefaultChooser(project::CodecSettings& variables, const CodecRegistry& codecs, Container container, int bits)
{
    const CodecInfo* previous = codecs.Find(variables.Handler);
    if (container == Container::Avi) {
        if (previous == nullptr) {
            const auto quality = variables.Quality;
            variables = MakeCodecSettings(kUncompressedFourcc, quality);
        }
        return true;
    }
    if (previous == nullptr || !previous->GoesInto(container) || !previous->Takes(bits, container)) {
        const auto fitting = codecs.ForDepth(bits, container);
        if (!fitting.empty()) {
            const auto quality =
                previous != nullptr && previous->HasQuality ? std::uint32_t{variables.Quality} : kQualityDefault;
            variables = MakeCodecSettings(fitting.front()->Fourcc, quality);
        }
    }
    return true;
}

}  // namespace kinetar::avi
