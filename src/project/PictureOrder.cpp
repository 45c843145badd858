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
        const std::string* path;
    };
    // Taken from the back and sorted stably, so paths with equal keys come out in reverse order.
    std::vector<Entry> ordered;
    ordered.reserve(paths.size());
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        ordered.push_back({PictureSortKey(*path, mode), &*path});
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&less](const Entry& left, const Entry& right) { return less(left.key, right.key); });
    std::vector<std::string> sorted;
    sorted.reserve(ordered.size());
    for (const auto& entry : ordered) {
        sorted.push_back(*entry.path);
    }
    return sorted;
}

}  // namespace kinetar::project
