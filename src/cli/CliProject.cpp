#include "cli/CliProject.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>

#include "avi/audio/AudioTrack.h"
#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/QualityPercent.h"
#include "avi/writer/FourCC.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/Motion.h"
#include "project/PictureDefaults.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::cli {

using project::FrameRate;
using project::FrameRecord;
using project::ProjectHeader;

bool AsciiCaseLess(const std::string& left, const std::string& right)
{
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) < std::tolower(static_cast<unsigned char>(b));
    });
}

std::string HexByte(std::uint8_t value)
{
    static const char* hex = "0123456789abcdef";
    return {hex[value >> 4], hex[value & 15]};
}

namespace {

// The length of a well-formed UTF-8 sequence starting at text[at], 0 when it is not one.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string Printable(const std::string& text)
{
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const auto code = static_cast<unsigned char>(text[at]);
        const std::size_t length = Utf8SequenceLength(text, at);
        // C1 controls (U+0080 to U+009F) steer some terminals as ESC does.
        const bool control = code < 32 || code == 127 ||
                             (code == 0xC2 && length == 2 && static_cast<unsigned char>(text[at + 1]) < 0xA0);
        if (length == 0 || control) {
            for (std::size_t i = 0; i < std::max<std::size_t>(length, 1); ++i) {
                shown += "\\x" + HexByte(static_cast<std::uint8_t>(text[at + i]));
            }
            at += std::max<std::size_t>(length, 1);
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    return shown;
}

namespace {

bool IsUtf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace

bool IsValidUtf8(const std::string& text)
{
    return IsUtf8(text);
}

std::string JsonString(const std::string& text)
{
    std::string json = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        const auto code = static_cast<unsigned char>(text[at]);
        if (length == 0) {
            json += "\\ufffd";
            ++at;
            continue;
        }
        if (code == '"' || code == '\\') {
            json += '\\';
            json += static_cast<char>(code);
        } else if (code < 0x20 || code == 0x7F) {
            json += "\\u00" + HexByte(code);
        } else {
            json.append(text, at, length);
        }
        at += length;
    }
    return json + "\"";
}

ProjectRecords::ProjectRecords(const std::string& path)
    : m_path(path),
      m_header(project::ReadProject(path, nullptr)),
      m_reader(path, project::FrameRecordReader::Reading::InBlocks)
{
    if (!m_reader.IsOpen()) {
        throw Error("Can't read project file " + path + ": " + std::strerror(errno));
    }
    constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();
    if (m_reader.Count() > kMaxCount) {
        throw Error("Can't read project file " + path + ": it would hold " + std::to_string(m_reader.Count()) +
                    " frames, more than a project can (" + std::to_string(kMaxCount) + ")");
    }
    m_count = static_cast<std::int32_t>(m_reader.Count());
}

FrameRecord ProjectRecords::At(std::int32_t index) const
{
    FrameRecord record;
    if (!m_reader.Read(index, record)) {
        throw Error("Can't read project file " + m_path + ": it became shorter while it was read");
    }
    return record;
}

std::string NamedMessage(std::string message, const std::string& path)
{
    const auto at = message.rfind(path);
    if (at == std::string::npos) {
        while (!message.empty() && message.back() == ' ') {
            message.pop_back();
        }
        return path + ": " + message;
    }
    if (at > 0 && message[at - 1] != ' ') {
        message.insert(at, " ");
    }
    return message;
}

}  // namespace kinetar::cli
