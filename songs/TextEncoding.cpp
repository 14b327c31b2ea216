// Song file text to UTF-8; see TextEncoding.h.
#include "songs/TextEncoding.h"

#ifdef TONRIG_HAVE_ICONV
#include <iconv.h>
#endif

#include <vector>

namespace songs {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of text, 0 when
// none starts there.
std::size_t sequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    unsigned code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

} // namespace

std::string validUtf8(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            out += replacement;
            text.remove_prefix(1);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return out;
}

std::string utf8FromShiftJis(std::string_view text) {
#ifdef TONRIG_HAVE_ICONV
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) converter = iconv_open("UTF-8", "SHIFT_JIS");
    if (converter != reinterpret_cast<iconv_t>(-1)) {
        std::string out;
        std::vector<char> input(text.begin(), text.end());
        char* in = input.data();
        std::size_t inLeft = input.size();
        char buffer[256];
        while (inLeft > 0) {
            char* outAt = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(converter, &in, &inLeft, &outAt, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outAt - buffer));
            if (result == static_cast<std::size_t>(-1) && outLeft == sizeof buffer && inLeft > 0) {
                // Nothing converted: an invalid or cut sequence; skip one byte.
                out += replacement;
                ++in;
                --inLeft;
                iconv(converter, nullptr, nullptr, nullptr, nullptr);
            }
        }
        iconv_close(converter);
        return validUtf8(out);
    }
#endif
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x80)
            out += c;
        else
            out += replacement;
    return out;
}

} // namespace songs
