// String resources read straight from a module's string table: strings are
// kept in blocks of sixteen (block id / 16 + 1), each a 16-bit length and
// that many UTF-16 units, no terminator. Missing blocks and strings read as
// the empty string. loadResourceString (DialogResources.h) reads the
// library's own module.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

std::string loadStringResource(HMODULE module, std::uint32_t id);
