#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "avi/codecs/Compressor.h"
#include "avi/writer/Container.h"
#include "project/ProjectFile.h"

namespace kinetar::avi {

CompressionOptions MakeCompressionOptions(const project::CodecSettings& variables);

// The compressor variables of a choice: size 64, flags 1 (valid), stream type "vidc", the codec's
// fourcc; handles, pointers and state stay 0.
project::CodecSettings MakeCodecSettings(std::uint32_t fourcc, std::uint32_t quality = kQualityDefault);
inline constexpr std::uint32_t kCodecSettingsValid = 1;

// The frame depths a codec takes, one bit each.
constexpr unsigned DepthBit(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return 1U;
    case 4:
        return 2U;
    case 8:
        return 4U;
    case 24:
        return 8U;
    default:
        return 0U;
    }
}
inline constexpr unsigned kEveryDepth = DepthBit(1) | DepthBit(4) | DepthBit(8) | DepthBit(24);

struct CodecInfo {
    std::uint32_t Fourcc = 0;
    std::string Name;
    unsigned Depths = kEveryDepth;
    std::function<std::unique_ptr<Compressor>(const CompressionOptions&)> Make;
    bool HasQuality = false;                             // the chooser offers a quality for it
    bool EveryFrameKey = true;                           // intra-only: every sample is a key frame
    unsigned Containers = ContainerBit(Container::Avi);  // the kinds of file that can carry it
    unsigned OtherDepths = 0;                            // further depths taken outside AVI
    // Both sides must be multiples of it; outside AVI a codec with OtherDepths pads an odd side.
    int SizeMultiple = 1;
    // The side of the blocks it codes: a decoder works on the picture padded to them, and that
    // padded picture must be one decoders take.
    int CodedBlock = 1;

    bool Takes(int bitsPerPixel) const { return (Depths & DepthBit(bitsPerPixel)) != 0; }
    bool Takes(int bitsPerPixel, Container container) const
    {
        return Takes(bitsPerPixel) || (container != Container::Avi && (OtherDepths & DepthBit(bitsPerPixel)) != 0);
    }
    bool GoesInto(Container container) const { return (Containers & ContainerBit(container)) != 0; }
};

// Whether decoders built on the codec library take a picture of this size: they refuse one whose
// area with a margin of 128 reaches a limit, and a player built on them shows nothing.
bool DecodersTakeSize(std::int64_t width, std::int64_t height);

// What the codec refuses of frames of this depth and size in this kind of file, for a user: "H.264
// takes only 24-bit frames of even width and height". Empty when it takes them.
std::string RefusalText(const CodecInfo& codec, int bitsPerPixel, std::int32_t width, std::int32_t height,
                        Container container);

// The compressors a chooser can offer.
class CodecRegistry {
public:
    void Add(CodecInfo codec) { m_codecs.push_back(std::move(codec)); }
    const CodecInfo* Find(std::uint32_t fourcc) const;
    // Case-insensitive, trailing blanks optional: "dib" finds "DIB ".
    const CodecInfo* FindByText(std::string_view text) const;
    std::vector<const CodecInfo*> ForDepth(int bitsPerPixel) const;
    // Those of the depth that the kind of file can carry.
    std::vector<const CodecInfo*> ForDepth(int bitsPerPixel, Container container) const;
    const std::vector<CodecInfo>& All() const { return m_codecs; }

    // The compressors this build ships.
    static const CodecRegistry& Default();

private:
    std::vector<CodecInfo> m_codecs;
};

inline constexpr std::uint32_t kUncompressedFourcc = 0x20424944;  // "DIB "
inline constexpr std::uint32_t kRleFourcc = 0x656C726D;           // "mrle"
inline constexpr const char* kUncompressedName = "Full Frames (Uncompressed)";

}  // namespace kinetar::avi
