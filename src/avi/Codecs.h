#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "avi/FrameFitting.h"
#include "project/ProjectFile.h"

namespace kinetar::avi {

// A quality of kQualityDefault leaves the codec at its own default.
inline constexpr std::uint32_t kQualityDefault = 0xFFFFFFFF;
inline constexpr std::uint32_t kQualityMax = 10000;

// The options a compressor is made with, taken from the compressor variables after the choice.
struct CompressionOptions {
    std::uint32_t FccType = 0;
    std::uint32_t FccHandler = 0;
    std::uint32_t KeyFrameEvery = 0;
    std::uint32_t Quality = kQualityDefault;  // 0 to 10000, or kQualityDefault
    std::uint32_t BytesPerSecond = 0;
    std::uint32_t Flags = 0;
};
inline constexpr std::uint32_t kCompressValid = 8;
inline constexpr std::uint32_t kCompressKeyFrames = 4;
inline constexpr std::uint32_t kCompressDataRate = 2;
CompressionOptions MakeCompressionOptions(const project::CodecSettings& variables);

// The compressor variables of a choice: size 64, flags 1 (valid), stream type "vidc", the codec's
// fourcc; handles, pointers and state stay 0.
project::CodecSettings MakeCodecSettings(std::uint32_t fourcc, std::uint32_t quality = kQualityDefault);
inline constexpr std::uint32_t kCodecSettingsValid = 1;

// The fields of the BITMAPINFOHEADER that opens a frame format which compressors look at.
struct BitmapFormat {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    int BitCount = 0;
    std::uint32_t Compression = 0;
};
// Nullopt when the format is shorter than the 40-byte header.
std::optional<BitmapFormat> ParseBitmapFormat(std::span<const std::uint8_t> format);
// Little-endian stores into a format being built.
void StoreU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);
void StoreU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);

// Receives one sample; false when it could not be written.
using SampleSink = std::function<bool(std::span<const std::uint8_t> sample, bool keyFrame)>;

// One compressor of a run. Made from the options, given the input format once, then one frame at a
// time.
class Compressor {
public:
    virtual ~Compressor() = default;
    // False when the compressor cannot take frames of this format (header and colour table).
    virtual bool SetFormat(std::span<const std::uint8_t> inputFormat) = 0;
    // The stream format the file carries.
    virtual std::vector<std::uint8_t> OutputFormat() const = 0;
    // True when samples are compressed ("00dc" chunks).
    virtual bool Compressed() const = 0;
    // Takes one frame and hands every sample that is ready to the sink, oldest first: one per
    // frame, in the order of the frames, though an encoder working on several frames at once
    // may answer a frame later. False when the sink or the encoder failed.
    virtual bool Compress(const FrameDIB& frame, const SampleSink& sink) = 0;
    // Hands out the samples still held back, at the end of a run.
    virtual bool Flush(const SampleSink& /*sink*/) { return true; }
};

struct CodecInfo {
    std::uint32_t Fourcc = 0;
    std::string Name;
    std::function<bool(int bitsPerPixel)> AcceptsDepth;  // none: every depth
    std::function<std::unique_ptr<Compressor>(const CompressionOptions&)> Make;
    bool HasQuality = false;    // the chooser offers a quality for it
    bool EveryFrameKey = true;  // intra-only: every sample is a key frame
};

// The compressors a chooser can offer.
class CodecRegistry {
public:
    void Add(CodecInfo codec) { m_codecs.push_back(std::move(codec)); }
    const CodecInfo* Find(std::uint32_t fourcc) const;
    // Case-insensitive, trailing blanks optional: "dib" finds "DIB ".
    const CodecInfo* FindByText(std::string_view text) const;
    std::vector<const CodecInfo*> ForDepth(int bitsPerPixel) const;
    const std::vector<CodecInfo>& All() const { return m_codecs; }

    // The compressors this build ships.
    static const CodecRegistry& Default();

private:
    std::vector<CodecInfo> m_codecs;
};

inline constexpr std::uint32_t kUncompressedFourcc = 0x20424944;  // "DIB "
inline constexpr std::uint32_t kRleFourcc = 0x656C726D;           // "mrle"
inline constexpr const char* kUncompressedName = "Full Frames (Uncompressed)";

// The four characters of a fourcc.
std::string FourccText(std::uint32_t fourcc);
// Up to four characters, blanks added at the end; nullopt for longer or empty text.
std::optional<std::uint32_t> ParseFourcc(std::string_view text);

// The run-length compressor (4 and 8 bits) and the codec library's encoders this build has.
std::unique_ptr<Compressor> MakeRleCompressor(const CompressionOptions& options);
void AddLibraryCodecs(CodecRegistry& registry);

// The codec library's version as found at run time and the major version the program was built
// against; a run needs them to agree.
std::uint32_t CodecLibraryVersionAtRunTime();
std::uint32_t CodecLibraryMajorAtBuild();
bool CodecLibraryMatches(std::uint32_t runTimeVersion, std::uint32_t builtMajor);

}  // namespace kinetar::avi
