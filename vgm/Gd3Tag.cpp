// GD3 tag decoding; see Gd3Tag.h.
#include "vgm/Gd3Tag.h"
#include "vgm/FileBytes.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vgm {

namespace {

constexpr std::uint32_t magic = 0x20336447; // "Gd3 "
constexpr std::size_t headerSize = 12;
constexpr std::uint32_t replacement = 0xFFFD;

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool isHigh(std::uint16_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}
bool isLow(std::uint16_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

} // namespace

std::string utf8FromUtf16(std::span<const std::uint16_t> units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint16_t unit = units[i];
        if (isHigh(unit) && i + 1 < units.size() && isLow(units[i + 1])) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800u) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        } else if (isHigh(unit) || isLow(unit)) {
            appendUtf8(out, replacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::optional<Gd3Tag> readGd3Tag(std::span<const std::uint8_t> file, std::size_t offset,
                                 std::string& fault) {
    if (offset > file.size() || file.size() - offset < headerSize) {
        fault = "the file ends before its tag";
        return std::nullopt;
    }
    if (read32(file, offset) != magic) {
        fault = "no GD3 tag where the header points";
        return std::nullopt;
    }
    const std::size_t length = read32(file, offset + 8);
    const std::size_t start = offset + headerSize;
    if (length > file.size() - start) fault = "cut short by the end of the file";
    const std::size_t end = start + std::min(length, file.size() - start);

    Gd3Tag tag;
    const std::array<std::string*, 11> texts = {
        &tag.track,  &tag.trackJapanese,  &tag.game,   &tag.gameJapanese,
        &tag.system, &tag.systemJapanese, &tag.author, &tag.authorJapanese,
        &tag.date,   &tag.ripper,         &tag.notes};
    std::size_t at = start;
    for (std::string* text : texts) {
        std::vector<std::uint16_t> units;
        while (end - at >= 2) {
            const auto unit = static_cast<std::uint16_t>(file[at] | file[at + 1] << 8);
            at += 2;
            if (unit == 0) break;
            units.push_back(unit);
        }
        *text = utf8FromUtf16(units);
    }
    return tag;
}

} // namespace vgm
