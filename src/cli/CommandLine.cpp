#include "cli/CommandLine.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "avi/engine/VideoSettings.h"
#include "cli/CliProject.h"
#include "common/Error.h"

namespace kinetar::cli {

using project::FrameRecord;
using project::ProjectHeader;

void Usage(const std::string& message)
{
    throw UsageError{message};
}

Arguments::Arguments(int argc, char** argv, int first)
{
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        std::string item = argv[i];
        optionsEnded = optionsEnded || item == "--";
        m_items.push_back(optionsEnded ? item : LongOption(item));
    }
}

// Takes "--name VALUE" (or "--name=VALUE") out of the list.
std::optional<std::string> Arguments::Value(const std::string& name)
{
    Remember(name);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i] == name) {
            if (i + 1 >= m_items.size()) {
                Usage(name + " needs a value");
            }
            std::string value = m_items[i + 1];
            m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i),
                          m_items.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return value;
        }
        if (m_items[i].rfind(name + "=", 0) == 0) {
            std::string value = m_items[i].substr(name.size() + 1);
            m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
            return value;
        }
    }
    return std::nullopt;
}

bool Arguments::Flag(const std::string& name)
{
    Remember(name);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i] == name) {
            m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

// What is left: no unknown options allowed ("--" ends the options). A negative number is left
// for the command to refuse with its own reason.
std::vector<std::string> Arguments::Rest()
{
    std::vector<std::string> rest;
    bool optionsEnded = false;
    for (const auto& item : m_items) {
        if (!optionsEnded && item == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && item.size() > 1 && item[0] == '-' &&
                   !std::isdigit(static_cast<unsigned char>(item[1]))) {
            std::vector<std::string> known = m_asked;
            known.emplace_back("--help");
            const auto nearest = NearestName(item.substr(0, item.find('=')), known);
            Usage("unknown option " + item + (nearest ? "; did you mean " + *nearest + "?" : ""));
        } else {
            rest.push_back(item);
        }
    }
    return rest;
}

void Arguments::Remember(const std::string& name)
{
    if (std::find(m_asked.begin(), m_asked.end(), name) == m_asked.end()) {
        m_asked.push_back(name);
    }
}

std::string Arguments::LongOption(const std::string& item)
{
    static const std::array<std::pair<const char*, const char*>, 4> shortOptions{
        {{"-o", "--output"}, {"-q", "--quiet"}, {"-f", "--force"}, {"-c", "--codec"}}};
    for (const auto& [shortName, longName] : shortOptions) {
        if (item == shortName) {
            return longName;
        }
    }
    return item;
}

namespace {

std::string Bare(const std::string& name)
{
    std::string bare = name.substr(std::min(name.find_first_not_of('-'), name.size()));
    std::transform(bare.begin(), bare.end(), bare.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return bare;
}

// Letters changed, left out or added, and two neighbours swapped, each counting one.
std::size_t EditDistance(const std::string& from, const std::string& to)
{
    std::vector<std::vector<std::size_t>> cost(from.size() + 1, std::vector<std::size_t>(to.size() + 1));
    for (std::size_t i = 0; i <= from.size(); ++i) {
        cost[i][0] = i;
    }
    for (std::size_t j = 0; j <= to.size(); ++j) {
        cost[0][j] = j;
    }
    for (std::size_t i = 1; i <= from.size(); ++i) {
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const std::size_t changed = from[i - 1] == to[j - 1] ? 0 : 1;
            cost[i][j] = std::min({cost[i - 1][j] + 1, cost[i][j - 1] + 1, cost[i - 1][j - 1] + changed});
            if (i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1]) {
                cost[i][j] = std::min(cost[i][j], cost[i - 2][j - 2] + 1);
            }
        }
    }
    return cost[from.size()][to.size()];
}

}  // namespace

std::optional<std::string> NearestName(const std::string& typed, const std::vector<std::string>& known)
{
    const std::string bare = Bare(typed);
    const std::size_t allowed = std::clamp<std::size_t>(bare.size() / 3, 1, 2);
    std::optional<std::string> nearest;
    std::size_t nearestDistance = allowed + 1;
    for (const std::string& name : known) {
        const std::size_t distance = EditDistance(bare, Bare(name));
        if (distance < nearestDistance) {
            nearest = name;
            nearestDistance = distance;
        }
    }
    return nearest;
}

std::string OneProject(Arguments& arguments)
{
    auto rest = arguments.Rest();
    if (rest.size() != 1) {
        Usage(rest.empty() ? "a project file is needed" : "unexpected argument " + rest[1]);
    }
    return rest[0];
}

std::string OneLine(std::string text)
{
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.replace(at, 2, " ");
    }
    std::replace(text.begin(), text.end(), '\n', ' ');
    return Printable(text);
}

std::string Absolute(const std::string& path)
{
    if (path.empty()) {
        Usage("a file name cannot be empty");
    }
    return std::filesystem::absolute(path).lexically_normal().string();
}

// What a file that is not a regular one is, for the message refusing it.
std::string FileKind(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return S_ISSOCK(mode) ? "a socket" : "not a file";
}

// Projects and pictures are read only from regular files: a FIFO waits for a writer, a device
// never ends. A missing file is left for the reader to report.
void RequireRegularFile(const std::string& path, const std::string& consequence)
{
    if (path.empty()) {
        Usage("a file name cannot be empty");
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw Error(path + " is not a regular file (" + FileKind(status.st_mode) + ")" + consequence);
    }
}

ProjectRecords OpenRecords(const std::string& path)
{
    RequireRegularFile(path);
    return ProjectRecords(path);
}

std::pair<std::int32_t, std::int32_t> ParseVideoSize(const std::string& text)
{
    if (const auto preset = avi::FindSizePreset(text)) {
        return {preset->Width, preset->Height};
    }
    const auto cross = text.find_first_of("xX");
    if (cross == std::string::npos) {
        Usage("--size must be WIDTHxHEIGHT or one of 720p, 1080p, 4k, vertical, square, portrait, not '" + text + "'");
    }
    const std::int32_t width = ParseNumber(text.substr(0, cross), "The width", avi::kMinVideoSide, avi::kMaxVideoSide);
    const std::int32_t height =
        ParseNumber(text.substr(cross + 1), "The height", avi::kMinVideoSide, avi::kMaxVideoSide);
    if (const auto refusal = avi::VideoSizeRefusal(width, height)) {
        Usage(*refusal);
    }
    return {width, height};
}

// A compressor by its fourcc as codecs lists it: case does not matter, trailing blanks are optional.
const avi::CodecInfo& ParseCodec(const std::string& text)
{
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == ' ') {
        trimmed.pop_back();
    }
    const avi::CodecInfo* codec = avi::CodecRegistry::Default().FindByText(trimmed);
    if (codec == nullptr) {
        Usage("unknown compressor '" + text + "' (kinetar-cli codecs lists them)");
    }
    return *codec;
}

std::int32_t ParseNumber(const std::string& text, const std::string& what, std::int64_t low, std::int64_t high)
{
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value < low || value > high) {
        Usage(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
              text + "'");
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace kinetar::cli
