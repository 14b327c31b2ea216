// shiftJisToUtf8: text in Shift_JIS (MDX titles) converted to UTF-8 through
// the C library's iconv. Where the build has no iconv (MinGW), and for bytes
// that are not valid Shift_JIS, ASCII passes through and every other
// character becomes '?'.
#pragma once

#include <string>

namespace mdx {

std::string shiftJisToUtf8(const std::string& text);

} // namespace mdx
