// Numbers shown in and read from dialog text: unsigned decimal only, as an
// edit box of numbers reads them. Leading and trailing blanks are allowed;
// anything else (letters, a sign, an empty text, a value above 2^32 - 1)
// reads as 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

std::uint32_t readUnsignedDecimal(std::string_view text);
std::string unsignedDecimalText(std::uint32_t value);
