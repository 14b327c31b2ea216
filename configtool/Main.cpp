// tavroconfig: opens the sound-interface library's settings dialog and exits
// when it is closed. The library is linked at load time (the program does
// not start without libtavro.so); the arguments are ignored and the exit code
// is always 0. No board is opened here: the dialog edits the INI file only.
#include <tavro/SoundInterface.h>

int main() {
    if (SoundInterfaceManager* manager = getSoundInterfaceManager()) manager->showSettingsDialog();
    return 0;
}
