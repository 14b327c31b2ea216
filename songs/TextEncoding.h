// Text of song files to UTF-8: Shift_JIS (as Windows extends it) through the
// C library's iconv; a byte sequence it cannot convert becomes U+FFFD. In a
// build without iconv every byte above 0x7F becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace songs {

std::string utf8FromShiftJis(std::string_view text);

// Valid UTF-8 of text: every byte that starts no well-formed sequence
// becomes U+FFFD.
std::string validUtf8(std::string_view text);

} // namespace songs
