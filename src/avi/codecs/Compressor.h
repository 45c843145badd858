#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "avi/frames/FrameDIB.h"
#include "avi/writer/Container.h"
#include "avi/writer/StreamParameters.h"

namespace kinetar::avi {

// A quality of kQualityDefault leaves the codec at its own default.
inline constexpr std::uint32_t kQualityDefault = 0xFFFFFFFF;
inline constexpr std::uint32_t kQualityMax = 10000;

// What a compressor is made with, taken from the compressor variables after the choice.
struct CompressionOptions {
    std::uint32_t FccHandler = 0;
    std::uint32_t KeyFrameEvery = 0;          // 0: the codec's own interval
    std::uint32_t Quality = kQualityDefault;  // 0 to 10000, or kQualityDefault
    // Outside AVI the frames carry the exact rate as their time base, 4:2:0 video its colour tags,
    // and an odd side is padded with the background colour.
    Container Into = Container::Avi;
    std::uint32_t RateNumerator = 25;
    std::uint32_t RateDenominator = 1;
    std::array<std::uint8_t, 3> Background{};  // red, green, blue
};

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
    // may answer a frame later. The frame is handed over, so such an encoder reads its rows
    // where they are. False when the sink or the encoder failed.
    virtual bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) = 0;
    // How a container describes the stream; nothing for compressors that only AVI carries.
    virtual std::optional<VideoStreamParameters> StreamParameters() const { return std::nullopt; }
    // Hands out the samples still held back, at the end of a run.
    virtual bool Flush(const SampleSink& /*sink*/) { return true; }
    // Hands out the samples of the frames taken so far and goes on taking frames, where that does
    // not end the stream (an intra-only encoder on several threads); an encoder whose frames
    // depend on later ones keeps its own. False when the sink or the encoder failed.
    virtual bool CatchUp(const SampleSink& /*sink*/) { return true; }
};

}  // namespace kinetar::avi
