// The library's one export and its manager, wired to what the library is made
// of: the INI file beside the library, the process's device functions, board
// interfaces on them and the settings dialog. The manager is built when the
// library is loaded and destroyed, closing whatever is still open, when it is
// unloaded; clients close the interfaces themselves before unloading.
#include "soundif/core/IniFile.h"
#include "soundif/core/SoundInterfaceManager.h"
#include "soundif/dialogs/SettingsDialog.h"
#include "soundif/link/SoundInterfaceFtd2xx.h"
#include "soundif/link/d2xx/D2xxBackends.h"

namespace {

std::unique_ptr<CSoundInterface> makeBoard(const BoardSettings& settings,
                                           const D2xxFunctions& devices) {
    return std::make_unique<CSoundInterfaceFtd2xx>(settings, devices);
}

CSoundInterfaceManager manager({iniFilePath, d2xx, makeBoard, runSettingsDialog});

} // namespace

extern "C" __attribute__((visibility("default"))) SoundInterfaceManager*
getSoundInterfaceManager() {
    return &manager;
}
