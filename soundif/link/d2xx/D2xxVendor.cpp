// The Windows backend: the vendor's D2XX driver library, ftd2xx.dll, looked
// up by name with the platform's standard library search the first time a
// device function is needed. Without it there are no devices.
#include "soundif/link/d2xx/D2xxBackends.h"

const D2xxFunctions& platformD2xx() {
    static const D2xxFunctions functions = loadD2xxModule("ftd2xx.dll");
    return functions;
}
