#include "avi/writer/Container.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace kinetar::avi {

namespace {

struct Extension {
    std::string_view Text;
    Container Kind;
};
constexpr std::array<Extension, 5> kExtensions{{
    {".mp4", Container::Mp4},
    {".m4v", Container::Mp4},
    {".mov", Container::Mp4},
    {".mkv", Container::Mkv},
    {".webm", Container::WebM},
}};

constexpr std::array<std::string_view, 4> kNames{"avi", "mp4", "mkv", "webm"};

// Extensions of files that are not videos, with what they name.
struct OtherKind {
    std::string_view Text;
    std::string_view Kind;
};
constexpr std::array<OtherKind, 25> kOtherKinds{{
    {".gif", "a GIF picture"},        {".png", "a PNG picture"},    {".apng", "a PNG picture"},
    {".jpg", "a JPEG picture"},       {".jpeg", "a JPEG picture"},  {".webp", "a WebP picture"},
    {".bmp", "a BMP picture"},        {".pcx", "a PCX picture"},    {".tga", "a TGA picture"},
    {".tif", "a TIFF picture"},       {".tiff", "a TIFF picture"},  {".heic", "a HEIC picture"},
    {".heif", "a HEIF picture"},      {".avif", "an AVIF picture"}, {".svg", "an SVG picture"},
    {".mp3", "an MP3 sound"},         {".wav", "a WAV sound"},      {".flac", "a FLAC sound"},
    {".ogg", "an Ogg sound"},         {".opus", "an Opus sound"},   {".m4a", "an M4A sound"},
    {".aac", "an AAC sound"},         {".txt", "a text file"},      {".json", "a text file"},
    {".aviprj", "a Kinetar project"},
}};

// The extension of the path's last part in lower case, with its dot; empty for none (a name that
// starts with its only dot has none).
std::string LowerExtension(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    std::string extension(name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

Container ContainerForPath(std::string_view path)
{
    const std::string extension = LowerExtension(path);
    for (const Extension& known : kExtensions) {
        if (extension == known.Text) {
            return known.Kind;
        }
    }
    return Container::Avi;
}

std::optional<std::string> WrongKindOfDestination(const std::string& path)
{
    const std::string extension = LowerExtension(path);
    for (const OtherKind& other : kOtherKinds) {
        if (extension == other.Text) {
            return path + " names " + std::string(other.Kind) +
                   ", not a video; Kinetar writes .avi, .mp4 (.m4v, .mov), .mkv or .webm";
        }
    }
    return std::nullopt;
}

std::string_view ContainerName(Container container)
{
    return kNames.at(static_cast<std::size_t>(container));
}

std::optional<Container> ContainerFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<Container>(i);
        }
    }
    return std::nullopt;
}

}  // namespace kinetar::avi
