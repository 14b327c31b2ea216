// runSettingsDialog on Windows: the settings dialog is part of the library
// and runs on the Win32 binding that the library entry installed. Modal, no
// owner window; the dialog's result is not used.
#include "soundif/dialogs/SettingsDialog.h"

#include "soundif/dialogs/ConfigDlg.h"

std::int32_t runSettingsDialog(const std::filesystem::path& iniPath, const D2xxFunctions& devices) {
    CConfigDlg dialog(iniPath, devices);
    dialog.doModal();
    return 1;
}
