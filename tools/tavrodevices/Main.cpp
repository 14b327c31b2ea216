// tavrodevices: lists every FTDI device attached, with whether the library
// can open it and, when not, why and what to do about it. No arguments; the
// exit code is 0 when the list could be made, 1 otherwise.
#include "soundif/diagnosis/DeviceDiagnosis.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fputs("Usage: tavrodevices\n"
                   "Lists the FTDI devices attached, with the COM number of each board and why\n"
                   "one that cannot be opened cannot, and how to mend it.\n",
                   help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const diagnosis::Diagnosis found = diagnosis::diagnoseDevices();
    std::fputs(diagnosis::describe(found).c_str(), stdout);
    return found.unavailable.empty() ? 0 : 1;
}
