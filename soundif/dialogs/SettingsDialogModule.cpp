// runSettingsDialog for systems whose dialogs live in a module of their own:
// loads the module from the library's own directory, calls its entry and
// unloads it again.
#include "soundif/dialogs/SettingsDialog.h"

#include "common/Platform.h"

#include <cstdio>

namespace {
// The directory of the module this code was linked into.
std::filesystem::path ownDirectory() {
    return platform::modulePathOf(reinterpret_cast<const void*>(&ownDirectory)).parent_path();
}
} // namespace

std::int32_t runSettingsDialog(const std::filesystem::path& iniPath, const D2xxFunctions& devices) {
    const std::filesystem::path modulePath = ownDirectory() / dialogModuleFileName;
    void* module = platform::loadLibrary(modulePath.string());
    if (module == nullptr) {
        std::fprintf(stderr, "tavro: the settings dialog module %s could not be loaded\n",
                     modulePath.string().c_str());
        return 1;
    }
    auto* entry =
        reinterpret_cast<TavroSettingsDialogEntry*>(platform::findSymbol(module, dialogEntryName));
    if (entry == nullptr) {
        std::fprintf(stderr, "tavro: %s has no entry %s\n", modulePath.string().c_str(),
                     dialogEntryName);
    } else {
        entry(reinterpret_cast<const char*>(iniPath.u8string().c_str()), &devices);
    }
    platform::freeLibrary(module);
    return 1;
}
