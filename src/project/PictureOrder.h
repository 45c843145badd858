#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kinetar::project {

// How added pictures are ordered: by name, or by the number at the start or the end of the name.
enum class SortMode { Name, NumberAtStart, NumberAtEnd };

// The frame list's sort key: the name without its extension, or its leading or trailing digits
// right-aligned in 9 places ("999999999" when there are none).
std::string PictureSortKey(const std::string& path, SortMode mode);

// Orders paths by their keys under less; a path whose key equals earlier ones goes before them.
// The front end chooses the comparison (the desktop's is locale-aware and case-insensitive).
using SortKeyLess = std::function<bool(const std::string& left, const std::string& right)>;
std::vector<std::string> SortPictures(const std::vector<std::string>& paths, SortMode mode, const SortKeyLess& less);

}  // namespace kinetar::project
