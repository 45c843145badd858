#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "pictures/DecodedPicture.h"
#include "pictures/PictureRequest.h"

namespace kinetar::pictures {

enum class PictureFormat { Bmp, Pcx, Jpeg, Png, Webp, Heif, Tga, Gif, Unknown };

// Runs the format tests in their fixed order on a file's bytes: BMP, PCX, the photo formats by
// their content (JPEG, PNG, WebP, HEIF), TGA by name, GIF. The first that accepts decides. May
// raise the PCX version message.
PictureFormat DetectPictureFormat(std::span<const std::uint8_t> bytes, const std::string& path);
// The same tests on the file's first bytes alone, so that asking about thousands of photos stays
// fast; a picture cut short after its signature is still recognised (reading it says what is
// wrong). Raises as the file tests below do, and the PCX version message.
PictureFormat RecognisePictureFile(const std::string& path);

// Reads the file once and fills the picture with the reader of the detected format; raises the
// reader's error, the opening's (as the tests below), or "Unknown file format " + path. The request matters to photos
// only.
std::unique_ptr<DecodedPicture> LoadPicture(const std::string& path, const PictureRequest& request = {});
std::unique_ptr<DecodedPicture> LoadPicture(std::span<const std::uint8_t> bytes, const std::string& path,
                                            const PictureRequest& request = {});
// The same into an existing picture (the preview reuses its own). Returns false, leaving the picture
// untouched, when no test accepts the file.
bool ReadPicture(std::span<const std::uint8_t> bytes, const std::string& path, DecodedPicture& picture,
                 const PictureRequest& request = {});

// The tests one by one; each opens the file (raising "Can't open file " + path, or
// "<path> is not a regular file" for a device, FIFO or socket, at once) except IsTgaFile, which
// looks at the name alone.
bool IsBmpFile(const std::string& path);
bool IsPcxFile(const std::string& path);
bool IsTgaFile(const std::string& path);
bool IsGifFile(const std::string& path);

bool IsBmpData(std::span<const std::uint8_t> bytes);
bool IsPcxData(std::span<const std::uint8_t> bytes, const std::string& path);
bool IsGifData(std::span<const std::uint8_t> bytes);
bool IsJpegData(std::span<const std::uint8_t> bytes);
bool IsPngData(std::span<const std::uint8_t> bytes);
bool IsWebpData(std::span<const std::uint8_t> bytes);
// An ISO base media file whose leading ftyp box names a HEIF brand, as its major brand or a
// compatible one.
bool IsHeifData(std::span<const std::uint8_t> bytes);

}  // namespace kinetar::pictures
