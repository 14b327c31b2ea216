// The settings dialog as the library runs it (the manager is handed
// runSettingsDialog). On Windows the dialogs are part of the library itself
// (win32/SettingsDialog.cpp). Elsewhere they live in a module of their own
// beside the library, loaded only when the dialog is asked for
// (SettingsDialogModule.cpp), so that a player process never maps a GUI
// toolkit; that module exports one C function.
#pragma once

#include "soundif/device/D2xxFunctions.h"

#include <cstdint>
#include <filesystem>

// Runs the settings dialog modally on the INI file at iniPath, listing the
// boards that devices can open, and returns when it is closed: 1, whatever
// the user chose, also when no dialog could be shown.
std::int32_t runSettingsDialog(const std::filesystem::path& iniPath, const D2xxFunctions& devices);

// The dialog module's entry: the INI path in UTF-8 and the library's device
// functions. Returns 1, also when no display can be opened (the module then
// writes a one-line message to standard error).
extern "C" {
typedef int TavroSettingsDialogEntry(const char* iniPath, const D2xxFunctions* devices);
}

inline constexpr const char* dialogModuleFileName = "libtavro_dialogs.so";
inline constexpr const char* dialogEntryName = "tavroShowSettingsDialog";
