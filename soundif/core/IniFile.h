// Access to the library's INI file. On Windows every read and write goes
// through the platform's private-profile functions (IniFile_win32.cpp); the
// POSIX build reads and edits the file with IniText (IniFile_posix.cpp), which
// reads by the same rules: names match without regard to case, values are
// trimmed and lose one pair of surrounding quotes, an empty value or a key
// without '=' reads as absent, integers are read as the platform reads them
// (see parseProfileInt). The board record's load and save are shared
// (IniFile.cpp).
//
// Where the two differ knowingly: the Windows writer rewrites the whole file in
// its own layout (CRLF line endings, blanks around names and '=' and blank
// lines dropped), the POSIX one changes only the value it sets, keeps every
// other byte and saves the file as common/FileSave.h describes (a symbolic
// link keeps pointing at the file it names, mode and owner are kept, and the
// file is never left half written where that can be avoided).
#pragma once

#include "soundif/core/BoardSettings.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The library's own file with the extension ".ini": TAVRO.ini beside TAVRO.DLL,
// libtavro.ini beside libtavro.so. On POSIX systems that file is used when it
// exists (portable and build-tree setups); otherwise the user's own file of
// that name in $XDG_CONFIG_HOME/tavro/ (~/.config/tavro/ when the variable is
// unset or not an absolute path), which need not exist yet. Only meaningful
// inside the library itself: other modules are given the path.
std::filesystem::path iniFilePath();

// The file that the library at that path reads, by the rule above: for
// clients, which tell users which file was read.
std::filesystem::path iniFilePathFor(const std::filesystem::path& library);

// A sentence telling users where the file is looked for, for messages; empty
// where the file is always the one beside the library.
std::string iniFileLocationNote();

// Every section name of the file, in file order, a name that appears twice
// listed twice; empty for a missing file.
std::vector<std::string> listSections(const std::filesystem::path& path);

// "ftd2xx(COM%d)".
std::string boardSectionName(std::int32_t port);

// One integer key, or fallback when the file, section or key is absent or the
// value is empty.
std::int32_t readIniInt(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, std::int32_t fallback);

// Sets one key, adding the key, the section and the file when missing. False
// when the file could not be written.
bool writeIniString(const std::filesystem::path& path, const std::string& section,
                    const std::string& key, const std::string& value);

// Overlays record with the ten board keys of its section; absent keys keep
// the values the record holds.
void loadBoardSettings(BoardSettings& record, const std::filesystem::path& path);

// Writes "Speed", "SLOT_00_CHIP_ID" and "SLOT_00_CHIP_CLOCK" of the record to
// its section, in that order and as signed decimal text, nothing else. False
// when any of the three could not be written.
bool saveBoardSettings(const BoardSettings& record, const std::filesystem::path& path);
