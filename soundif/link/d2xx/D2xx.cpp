// The device seam: picks, once per process, where the seven device functions
// come from: the module d2xxModulePath names (a virtual board, or the vendor
// driver itself), otherwise the system's own backend (platformD2xx: libftdi1
// on Linux, ftd2xx.dll on Windows).
#include "soundif/link/d2xx/D2xxBackends.h"

const D2xxFunctions& d2xx() {
    static const D2xxFunctions functions = [] {
        const std::string module = d2xxModulePath();
        return module.empty() ? platformD2xx() : loadD2xxModule(module);
    }();
    return functions;
}
