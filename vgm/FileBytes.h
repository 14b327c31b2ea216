// FileBytes: what the song file readers share to read bytes: a 32-bit
// little-endian field and an offset as hexadecimal text for messages
// ("0x1F40").
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace vgm {

// The caller has checked that at + 4 <= bytes.size().
inline std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline std::string hex(std::size_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%zX", value);
    return text;
}

} // namespace vgm
