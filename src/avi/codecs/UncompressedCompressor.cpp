#include "avi/codecs/UncompressedCompressor.h"

#include "avi/frames/BitmapInfoHeader.h"

namespace kinetar::avi {

namespace {

// The sample is the frame's pixel rows as they are, the format the frame's own.
class UncompressedCompressor final : public Compressor {
public:
    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        if (inputFormat.size() < BitmapInfoHeader::kSize) {
            return false;
        }
        m_format.assign(inputFormat.begin(), inputFormat.end());
        return true;
    }
    std::vector<std::uint8_t> OutputFormat() const override { return m_format; }
    bool Compressed() const override { return false; }
    bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) override
    {
        return sink(frame->Pixels(), true);
    }

private:
    std::vector<std::uint8_t> m_format;
};

}  // namespace

std::unique_ptr<Compressor> MakeUncompressedCompressor(const CompressionOptions& /*options*/)
{
    return std::make_unique<UncompressedCompressor>();
}

}  // namespace kinetar::avi
