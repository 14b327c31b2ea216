// The dialog module's one export: runs the settings dialog on the GTK
// binding for the INI file it is given. Without a display it writes one line
// to standard error and returns, as it does after the dialog closes, 1.
#include "soundif/dialogs/ConfigDlg.h"
#include "soundif/dialogs/SettingsDialog.h"
#include "soundif/dialogs/WindowMap.h"
#include "soundif/dialogs/gtk/GtkBinding.h"

#include <cstdio>
#include <type_traits>

extern "C" __attribute__((visibility("default"))) int
tavroShowSettingsDialog(const char* iniPath, const D2xxFunctions* devices) {
    if (devices == nullptr) return 1;
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fputs("tavro: no display could be opened, so the settings dialog cannot be shown\n",
                   stderr);
        return 1;
    }
    GtkBinding binding;
    installWindowBinding(&binding);
    {
        CConfigDlg dialog(iniPath != nullptr ? iniPath : "", *devices);
        dialog.doModal();
    }
    installWindowBinding(nullptr);
    return 1;
}

static_assert(std::is_same_v<decltype(tavroShowSettingsDialog), TavroSettingsDialogEntry>);
