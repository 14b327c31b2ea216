// The settings dialog as the manager reaches it. On Windows the dialogs are
// part of the library itself (soundif/dialogs/win32). Elsewhere they live in a
// module of their own beside the library, loaded only when the dialog is
// asked for (SettingsDialogModule.cpp), so that a player process never maps
// a GUI toolkit; that module exports one C function.
#pragma once

#include <cstdint>
#include <filesystem>

// Runs the settings dialog modally on the INI file at iniPath and returns
// when it is closed: 1, whatever the user chose, also when no dialog could be
// shown.
std::int32_t runSettingsDialog(const std::filesystem::path& iniPath);

// The dialog module's entry: the INI path in UTF-8. Returns 1, also when no
// display can be opened (the module then writes a one-line message to
// standard error).
extern "C" {
typedef int TavroSettingsDialogEntry(const char* iniPath);
}

inline constexpr const char* dialogModuleFileName = "libtavro_dialogs.so";
inline constexpr const char* dialogEntryName = "tavroShowSettingsDialog";
