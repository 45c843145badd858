#include "avi/codecs/CodecRegistry.h"

#include <algorithm>
#include <cctype>

#include "avi/codecs/JpegCompressor.h"
#include "avi/codecs/LibavCompressors.h"
#include "avi/codecs/RleCompressor.h"
#include "avi/codecs/UncompressedCompressor.h"
#include "avi/writer/FourCC.h"

namespace kinetar::avi {

CompressionOptions MakeCompressionOptions(const project::CodecSettings& variables)
{
    return {.FccHandler = variables.Handler, .KeyFrameEvery = variables.KeyFrameInterval, .Quality = variables.Quality};
}

project::CodecSettings MakeCodecSettings(std::uint32_t fourcc, std::uint32_t quality)
{
    project::CodecSettings settings;
    settings.StructSize = 64;
    settings.Flags = kCodecSettingsValid;
    settings.StreamType = FourCC('v', 'i', 'd', 'c');
    settings.Handler = fourcc;
    settings.Quality = quality;
    return settings;
}

const CodecInfo* CodecRegistry::Find(std::uint32_t fourcc) const
{
    const auto found =
        std::find_if(m_codecs.begin(), m_codecs.end(), [&](const CodecInfo& codec) { return codec.Fourcc == fourcc; });
    return found == m_codecs.end() ? nullptr : &*found;
}

const CodecInfo* CodecRegistry::FindByText(std::string_view text) const
{
    const auto wanted = ParseFourcc(text);
    if (!wanted) {
        return nullptr;
    }
    const auto upper = [](std::uint32_t fourcc) {
        std::string letters = FourccText(fourcc);
        for (char& letter : letters) {
            letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        }
        return letters;
    };
    const std::string key = upper(*wanted);
    const auto found = std::find_if(m_codecs.begin(), m_codecs.end(),
                                    [&](const CodecInfo& codec) { return upper(codec.Fourcc) == key; });
    return found == m_codecs.end() ? nullptr : &*found;
}

std::vector<const CodecInfo*> CodecRegistry::ForDepth(int bitsPerPixel) const
{
    return ForDepth(bitsPerPixel, Container::Avi);
}

std::vector<const CodecInfo*> CodecRegistry::ForDepth(int bitsPerPixel, Container container) const
{
    std::vector<const CodecInfo*> codecs;
    for (const auto& codec : m_codecs) {
        if (codec.Takes(bitsPerPixel, container) && codec.GoesInto(container)) {
            codecs.push_back(&codec);
        }
    }
    return codecs;
}

const CodecRegistry& CodecRegistry::Default()
{
    static const CodecRegistry registry = [] {
        CodecRegistry codecs;
        codecs.Add({.Fourcc = kUncompressedFourcc, .Name = kUncompressedName, .Make = MakeUncompressedCompressor});
        codecs.Add({.Fourcc = kRleFourcc,
                    .Name = "Microsoft RLE, 4 and 8 bits (plays on Windows)",
                    .Depths = DepthBit(4) | DepthBit(8),
                    .Make = MakeRleCompressor,
                    .EveryFrameKey = false});
        codecs.Add({.Fourcc = kMjpgFourcc,
                    .Name = "Motion JPEG (plays on Windows)",
                    .Depths = DepthBit(24),
                    .Make = MakeJpegCompressor,
                    .HasQuality = true});
        AddLibavCompressors(codecs);
        return codecs;
    }();
    return registry;
}

}  // namespace kinetar::avi
