// Access to the library's INI file. Reading follows the usual private-profile
// rules: section and key names match without regard to case, values are
// trimmed, integers read as leading blanks, an optional sign and decimal digits
// up to the first other character (a present key without digits reads 0, an
// absent key reads the default). Saving rewrites only the keys it is given and
// keeps every other byte of the file; the new file replaces the old atomically.
#pragma once

#include "soundif/core/BoardSettings.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// libtavro.ini beside the loaded libtavro.so. Only meaningful inside the
// library itself: other modules are given the path.
std::filesystem::path iniFilePath();

// Every section name of the file, in file order; empty for a missing file.
std::vector<std::string> listSections(const std::filesystem::path& path);

// "ftd2xx(COM%d)".
std::string boardSectionName(std::int32_t port);

// One integer key, or fallback when the file, section or key is absent.
std::int32_t readIniInt(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, std::int32_t fallback);

// Overlays record with the ten board keys of its section; absent keys keep
// the values the record holds.
void loadBoardSettings(BoardSettings& record, const std::filesystem::path& path);

// Writes "Speed", "SLOT_00_CHIP_ID" and "SLOT_00_CHIP_CLOCK" of the record to
// its section, nothing else. False when the file could not be written.
bool saveBoardSettings(const BoardSettings& record, const std::filesystem::path& path);
