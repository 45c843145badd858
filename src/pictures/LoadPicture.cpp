#include "pictures/LoadPicture.h"

#include <algorithm>
#include <cstring>

#include "common/Error.h"
#include "pictures/BmpReader.h"
#include "pictures/GifReader.h"
#include "pictures/Messages.h"
#include "pictures/PcxReader.h"
#include "pictures/PictureFile.h"
#include "pictures/TgaReader.h"

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
    if (IsTgaFile(path)) {
        return PictureFormat::Tga;
    }
    if (IsGifData(bytes)) {
        return PictureFormat::Gif;
    }
    return PictureFormat::Unknown;
}

bool ReadPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture)
{
    switch (DetectPictureFormat(bytes, path)) {
    case PictureFormat::Bmp:
        ReadBmpPicture(bytes, path, picture);
        return true;
    case PictureFormat::Pcx:
        ReadPcxPicture(bytes, path, picture);
        return true;
    case PictureFormat::Tga:
        ReadTgaPicture(bytes, path, picture);
        return true;
    case PictureFormat::Gif:
        ReadGifPicture(bytes, path, picture);
        return true;
    case PictureFormat::Unknown:
        break;
    }
    return false;
}

std::unique_ptr<DecodedPicture> LoadPicture(std::span<const std::uint8_t> bytes, const std::string& path)
{
    auto picture = std::make_unique<DecodedPicture>();
    if (!ReadPicture(bytes, path, *picture)) {
        throw Error(msg::kUnknownFileFormat + path);
    }
    return picture;
}

std::unique_ptr<DecodedPicture> LoadPicture(const std::string& path)
{
    const PictureFile file(path);
    return LoadPicture(file.Bytes(), path);
}

}  // namespace kinetar::pictures
