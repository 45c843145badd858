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

}  // namespace

Container ContainerForPath(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) {
        return Container::Avi;
    }
    std::string extension(name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Extension& known : kExtensions) {
        if (extension == known.Text) {
            return known.Kind;
        }
    }
    return Container::Avi;
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
