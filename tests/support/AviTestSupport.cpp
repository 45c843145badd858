#include "support/AviTestSupport.h"

#include <sstream>

namespace kinetar::test {

namespace {

std::vector<std::uint8_t> BmpFile(int width, int height, int bitsPerPixel, const std::vector<std::array<std::uint8_t, 3>>& palette,
                                  const std::vector<std::uint8_t>& rowsBottomUp)
{
    const auto tableBytes = static_cast<std::uint32_t>(palette.size() * 4);
    const auto offset = 14U + 40U + tableBytes;
    ByteWriter out;
    out.Text("BM").U32(offset + static_cast<std::uint32_t>(rowsBottomUp.size())).U32(0).U32(offset);
    out.U32(40).I32(width).I32(height).U16(1).U16(static_cast<std::uint32_t>(bitsPerPixel)).U32(0);
    out.U32(static_cast<std::uint32_t>(rowsBottomUp.size())).U32(2835).U32(2835);
    out.U32(static_cast<std::uint32_t>(palette.size())).U32(0);
    for (const auto& color : palette) {
        out.U8(color[2]).U8(color[1]).U8(color[0]).U8(0);
    }
    out.Bytes(rowsBottomUp);
    return out.Data();
}

std::size_t Stride(int width, int bits)
{
    return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

}  // namespace

std::vector<std::uint8_t> Bmp24(const RgbImage& image)
{
    const std::size_t stride = Stride(image.Width, 24);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(image.Height));
    for (int y = 0; y < image.Height; ++y) {
        std::uint8_t* row = rows.data() + static_cast<std::size_t>(image.Height - 1 - y) * stride;
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t color = image.At(x, y);
            row[3 * x] = static_cast<std::uint8_t>(color);
            row[3 * x + 1] = static_cast<std::uint8_t>(color >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(color >> 16);
        }
    }
    return BmpFile(image.Width, image.Height, 24, {}, rows);
}

std::vector<std::uint8_t> BmpIndexed(int width, int height, int bitsPerPixel,
                                     const std::vector<std::array<std::uint8_t, 3>>& palette,
                                     const std::vector<std::uint8_t>& indices)
{
    const std::size_t stride = Stride(width, bitsPerPixel);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rows.data() + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t index = indices[static_cast<std::size_t>(y * width + x)];
            const auto column = static_cast<std::size_t>(x);
            if (bitsPerPixel == 8) {
                row[column] = index;
            } else if (bitsPerPixel == 4) {
                row[column / 2] = static_cast<std::uint8_t>(row[column / 2] | (column % 2 == 0 ? index << 4 : index));
            } else {
                row[column / 8] = static_cast<std::uint8_t>(row[column / 8] | ((index & 1) << (7 - column % 8)));
            }
        }
    }
    return BmpFile(width, height, bitsPerPixel, palette, rows);
}

RgbImage SolidImage(int width, int height, std::uint32_t color)
{
    RgbImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        image.Pixels.insert(image.Pixels.end(), {static_cast<std::uint8_t>(color >> 16), static_cast<std::uint8_t>(color >> 8),
                                                 static_cast<std::uint8_t>(color)});
    }
    return image;
}

RgbImage GradientImage(int width, int height, int seed)
{
    RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.Pixels.insert(image.Pixels.end(), {static_cast<std::uint8_t>(x * 7 + seed), static_cast<std::uint8_t>(y * 11 + seed * 3),
                                                     static_cast<std::uint8_t>((x + y) * 5 + 40)});
        }
    }
    return image;
}

std::string FourccOf(std::uint32_t id)
{
    std::string text(4, ' ');
    for (std::size_t i = 0; i < 4; ++i) {
        text[i] = static_cast<char>((id >> (8 * i)) & 0xFF);
    }
    return text;
}

