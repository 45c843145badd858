#include "pictures/LoadPicture.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "common/Error.h"
#include "common/RegularFile.h"
#include "pictures/BmpReader.h"
#include "pictures/GifReader.h"
#include "pictures/HeifReader.h"
#include "pictures/JpegReader.h"
#include "pictures/Messages.h"
#include "pictures/PcxReader.h"
#include "pictures/PictureFile.h"
#include "pictures/PngReader.h"
#include "pictures/TgaReader.h"
#include "pictures/WebpReader.h"

namespace kinetar::pictures {

bool IsBmpData(std::span<const std::uint8_t> bytes)
{
    // A whole 14-byte file header starting with "BM"; nothing else of it is looked at here.
    return bytes.size() >= 14 && bytes[0] == 'B' && bytes[1] == 'M';
}

bool IsPcxData(std::span<const std::uint8_t> bytes, const std::string& path)
{
    if (bytes.size() < 128 || bytes[0] != 10) {
        return false;
    }
    if (bytes[1] != 5 || (bytes[65] != 1 && bytes[65] != 3)) {
        throw Error(msg::kPcxOldFormat + path);
    }
    return true;
}

bool IsTgaFile(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
    return extension == ".tga";
}

bool IsGifData(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 6 &&
           (std::memcmp(bytes.data(), "GIF87a", 6) == 0 || std::memcmp(bytes.data(), "GIF89a", 6) == 0);
}

bool IsJpegData(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

bool IsPngData(std::span<const std::uint8_t> bytes)
{
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

bool IsWebpData(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(bytes.data() + 8, "WEBP", 4) == 0;
}

bool IsHeifData(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 16 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0) {
        return false;
    }
    const std::size_t boxSize =
        std::size_t{bytes[0]} << 24 | std::size_t{bytes[1]} << 16 | std::size_t{bytes[2]} << 8 | std::size_t{bytes[3]};
    const std::size_t end = std::min(boxSize, bytes.size());
    // The major brand at 8, a minor version at 12, then the compatible brands.
    for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
        for (const char* brand : {"heic", "heix", "mif1", "msf1", "avif"}) {
            if (std::memcmp(bytes.data() + at, brand, 4) == 0) {
                return true;
            }
        }
    }
    return false;
}

bool IsBmpFile(const std::string& path)
{
    const PictureFile file(path);
    return IsBmpData(file.Bytes());
}

bool IsPcxFile(const std::string& path)
{
    const PictureFile file(path);
    return IsPcxData(file.Bytes(), path);
}

bool IsGifFile(const std::string& path)
{
    const PictureFile file(path);
    return IsGifData(file.Bytes());
}

PictureFormat DetectPictureFormat(std::span<const std::uint8_t> bytes, const std::string& path)
{
    if (IsBmpData(bytes)) {
        return PictureFormat::Bmp;
    }
    if (IsPcxData(bytes, path)) {
        return PictureFormat::Pcx;
    }
    // The photo formats come before the name rule: no TGA file begins with their signatures (the
    // TGA reader refuses each as a bad header), so a photo named .tga is still read as a photo.
    if (IsJpegData(bytes)) {
        return PictureFormat::Jpeg;
    }
    if (IsPngData(bytes)) {
        return PictureFormat::Png;
    }
    if (IsWebpData(bytes)) {
        return PictureFormat::Webp;
    }
    if (IsHeifData(bytes)) {
        return PictureFormat::Heif;
    }
    if (IsTgaFile(path)) {
        return PictureFormat::Tga;
    }
    if (IsGifData(bytes)) {
        return PictureFormat::Gif;
    }
    return PictureFormat::Unknown;
}

PictureFormat RecognisePictureFile(const std::string& path)
{
    // Every test needs fewer bytes than this (PCX the most, 128), except a HEIF brand listed past
    // the first thousand compatible brands, which no writer makes.
    std::array<std::uint8_t, 4096> head{};
    const RegularFile file(path, O_RDONLY);
    if (file.IsNotRegular() && !file.IsFolder()) {
        throw Error(NotRegularFileMessage(path));
    }
    if (!file.IsOpen()) {
        throw Error(msg::kCantOpenFile + path);
    }
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t count = ::read(file.Descriptor(), head.data() + got, head.size() - got);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throw Error(msg::kCantOpenFile + path);
        }
        if (count == 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    return DetectPictureFormat({head.data(), got}, path);
}

namespace {

// `bytesDisposable`: the bytes are a copy of the file made for this read alone, which a reader may
// give back to the system as it goes.
bool ReadPictureBytes(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture,
                      const PictureRequest& request, bool bytesDisposable)
{
    switch (DetectPictureFormat(bytes, path)) {
    case PictureFormat::Bmp:
        ReadBmpPicture(bytes, path, picture, bytesDisposable);
        return true;
    case PictureFormat::Pcx:
        ReadPcxPicture(bytes, path, picture);
        return true;
    case PictureFormat::Jpeg:
        ReadJpegPicture(bytes, path, request, picture);
        return true;
    case PictureFormat::Png:
        ReadPngPicture(bytes, path, request, picture);
        return true;
    case PictureFormat::Webp:
        ReadWebpPicture(bytes, path, request, picture);
        return true;
    case PictureFormat::Heif:
        ReadHeifPicture(bytes, path, request, picture);
        return true;
    case PictureFormat::Tga:
        ReadTgaPicture(bytes, path, picture, bytesDisposable);
        return true;
    case PictureFormat::Gif:
        ReadGifPicture(bytes, path, picture);
        return true;
    case PictureFormat::Unknown:
        break;
    }
    return false;
}

std::unique_ptr<DecodedPicture> LoadPictureBytes(std::span<const std::uint8_t> bytes, const std::string& path,
                                                 const PictureRequest& request, bool bytesDisposable)
{
    auto picture = std::make_unique<DecodedPicture>();
    if (!ReadPictureBytes(bytes, path, *picture, request, bytesDisposable)) {
        throw Error(msg::kUnknownFileFormat + path);
    }
    return picture;
}

}  // namespace

bool ReadPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture,
                 const PictureRequest& request)
{
    return ReadPictureBytes(bytes, path, picture, request, false);
}

std::unique_ptr<DecodedPicture> LoadPicture(std::span<const std::uint8_t> bytes, const std::string& path,
                                            const PictureRequest& request)
{
    return LoadPictureBytes(bytes, path, request, false);
}

std::unique_ptr<DecodedPicture> LoadPicture(const std::string& path, const PictureRequest& request)
{
    const PictureFile file(path);
    return LoadPictureBytes(file.Bytes(), path, request, true);
}

}  // namespace kinetar::pictures
