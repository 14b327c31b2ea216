// The library's one export and its manager. The manager is built when the
// library is loaded and destroyed, closing whatever is still open, when it is
// unloaded; clients close the interfaces themselves before unloading.
#include "soundif/core/IniFile.h"
#include "soundif/core/SoundInterfaceManager.h"

namespace {
CSoundInterfaceManager manager(iniFilePath);
}

extern "C" __attribute__((visibility("default"))) SoundInterfaceManager*
getSoundInterfaceManager() {
    return &manager;
}
