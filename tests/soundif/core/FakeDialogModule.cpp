// A stand-in for the settings dialog module, for tests: its entry writes the
// INI path it was given to the file named by TAVRO_TEST_DIALOG_OUT, and below
// it the number of devices the device functions it was given list.
#include "soundif/device/D2xxFunctions.h"

#include <cstdlib>
#include <fstream>
#include <string>

extern "C" __attribute__((visibility("default"))) int
tavroShowSettingsDialog(const char* iniPath, const D2xxFunctions* devices) {
    const char* out = std::getenv("TAVRO_TEST_DIALOG_OUT");
    if (out == nullptr) return 1;
    std::uint32_t count = 0;
    const bool listed =
        devices != nullptr && devices->listDevices(&count, nullptr, ftListNumberOnly) == ftOk;
    std::ofstream(out) << iniPath << "\n" << (listed ? std::to_string(count) : "none");
    return 1;
}
