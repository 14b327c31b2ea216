// Templates 101 (settings dialog) and 102 (board setup dialog) and the
// string table, as data.
#include "soundif/dialogs/DialogResources.h"

#include <array>

namespace {
using enum ControlKind;

constexpr std::array settingsControls{
    ControlTemplate{staticText, idStatic, "&Interface:", 8, 11, 32, 8},
    ControlTemplate{dropDownList, interfaceListId, "", 40, 8, 140, 96},
    ControlTemplate{pushButton, setupButtonId, "&Setup", 182, 8, 50, 14},
    ControlTemplate{defaultPushButton, 2, "&Close", 182, 32, 50, 14},
};

constexpr std::array boardSetupControls{
    ControlTemplate{groupBox, idStatic, "Interface", 8, 8, 200, 32},
    ControlTemplate{staticText, idStatic, "&Speed:", 16, 23, 30, 8},
    ControlTemplate{dropDownList, speedListId, "", 48, 20, 62, 96},
    ControlTemplate{staticText, idStatic, "bps", 112, 23, 30, 8},
    ControlTemplate{groupBox, idStatic, "Sound chip setting", 8, 48, 200, 44},
    ControlTemplate{staticText, idStatic, "ChipType", 64, 60, 32, 8},
    ControlTemplate{staticText, idStatic, "SLOT01", 16, 73, 30, 10},
    ControlTemplate{dropDownList, chipTypeListId, "", 64, 70, 62, 96},
    ControlTemplate{dropDownCombo, clockBoxId, "", 128, 70, 62, 96},
    ControlTemplate{staticText, idStatic, "Hz", 192, 73, 14, 10},
    ControlTemplate{defaultPushButton, 1, "&OK", 104, 98, 50, 14},
    ControlTemplate{pushButton, 2, "&Cancel", 158, 98, 50, 14},
};

constexpr std::array dialogTemplates{
    DialogTemplate{settingsDialogTemplate, "tavro setup", 240, 54, settingsControls},
    DialogTemplate{boardSetupDialogTemplate, "KX7M Setup", 216, 120, boardSetupControls},
};

constexpr std::array strings{
    StringResource{messageCaptionString, "インフォメーション"},
    StringResource{noInterfaceMessageString,
                   "tavro.dllが使用中か、利用できるインターフェースが存在しません。\r\n"
                   "プレイヤー等を停止した状態で設定を行ってください。"},
    StringResource{saveFailedMessageString, "The settings could not be saved to this file:"},
};
} // namespace

const DialogTemplate* findDialogTemplate(int id) {
    for (const DialogTemplate& dialog : dialogTemplates)
        if (dialog.id == id) return &dialog;
    return nullptr;
}

std::span<const StringResource> stringTable() {
    return strings;
}
