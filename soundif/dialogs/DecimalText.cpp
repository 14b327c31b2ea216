// Unsigned decimal text of the dialogs' number fields.
#include "soundif/dialogs/DecimalText.h"

#include <cctype>

std::uint32_t readUnsignedDecimal(std::string_view text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits) {
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
        if (value > 0xFFFFFFFFu) return 0;
    }
    while (at < text.size() && isBlank(text[at]))
        ++at;
    if (digits == 0 || at != text.size()) return 0;
    return static_cast<std::uint32_t>(value);
}

std::string unsignedDecimalText(std::uint32_t value) {
    return std::to_string(value);
}
