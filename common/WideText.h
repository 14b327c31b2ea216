// Text at the edge of the Windows system calls: the project's text is UTF-8,
// the system's wide (UTF-16). Invalid sequences become replacement
// characters, as the system's converter makes them. Windows builds only
// (WideText_win32.cpp).
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring wideText(std::string_view text);
std::string utf8Text(std::wstring_view text);

} // namespace platform
