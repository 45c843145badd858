#include "pictures/PhotoDate.h"

#include <sys/stat.h>

#include <ctime>
#include <optional>
#include <vector>

#include "common/Error.h"
#include "pictures/JpegReader.h"
#include "pictures/LoadPicture.h"
#include "pictures/PictureFile.h"
#include "pictures/PngReader.h"
#include "pictures/WebpReader.h"

namespace kinetar::pictures {

namespace {

std::optional<CalendarDate> DateInFile(const std::string& path)
{
    const PictureFile file(path);
    const auto bytes = file.Bytes();
    std::vector<std::uint8_t> exif;
    switch (DetectPictureFormat(bytes, path)) {
    case PictureFormat::Jpeg:
        exif = ReadJpegExif(bytes);
        break;
    case PictureFormat::Png:
        exif = ReadPngExif(bytes);
        break;
    case PictureFormat::Webp:
        exif = ReadWebpExif(bytes);
        break;
    default:
        return std::nullopt;
    }
    return ExifDateTaken(exif);
}

}  // namespace

CalendarDate PhotoDate(const std::string& path)
{
    try {
        if (const auto taken = DateInFile(path)) {
            return *taken;
        }
    } catch (const Error&) {
        // A file that cannot be read as a picture still has a date.
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return {};
    }
    std::tm local{};
    if (::localtime_r(&status.st_mtime, &local) == nullptr) {
        return {};
    }
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace kinetar::pictures
