// shiftJisToUtf8: see ShiftJisText.h.
#include "mdx/ShiftJisText.h"

#if __has_include(<iconv.h>)
#include <iconv.h>
#define MDX_HAVE_ICONV 1
#endif

namespace mdx {
namespace {

constexpr unsigned char asciiEnd = 0x80;
constexpr char replacement = '?';

std::string asciiOnly(const std::string& text) {
    std::string out;
    for (char c : text)
        out.push_back(static_cast<unsigned char>(c) < asciiEnd ? c : replacement);
    return out;
}

} // namespace

std::string shiftJisToUtf8(const std::string& text) {
#ifdef MDX_HAVE_ICONV
    iconv_t cd = iconv_open("UTF-8", "SHIFT_JIS");
    if (cd == reinterpret_cast<iconv_t>(-1)) return asciiOnly(text);
    // A Shift_JIS character of one or two bytes is at most three in UTF-8.
    constexpr std::size_t growth = 3;
    std::string out(text.size() * growth, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outAt = out.data();
    std::size_t outLeft = out.size();
    std::size_t result = iconv(cd, &in, &inLeft, &outAt, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1)) return asciiOnly(text);
    out.resize(out.size() - outLeft);
    return out;
#else
    return asciiOnly(text);
#endif
}

} // namespace mdx
