// runSettingsDialog on Windows: the settings dialog is part of the library
// and runs on the Win32 binding that the library entry installed. Modal, no
// owner window; the dialog's result is not used.
#include "soundif/core/SettingsDialog.h"

#include "soundif/dialogs/ConfigDlg.h"

std::int32_t runSettingsDialog(const std::filesystem::path& iniPath) {
    CConfigDlg dialog(iniPath, d2xx());
    dialog.doModal();
    return 1;
}