std::uint16_t LoadU16(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t LoadU32(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    return LoadU16(bytes, offset) | static_cast<std::uint32_t>(LoadU16(bytes, offset + 2)) << 16;
}

std::uint64_t LoadU64(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    return LoadU32(bytes, offset) | static_cast<std::uint64_t>(LoadU32(bytes, offset + 4)) << 32;
}

const RiffChunk* RiffChunk::Child(const std::string& fourcc) const
{
    const auto all = ChildrenNamed(fourcc);
    return all.empty() ? nullptr : all.front();
}

std::vector<const RiffChunk*> RiffChunk::ChildrenNamed(const std::string& fourcc) const
{
    std::vector<const RiffChunk*> found;
    for (const auto& child : Children) {
        if (FourccOf(child.Id) == fourcc || (child.ListType != 0 && FourccOf(child.ListType) == fourcc)) {
            found.push_back(&child);
        }
    }
    return found;
}

namespace {

bool WalkRange(std::span<const std::uint8_t> file, std::uint64_t begin, std::uint64_t end, std::vector<RiffChunk>& out,
               std::string* problem)
{
    std::uint64_t at = begin;
    while (at < end) {
        if (at + 8 > end) {
            *problem = "a chunk header at " + std::to_string(at) + " runs past its parent";
            return false;
        }
        RiffChunk chunk;
        chunk.Offset = at;
        chunk.Id = LoadU32(file, at);
        chunk.Size = LoadU32(file, at + 4);
        const std::uint64_t dataEnd = at + 8 + chunk.Size;
        if (dataEnd > end) {
            *problem = FourccOf(chunk.Id) + " at " + std::to_string(at) + " runs past its parent";
            return false;
        }
        const std::string id = FourccOf(chunk.Id);
        if (id == "RIFF" || id == "LIST") {
            if (chunk.Size < 4) {
                *problem = id + " at " + std::to_string(at) + " has no list type";
                return false;
            }
            chunk.ListType = LoadU32(file, at + 8);
            if (!WalkRange(file, at + 12, dataEnd, chunk.Children, problem)) {
                return false;
            }
        }
        at = dataEnd + (chunk.Size % 2);
        if (at > end) {
            *problem = id + " at " + std::to_string(chunk.Offset) + " lacks its pad byte";
            return false;
        }
        out.push_back(std::move(chunk));
    }
    return true;
}

}  // namespace

std::vector<RiffChunk> WalkRiff(std::span<const std::uint8_t> file, std::string* problem)
{
    std::vector<RiffChunk> chunks;
    problem->clear();
    WalkRange(file, 0, file.size(), chunks, problem);
    return chunks;
}

namespace {

std::string Field(const std::string& line, const std::string& name)
{
    const std::string key = name + "=";
    const auto at = line.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const auto start = at + key.size();
    return line.substr(start, line.find('|', start) - start);
}

std::int64_t Number(const std::string& text)
{
    try {
        return std::stoll(text);
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace

std::optional<ProbedVideo> Probe(const std::string& path, bool withPackets)
{
    std::string output;
    const std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_frames,nb_read_frames" +
                                std::string(withPackets ? " -show_entries packet=pts,size,flags" : "") + " -of compact " +
                                ShellQuote(path) + " 2>&1";
    if (RunCommand(command, &output) != 0) {
        return std::nullopt;
    }
    ProbedVideo video;
    bool sawStream = false;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("packet|", 0) == 0) {
            video.Packets.push_back({Number(Field(line, "pts")), Number(Field(line, "size")), Field(line, "flags").find('K') != std::string::npos});
        } else if (line.rfind("stream|", 0) == 0) {
            sawStream = true;
            video.Codec = Field(line, "codec_name");
            video.PixelFormat = Field(line, "pix_fmt");
            video.Width = static_cast<int>(Number(Field(line, "width")));
            video.Height = static_cast<int>(Number(Field(line, "height")));
            video.FrameRate = Field(line, "r_frame_rate");
            video.HeaderFrames = Number(Field(line, "nb_frames"));
            video.CountedFrames = Number(Field(line, "nb_read_frames"));
        } else if (!line.empty()) {
            // Any complaint of the reader makes the file suspect.
            return std::nullopt;
        }
    }
    if (!sawStream) {
        return std::nullopt;
    }
    return video;
}

std::optional<std::vector<RgbImage>> DecodeVideoFrames(const std::string& path)
{
    const auto probed = Probe(path, false);
    if (!probed) {
        return std::nullopt;
    }
    std::string output;
    // Passthrough keeps one output frame per decoded frame, with no duplication for gaps.
    if (RunCommand("ffmpeg -v error -i " + ShellQuote(path) + " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 - 2>/dev/null", &output) != 0) {
        return std::nullopt;
    }
    const std::size_t frameBytes = static_cast<std::size_t>(probed->Width) * static_cast<std::size_t>(probed->Height) * 3;
    if (frameBytes == 0 || output.size() % frameBytes != 0) {
        return std::nullopt;
    }
    std::vector<RgbImage> frames;
    for (std::size_t at = 0; at < output.size(); at += frameBytes) {
        RgbImage image{probed->Width, probed->Height, {}};
        image.Pixels.assign(output.begin() + static_cast<std::ptrdiff_t>(at), output.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
        frames.push_back(std::move(image));
    }
    return frames;
}

}  // namespace kinetar::test
