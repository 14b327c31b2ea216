// The settings dialogs live in a module of their own, beside the library, that
// showSettingsDialog loads only when it is called, so that a player process
// never maps a GUI toolkit. The module exports one C function.
#pragma once

// Runs the settings dialog modally on the INI file at iniPath (UTF-8) and
// returns when it is closed. Returns 1, also when no display can be opened
// (the module then writes a one-line message to standard error).
extern "C" {
typedef int TavroSettingsDialogEntry(const char* iniPath);
}

inline constexpr const char* dialogModuleFileName = "libtavro_dialogs.so";
inline constexpr const char* dialogEntryName = "tavroShowSettingsDialog";
