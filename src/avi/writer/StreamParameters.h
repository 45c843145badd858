#pragma once

#include <cstdint>
#include <vector>

namespace kinetar::avi {

// An encoded video stream as a container describes it. The numbers are the codec library's own
// (codec ids, pixel formats, colour enums), passed through by layers that do not include it.
struct VideoStreamParameters {
    int CodecId = 0;
    int PixelFormat = -1;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    int BitsPerCodedSample = 0;
    int Profile = -99;
    int Level = -99;
    std::vector<std::uint8_t> Extradata;
    int ColorPrimaries = 2;  // 2: unspecified
    int ColorTransfer = 2;
    int ColorSpace = 2;
    int ColorRange = 0;  // 0: unspecified, 1: limited, 2: full
};

// An encoded audio stream: one of its packets covers FrameSize samples; the first InitialPadding
// samples the decoder gives are the encoder's priming, not sound.
struct AudioStreamParameters {
    int CodecId = 0;  // 0: found by CodecName
    const char* CodecName = "";
    int SampleRate = 48000;
    int Channels = 2;
    int FrameSize = 0;
    int InitialPadding = 0;
    int BitsPerCodedSample = 0;
    std::vector<std::uint8_t> Extradata;
};

}  // namespace kinetar::avi
