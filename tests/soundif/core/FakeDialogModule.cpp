// A stand-in for the settings dialog module, for tests: its entry writes the
// INI path it was given to the file named by TAVRO_TEST_DIALOG_OUT.
#include <cstdlib>
#include <fstream>

extern "C" __attribute__((visibility("default"))) int tavroShowSettingsDialog(const char* iniPath) {
    if (const char* out = std::getenv("TAVRO_TEST_DIALOG_OUT")) std::ofstream(out) << iniPath;
    return 1;
}
