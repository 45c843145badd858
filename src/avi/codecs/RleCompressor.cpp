#include "avi/codecs/RleCompressor.h"

#include <vector>

#include "avi/codecs/RleEncoder.h"
#include "avi/frames/BitmapInfoHeader.h"

namespace kinetar::avi {

namespace {

// Windows bitmap run-length frames (BI_RLE8 / BI_RLE4). A key frame codes every pixel; the frames
// between skip what did not change since the frame before.
class RleCompressor final : public Compressor {
public:
    explicit RleCompressor(const CompressionOptions& options)
        : m_keyFrameEvery(options.KeyFrameEvery != 0 ? options.KeyFrameEvery : kDefaultKeyFrameEvery)
    {
    }

    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        auto format = BitmapInfoHeader::Parse(inputFormat);
        if (!format || (format->BitCount != 4 && format->BitCount != 8) || format->Compression != 0) {
            return false;
        }
        m_format.assign(inputFormat.begin(), inputFormat.end());
        format->Compression = format->BitCount == 8 ? 1U : 2U;  // BI_RLE8 or BI_RLE4
        format->Write(m_format);
        return true;
    }
    std::vector<std::uint8_t> OutputFormat() const override { return m_format; }
    bool Compressed() const override { return true; }

    bool Compress(std::unique_ptr<const FrameDIB> picture, const SampleSink& sink) override
    {
        const FrameDIB& frame = *picture;
        const IndexedRows rows{frame.Pixels(), frame.Width(), frame.Height(), frame.Stride(), frame.BitsPerPixel()};
        const bool keyFrame = m_previous.empty() || m_framesSinceKey + 1 >= m_keyFrameEvery;
        m_sample.clear();
        if (keyFrame) {
            EncodeRle(rows, nullptr, m_sample);
            m_framesSinceKey = 0;
        } else {
            const IndexedRows previous{m_previous, frame.Width(), frame.Height(), frame.Stride(), frame.BitsPerPixel()};
            EncodeRle(rows, &previous, m_sample);
            ++m_framesSinceKey;
        }
        m_previous.assign(rows.Pixels.begin(), rows.Pixels.end());
        return sink(m_sample, keyFrame);
    }

private:
    static constexpr std::uint32_t kDefaultKeyFrameEvery = 25;

    std::uint32_t m_keyFrameEvery;
    std::uint32_t m_framesSinceKey = 0;
    std::vector<std::uint8_t> m_format;
    std::vector<std::uint8_t> m_previous;
    std::vector<std::uint8_t> m_sample;
};

}  // namespace

std::unique_ptr<Compressor> MakeRleCompressor(const CompressionOptions& options)
{
    return std::make_unique<RleCompressor>(options);
}

}  // namespace kinetar::avi
