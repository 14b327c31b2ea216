// The dialogs' resources: the two dialog templates (controls, texts, ids and
// places in dialog units, in creation order) and the string table. Texts use
// '&' before a mnemonic letter; bindings translate that to their toolkit's
// marker. The GTK binding builds its windows from this data, mapping dialog
// units to pixels with its own scale and using the desktop's font. On Windows
// the same templates and strings are compiled into the library as resources
// (win32/tavro.rc), which the system's dialog manager and loadResourceString
// read; a test holds the two copies equal. The message shown when no board
// can be opened keeps its original wording, which names the library by its
// Windows file name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr int settingsDialogTemplate = 101;
inline constexpr int boardSetupDialogTemplate = 102;

inline constexpr int idStatic = -1;
inline constexpr int interfaceListId = 1000;
inline constexpr int setupButtonId = 1001;
inline constexpr int speedListId = 1002;
inline constexpr int chipTypeListId = 1003;
inline constexpr int clockBoxId = 1004;

inline constexpr std::uint32_t messageCaptionString = 30002;
inline constexpr std::uint32_t noInterfaceMessageString = 30003;
inline constexpr std::uint32_t saveFailedMessageString = 30004;

enum class ControlKind {
    staticText,
    groupBox,
    dropDownList,  // not editable
    dropDownCombo, // editable text with a drop-down of suggestions
    pushButton,
    defaultPushButton,
};

struct ControlTemplate {
    ControlKind kind;
    int id;
    std::string_view text;
    int x, y, width, height;
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    int width, height;
    std::span<const ControlTemplate> controls;
};

struct StringResource {
    std::uint32_t id;
    std::string_view text; // UTF-8
};

// The template with that id, or null.
const DialogTemplate* findDialogTemplate(int id);

// The string table as data, in id order.
std::span<const StringResource> stringTable();

// The string with that id, or the empty string when there is none: from the
// library's string resources on Windows (win32/ResourceStrings.cpp), from
// stringTable() elsewhere (TableStrings.cpp).
std::string loadResourceString(std::uint32_t id);
