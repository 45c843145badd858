#include "avi/codecs/CodecRegistry.h"

#include <algorithm>
#include <cctype>
#include <limits>

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

namespace {

// The codec's name without what follows it in brackets or after a comma: "H.264".
std::string ShortName(const std::string& name)
{
    return name.substr(0, std::min(name.find(" ("), name.find(',')));
}

// "24-bit", "4- and 8-bit", "1-, 4-, 8- and 24-bit".
std::string DepthList(unsigned depths)
{
    std::vector<std::string> listed;
    for (const int bits : {1, 4, 8, 24}) {
        if ((depths & DepthBit(bits)) != 0) {
            listed.push_back(std::to_string(bits));
        }
    }
    std::string text;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        text += (i == 0                   ? ""
                 : i + 1 == listed.size() ? " and "
                                          : ", ") +
                listed[i] + (i + 1 == listed.size() ? "" : "-");
    }
    return text + "-bit";
}

std::string ContainerTitle(Container container)
{
    switch (container) {
    case Container::Avi:
        return "AVI";
    case Container::Mp4:
        return "MP4";
    case Container::Mkv:
        return "Matroska";
    case Container::WebM:
        return "WebM";
    }
    return "AVI";
}

}  // namespace

bool DecodersTakeSize(std::int64_t width, std::int64_t height)
{
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max() / 8;
    return (width + 128) * (height + 128) < kLimit;
}

std::string RefusalText(const CodecInfo& codec, int bitsPerPixel, std::int32_t width, std::int32_t height,
                        Container container)
{
    const std::string name = ShortName(codec.Name);
    if (!codec.GoesInto(container)) {
        return "a " + ContainerTitle(container) + " file cannot carry " + name;
    }
    const auto coded = [&codec](std::int32_t side) {
        return (std::int64_t{side} + codec.CodedBlock - 1) / codec.CodedBlock * codec.CodedBlock;
    };
    if (!DecodersTakeSize(coded(width), coded(height))) {
        return name + " codes " + std::to_string(width) + " x " + std::to_string(height) + " as " +
               std::to_string(coded(width)) + " x " + std::to_string(coded(height)) +
               ", larger than video players can show";
    }
    const unsigned depths = codec.Depths | (container == Container::Avi ? 0U : codec.OtherDepths);
    const bool sizeRule = codec.SizeMultiple > 1 && (container == Container::Avi || codec.OtherDepths == 0);
    const bool sizeTaken = !sizeRule || (width % codec.SizeMultiple == 0 && height % codec.SizeMultiple == 0);
    if (codec.Takes(bitsPerPixel, container) && sizeTaken) {
        return {};
    }
    std::string text = name + " takes only";
    if (depths != kEveryDepth) {
        text += " " + DepthList(depths);
    }
    text += " frames";
    if (sizeRule) {
        text += codec.SizeMultiple == 2 ? " of even width and height"
                                        : " of width and height in multiples of " + std::to_string(codec.SizeMultiple);
    }
    return text;
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
