#include "avi/Codecs.h"

#include <algorithm>
#include <cctype>

#include "avi/AviWriter.h"

namespace kinetar::avi {

CompressionOptions MakeCompressionOptions(const project::CodecSettings& variables)
{
    CompressionOptions options;
    options.FccType = variables.StreamType;
    options.FccHandler = variables.Handler;
    options.KeyFrameEvery = variables.KeyFrameInterval;
    options.Quality = variables.Quality;
    // The chooser counts kilobytes per second.
    options.BytesPerSecond = variables.DataRate * 1024U;
    options.Flags = kCompressValid;
    if (options.KeyFrameEvery != 0) {
        options.Flags |= kCompressKeyFrames;
    }
    if (options.BytesPerSecond != 0) {
        options.Flags |= kCompressDataRate;
    }
    return options;
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

std::optional<BitmapFormat> ParseBitmapFormat(std::span<const std::uint8_t> format)
{
    if (format.size() < 40) {
        return std::nullopt;
    }
    const auto u32 = [&format](std::size_t at) {
        return std::uint32_t{format[at]} | (std::uint32_t{format[at + 1]} << 8) |
               (std::uint32_t{format[at + 2]} << 16) | (std::uint32_t{format[at + 3]} << 24);
    };
    return BitmapFormat{static_cast<std::int32_t>(u32(4)), static_cast<std::int32_t>(u32(8)),
                        format[14] | (format[15] << 8), u32(16)};
}

void StoreU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void StoreU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::string FourccText(std::uint32_t fourcc)
{
    std::string text(4, ' ');
    for (std::size_t i = 0; i < 4; ++i) {
        text[i] = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
    }
    return text;
}

std::optional<std::uint32_t> ParseFourcc(std::string_view text)
{
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    std::string padded(text);
    padded.resize(4, ' ');
    return FourCC(padded[0], padded[1], padded[2], padded[3]);
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
    std::vector<const CodecInfo*> codecs;
    for (const auto& codec : m_codecs) {
        if (!codec.AcceptsDepth || codec.AcceptsDepth(bitsPerPixel)) {
            codecs.push_back(&codec);
        }
    }
    return codecs;
}

namespace {

// Full frames: the sample is the frame's pixel rows as they are, the format the frame's own.
class UncompressedCompressor final : public Compressor {
public:
    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        if (inputFormat.size() < 40) {
            return false;
        }
        m_format.assign(inputFormat.begin(), inputFormat.end());
        return true;
    }
    std::vector<std::uint8_t> OutputFormat() const override { return m_format; }
    bool Compressed() const override { return false; }
    bool Compress(const FrameDIB& frame, const SampleSink& sink) override { return sink(frame.Pixels(), true); }

private:
    std::vector<std::uint8_t> m_format;
};

}  // namespace

const CodecRegistry& CodecRegistry::Default()
{
    static const CodecRegistry registry = [] {
        CodecRegistry codecs;
        codecs.Add({kUncompressedFourcc, kUncompressedName, nullptr,
                    [](const CompressionOptions&) { return std::make_unique<UncompressedCompressor>(); }});
        codecs.Add({kRleFourcc, "Microsoft RLE, 4 and 8 bits (plays on Windows)",
                    [](int bits) { return bits == 4 || bits == 8; }, MakeRleCompressor, false, false});
        AddLibraryCodecs(codecs);
        return codecs;
    }();
    return registry;
}

}  // namespace kinetar::avi
