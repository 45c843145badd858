#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "common/Error.h"
#include "common/LittleEndian.h"

namespace kinetar::pictures {

// Thrown by a cursor read that finds fewer bytes than it needs. Readers turn it into their own
// message for that read with OrFail; it never leaves a reader.
struct ShortRead : std::exception {
    const char* what() const noexcept override { return "short read"; }
};

// Reads little-endian values from bytes in memory. Every read checks itself.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t Size() const { return m_bytes.size(); }
    std::size_t Position() const { return m_position; }
    std::size_t Remaining() const { return m_position < m_bytes.size() ? m_bytes.size() - m_position : 0; }
    // May move past the end; reads from there come up short.
    void Seek(std::size_t offset) { m_position = offset; }
    void Skip(std::size_t count) { m_position = count > Remaining() ? m_bytes.size() + 1 : m_position + count; }

    std::span<const std::uint8_t> Take(std::size_t count)
    {
        if (count > Remaining()) {
            throw ShortRead();
        }
        const auto bytes = m_bytes.subspan(m_position, count);
        m_position += count;
        return bytes;
    }
    // As many of count bytes as there are.
    std::span<const std::uint8_t> TakeUpTo(std::size_t count)
    {
        const std::size_t available = count < Remaining() ? count : Remaining();
        const auto bytes = m_bytes.subspan(m_position < m_bytes.size() ? m_position : m_bytes.size(), available);
        m_position += available;
        return bytes;
    }
    std::optional<std::uint8_t> TryU8()
    {
        if (Remaining() == 0) {
            return std::nullopt;
        }
        return m_bytes[m_position++];
    }

    std::uint8_t U8() { return Take(1)[0]; }
    std::uint16_t U16LE() { return LoadLE16(Take(2)); }
    std::uint32_t U32LE() { return LoadLE32(Take(4)); }
    std::int16_t I16LE() { return static_cast<std::int16_t>(U16LE()); }
    std::int32_t I32LE() { return static_cast<std::int32_t>(U32LE()); }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

// Runs one reading step; a short read inside it becomes Error(message).
template <typename Step>
auto OrFail(const std::string& message, Step&& step) -> decltype(std::forward<Step>(step)())
{
    try {
        return std::forward<Step>(step)();
    } catch (const ShortRead&) {
        throw Error(message);
    }
}

}  // namespace kinetar::pictures
