// tavroconfig on Windows: a GUI-subsystem program that opens the settings
// dialog of TAVRO.DLL, which it imports at load time (without the DLL the
// system does not start it), and exits with 0 when the dialog is closed. The
// entry's arguments, the command line among them, are ignored. No board is
// opened here: the dialog edits the INI file only.
#include <tavro/SoundInterface.h>

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (SoundInterfaceManager* manager = getSoundInterfaceManager()) manager->showSettingsDialog();
    return 0;
}
