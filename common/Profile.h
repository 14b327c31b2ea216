// The platform's private-profile functions, for the library's INI file on
// Windows (GetPrivateProfileIntW, GetPrivateProfileStringW,
// WritePrivateProfileStringW, and the module path with PathRenameExtensionW).
// Only Windows builds have them (Profile_win32.cpp); the POSIX build reads and
// edits its INI file with its own code instead. Names and values cross this
// interface as UTF-8 and are widened for the calls; section names come back
// as UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// The file of the module that contains the given address, taken into a
// buffer of 260 wide characters (GetModuleFileNameW), with its extension
// replaced by ".ini" (PathRenameExtensionW): TAVRO.DLL gives TAVRO.ini in the
// same folder. Empty when the module cannot be told or its path does not fit.
std::filesystem::path profilePathBeside(const void* addressInModule);

// GetPrivateProfileIntW: fallback when the file, section or key is absent.
std::int32_t profileInt(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, std::int32_t fallback);

// Every section name in file order, through GetPrivateProfileStringW with
// neither section nor key, into a buffer of 256 wide characters that doubles
// while the returned length plus 2 is not below its size.
std::vector<std::string> profileSectionNames(const std::filesystem::path& path);

// WritePrivateProfileStringW of one key; false when the write failed.
bool writeProfileString(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, const std::string& value);

} // namespace platform
