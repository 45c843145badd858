#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "project/FrameRecordReader.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::cli {

// The command line's order of sort keys: byte by byte, ASCII letters without case.
bool AsciiCaseLess(const std::string& left, const std::string& right);

// "0a": a byte as two lowercase hex digits.
std::string HexByte(std::uint8_t value);

// The text with control characters (C0, DEL, C1) and bytes that are not UTF-8 shown as \xNN, so
// that a file name cannot steer the terminal. Everything the command line prints from files goes
// through it.
std::string Printable(const std::string& text);

// Whether the text is well-formed UTF-8 (no overlong forms, surrogates or codes past U+10FFFF).
bool IsValidUtf8(const std::string& text);

// A JSON string; a byte that is not part of UTF-8 becomes U+FFFD.
std::string JsonString(const std::string& text);

// A project's header and its records, read one at a time, so a file of any size costs one block of
// records. The header's errors are ReadProject's; more records than an index counts (2^31 - 1) are
// refused, and a record that is gone when it is read (the file was cut meanwhile) raises
// "Can't read project file <path>: ...".
class ProjectRecords {
public:
    explicit ProjectRecords(const std::string& path);

    const project::ProjectHeader& Header() const { return m_header; }
    std::int32_t Count() const { return m_count; }
    project::FrameRecord At(std::int32_t index) const;

private:
    std::string m_path;
    project::ProjectHeader m_header;
    project::FrameRecordReader m_reader;
    std::int32_t m_count = 0;
};

// The message with the file it is about: the path where the message has it (with a blank before it
// when it is glued to the text), else "PATH: " before the message.
std::string NamedMessage(std::string message, const std::string& path);

}  // namespace kinetar::cli
