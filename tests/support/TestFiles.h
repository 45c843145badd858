#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kinetar::pictures {
class DecodedPicture;
}

namespace kinetar::test {

// A fresh folder under the temp directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);

// Builds little-endian test bytes one field at a time.
class ByteWriter {
public:
    ByteWriter& U8(std::uint32_t value);
    ByteWriter& U16(std::uint32_t value);
    ByteWriter& U32(std::uint32_t value);
    ByteWriter& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
    ByteWriter& Bytes(std::span<const std::uint8_t> bytes);
    ByteWriter& Bytes(std::initializer_list<std::uint8_t> bytes)
    {
        return Bytes(std::span(bytes.begin(), bytes.size()));
    }
    ByteWriter& Text(const std::string& text);
    ByteWriter& Zeros(std::size_t count);
    std::size_t Size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& Data() const { return m_bytes; }
    std::vector<std::uint8_t>& Data() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// An RGB raster, 3 bytes per pixel, rows top first, no padding.
struct RgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;

    bool operator==(const RgbImage&) const = default;
    std::uint32_t At(int x, int y) const;  // 0xRRGGBB
};

RgbImage ToRgb(const pictures::DecodedPicture& picture);
// Parses a binary PPM (P6, maxval 255).
std::optional<RgbImage> ParsePpm(std::span<const std::uint8_t> bytes);
// The first picture of a file as decoded by another program; nullopt when the program fails.
std::optional<RgbImage> DecodeWithImageMagick(const std::string& path);
std::optional<RgbImage> DecodeWithPillow(const std::string& path);
std::optional<RgbImage> DecodeWithFfmpeg(const std::string& path);
// The first place two images differ, or an empty string when they are equal.
std::string FirstDifference(const RgbImage& actual, const RgbImage& expected);

// Runs a shell command; returns its exit status and, when asked, what it wrote on stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);
bool HaveProgram(const std::string& path);
std::string ShellQuote(const std::string& text);

// The public BMP Suite bundled with the tests.
std::filesystem::path TestDataDir();

}  // namespace kinetar::test
