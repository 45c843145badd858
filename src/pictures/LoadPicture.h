#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "pictures/DecodedPicture.h"

namespace kinetar::pictures {

enum class PictureFormat { Bmp, Pcx, Tga, Gif, Unknown };

// Runs the four format tests in their fixed order (BMP, PCX, TGA by name, GIF) on a file's bytes;
// the first that accepts decides. May raise the PCX version message.
PictureFormat DetectPictureFormat(std::span<const std::uint8_t> bytes, const std::string& path);

// Reads the file once and fills the picture with the reader of the detected format; raises the
// reader's error, or "Unknown file format " + path.
std::unique_ptr<DecodedPicture> LoadPicture(const std::string& path);
std::unique_ptr<DecodedPicture> LoadPicture(std::span<const std::uint8_t> bytes, const std::string& path);
// The same into an existing picture (the preview reuses its own). Returns false, leaving the picture
// untouched, when no test accepts the file.
bool ReadPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture);

// The tests one by one; each opens the file (raising "Can't open file " + path) except IsTgaFile,
// which looks at the name alone.
bool IsBmpFile(const std::string& path);
bool IsPcxFile(const std::string& path);
bool IsTgaFile(const std::string& path);
bool IsGifFile(const std::string& path);

bool IsBmpData(std::span<const std::uint8_t> bytes);
bool IsPcxData(std::span<const std::uint8_t> bytes, const std::string& path);
bool IsGifData(std::span<const std::uint8_t> bytes);

}  // namespace kinetar::pictures
