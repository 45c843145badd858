#include "support/TestFiles.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "pictures/DecodedPicture.h"

namespace kinetar::test {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kinetar-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ByteWriter& ByteWriter::U8(std::uint32_t value)
{
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    return *this;
}

ByteWriter& ByteWriter::U16(std::uint32_t value)
{
    return U8(value & 0xFF).U8((value >> 8) & 0xFF);
}

ByteWriter& ByteWriter::U32(std::uint32_t value)
{
    return U16(value & 0xFFFF).U16(value >> 16);
}

ByteWriter& ByteWriter::Bytes(std::span<const std::uint8_t> bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

ByteWriter& ByteWriter::Text(const std::string& text)
{
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
}

ByteWriter& ByteWriter::Zeros(std::size_t count)
{
    m_bytes.insert(m_bytes.end(), count, 0);
    return *this;
}

std::uint32_t RgbImage::At(int x, int y) const
{
    const auto at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)) * 3;
    return (std::uint32_t{Pixels[at]} << 16) | (std::uint32_t{Pixels[at + 1]} << 8) | Pixels[at + 2];
}

RgbImage ToRgb(const pictures::DecodedPicture& picture)
{
    RgbImage image{picture.Width(), picture.Height(), {}};
    image.Pixels.reserve(static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height) * 3);
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            const pictures::PaletteEntry color = picture.PixelColor(x, y);
            image.Pixels.insert(image.Pixels.end(), {color.Red, color.Green, color.Blue});
        }
    }
    return image;
}

std::optional<RgbImage> ParsePpm(std::span<const std::uint8_t> bytes)
{
    std::size_t position = 0;
    const auto token = [&]() -> std::string {
        while (position < bytes.size()) {
            if (bytes[position] == '#') {
                while (position < bytes.size() && bytes[position] != '\n') {
                    ++position;
                }
            } else if (std::isspace(bytes[position]) != 0) {
                ++position;
            } else {
                break;
            }
        }
        std::string text;
        while (position < bytes.size() && std::isspace(bytes[position]) == 0) {
            text.push_back(static_cast<char>(bytes[position++]));
        }
        return text;
    };
    if (token() != "P6") {
        return std::nullopt;
    }
    RgbImage image;
    try {
        image.Width = std::stoi(token());
        image.Height = std::stoi(token());
        if (std::stoi(token()) != 255) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    ++position;  // the single blank after maxval
    const std::size_t size = static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height) * 3;
    if (position + size > bytes.size()) {
        return std::nullopt;
    }
    image.Pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                        bytes.begin() + static_cast<std::ptrdiff_t>(position + size));
    return image;
}

namespace {

std::optional<RgbImage> DecodeThroughPpm(const std::string& command)
{
    // A decoder that warns about a damaged file may still exit non-zero after writing the whole
    // picture; the PPM parse decides.
    std::string output;
    RunCommand(command, &output);
    return ParsePpm(std::span(reinterpret_cast<const std::uint8_t*>(output.data()), output.size()));
}

}  // namespace

std::optional<RgbImage> DecodeWithImageMagick(const std::string& path)
{
    return DecodeThroughPpm("/usr/bin/convert " + ShellQuote(path + "[0]") + " -depth 8 ppm:- 2>/dev/null");
}

std::optional<RgbImage> DecodeWithFfmpeg(const std::string& path)
{
    return DecodeThroughPpm("ffmpeg -v quiet -i " + ShellQuote(path) +
                            " -frames:v 1 -f image2pipe -c:v ppm -pix_fmt rgb24 - 2>/dev/null");
}

std::optional<RgbImage> DecodeWithPillow(const std::string& path)
{
    const std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]).convert('RGB')\n"
        "sys.stdout.buffer.write(b'P6 %d %d 255\\n' % im.size + im.tobytes())\n";
    return DecodeThroughPpm("/usr/bin/python3 -c " + ShellQuote(script) + " " + ShellQuote(path) + " 2>/dev/null");
}

std::string FirstDifference(const RgbImage& actual, const RgbImage& expected)
{
    if (actual.Width != expected.Width || actual.Height != expected.Height) {
        std::ostringstream text;
        text << "size " << actual.Width << "x" << actual.Height << ", expected " << expected.Width << "x"
             << expected.Height;
        return text.str();
    }
    for (int y = 0; y < actual.Height; ++y) {
        for (int x = 0; x < actual.Width; ++x) {
            if (actual.At(x, y) != expected.At(x, y)) {
                std::ostringstream text;
                text << std::hex << "pixel (" << std::dec << x << ", " << y << ") is 0x" << std::hex << actual.At(x, y)
                     << ", expected 0x" << expected.At(x, y);
                return text.str();
            }
        }
    }
    return {};
}

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::array<char, 65536> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        if (output != nullptr) {
            output->append(buffer.data(), got);
        }
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& path)
{
    return ::access(path.c_str(), X_OK) == 0;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::filesystem::path TestDataDir()
{
    return KINETAR_TEST_DATA_DIR;
}

}  // namespace kinetar::test
