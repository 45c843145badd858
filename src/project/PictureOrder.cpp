#include "project/PictureOrder.h"

#include <algorithm>

#include "project/ProjectFile.h"

namespace kinetar::project {

namespace {

bool IsDigit(char letter)
{
    return letter >= '0' && letter <= '9';
}

}  // namespace

std::string PictureSortKey(const std::string& path, SortMode mode)
{
    const std::string name = FileNameWithoutExtension(path);
    if (mode == SortMode::Name) {
        return name;
    }
    std::string digits;
    if (mode == SortMode::NumberAtStart) {
        const auto end = std::find_if_not(name.begin(), name.end(), IsDigit);
        digits.assign(name.begin(), end);
    } else {
        const auto start = std::find_if_not(name.rbegin(), name.rend(), IsDigit).base();
        digits.assign(start, name.end());
    }
    if (digits.empty()) {
        return "999999999";
    }
    return digits.size() >= 9 ? digits : std::string(9 - digits.size(), '0') + digits;
}

std::vector<std::string> SortPictures(const std::vector<std::string>& paths, SortMode mode, const SortKeyLess& less)
{
    struct Entry {
        std::string key;
        std::string path;
    };
    std::vector<Entry> ordered;
    for (const auto& path : paths) {
        std::string key = PictureSortKey(path, mode);
        // Before every entry whose key is not less: equal keys come out in reverse order.
        const auto at = std::lower_bound(
            ordered.begin(), ordered.end(), key,
            [&less](const Entry& entry, const std::string& wanted) { return less(entry.key, wanted); });
        ordered.insert(at, {std::move(key), path});
    }
    std::vector<std::string> sorted;
    sorted.reserve(ordered.size());
    for (auto& entry : ordered) {
        sorted.push_back(std::move(entry.path));
    }
    return sorted;
}

}  // namespace kinetar::project
