#include "avi/frames/BitmapInfoHeader.h"

#include "common/LittleEndian.h"

namespace kinetar::avi {

std::optional<BitmapInfoHeader> BitmapInfoHeader::Parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kSize) {
        return std::nullopt;
    }
    BitmapInfoHeader header;
    header.Size = LoadLE32(bytes, 0);
    header.Width = static_cast<std::int32_t>(LoadLE32(bytes, 4));
    header.Height = static_cast<std::int32_t>(LoadLE32(bytes, 8));
    header.Planes = LoadLE16(bytes, 12);
    header.BitCount = LoadLE16(bytes, 14);
    header.Compression = LoadLE32(bytes, 16);
    header.SizeImage = LoadLE32(bytes, 20);
    header.XPelsPerMeter = static_cast<std::int32_t>(LoadLE32(bytes, 24));
    header.YPelsPerMeter = static_cast<std::int32_t>(LoadLE32(bytes, 28));
    header.ClrUsed = LoadLE32(bytes, 32);
    header.ClrImportant = LoadLE32(bytes, 36);
    return header;
}

void BitmapInfoHeader::Write(std::span<std::uint8_t> bytes) const
{
    StoreLE32(bytes, 0, Size);
    StoreLE32(bytes, 4, static_cast<std::uint32_t>(Width));
    StoreLE32(bytes, 8, static_cast<std::uint32_t>(Height));
    StoreLE16(bytes, 12, Planes);
    StoreLE16(bytes, 14, BitCount);
    StoreLE32(bytes, 16, Compression);
    StoreLE32(bytes, 20, SizeImage);
    StoreLE32(bytes, 24, static_cast<std::uint32_t>(XPelsPerMeter));
    StoreLE32(bytes, 28, static_cast<std::uint32_t>(YPelsPerMeter));
    StoreLE32(bytes, 32, ClrUsed);
    StoreLE32(bytes, 36, ClrImportant);
}

}  // namespace kinetar::avi
