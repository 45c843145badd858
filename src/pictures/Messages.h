#pragma once

// The picture readers' message texts, exactly as the user sees them. Where a reader appends the
// path, it follows the text directly.
namespace kinetar::pictures::msg {

inline constexpr const char* kCantOpenFile = "Can't open file ";
inline constexpr const char* kUnknownFileFormat = "Unknown file format ";
inline constexpr const char* kPictureTooLarge = "Picture is too large ";
inline constexpr const char* kScanLineOutOfRange = "Scan line index out of range";
// A process stop heard while a huge picture was being decoded.
inline constexpr const char* kPictureReadingStopped = "Reading the picture was stopped";

// BMP
inline constexpr const char* kCantReadFileHeader = "Can't read file header ";
inline constexpr const char* kCantReadFileInfo = "Can't read file info ";
inline constexpr const char* kUnsupportedBitmap = "Unsupported bitmap";
inline constexpr const char* kReadingColorTableFailed = "Reading color table FAILED";
inline constexpr const char* kUnsupportedCompression = "Unsupported compression of Bitmap ";
inline constexpr const char* kReadingPixelsFailed = "Reading pixels FAILED";

// PCX
inline constexpr const char* kPcxOldFormat = "Format of PCX is old. Supported is only version 5.0: ";
inline constexpr const char* kCantReadSoubor = "Can't read soubor ";
inline constexpr const char* kBadPcxFormat = "Bad PCX format: ";
inline constexpr const char* kPcxReadError = "PCX read error: ";

// TGA
inline constexpr const char* kBadTgaHeader = "Bad TGA header ";
inline constexpr const char* kBadTgaPalette = "Bad TGA pallette ";
inline constexpr const char* kBadTgaDepth = "Bad TGA header(32 bit pictures doesn't supported) ";
inline constexpr const char* kBadTgaSize = "Bad TGA Size ";
inline constexpr const char* kReadTgaError = "Read TGA error ";
inline constexpr const char* kTga16BitRle =
    "This isn't tested YET, please send me this picture. I can't create 16 bits TGA";

// GIF
inline constexpr const char* kGifReadError = "GIF read error ";
inline constexpr const char* kGifScreenReadError = "GIF read error";
inline constexpr const char* kBadGifSignature = "Bad GIF signature";
inline constexpr const char* kBadGifHeader = "Bad GIF header ";
inline constexpr const char* kGifInternalError = "Intenal error: Please send me this GIF to email ";
inline constexpr const char* kBadGifCodeSize = "Bad GIF code size ";
inline constexpr const char* kGifCorrupted = "Bad GIF file - It's courrupted";
inline constexpr const char* kReadGifError = "Read GIF error";

// Photos: the path, then on the next line what the library found, where it says.
inline constexpr const char* kBadJpeg = "Bad JPEG file ";
inline constexpr const char* kBadPng = "Bad PNG file ";
inline constexpr const char* kBadWebp = "Bad WebP file ";
inline constexpr const char* kBadHeif = "Bad HEIF file ";

}  // namespace kinetar::pictures::msg
