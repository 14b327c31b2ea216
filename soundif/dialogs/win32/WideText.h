// Text at the edge of the Win32 binding: the dialog logic's text is UTF-8,
// the system's wide (UTF-16). Invalid sequences become replacement
// characters, as the system's converter makes them.
#pragma once

#include <string>
#include <string_view>

std::wstring wideText(std::string_view text);
std::string utf8Text(std::wstring_view text);
