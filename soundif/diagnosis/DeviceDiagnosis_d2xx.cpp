// diagnoseDevices on Windows: through the vendor's D2XX driver, or the module
// that TAVRO_D2XX_MODULE names; without the driver, a clear "not available".
#include "soundif/diagnosis/DeviceDiagnosis.h"
#include "soundif/link/d2xx/D2xxBackends.h"

#include <cstdlib>

namespace diagnosis {

Diagnosis diagnoseDevices() {
    if (std::optional<Diagnosis> module = diagnoseNamedModule()) return *module;
    const D2xxFunctions& vendor = platformD2xx();
    if (vendor.listDevices == noD2xxDevices().listDevices) {
        Diagnosis none;
        none.source = "the vendor's D2XX driver";
        none.unavailable = "ftd2xx.dll was not found; install the board maker's D2XX driver";
        return none;
    }
    return diagnoseThroughFunctions(vendor, "the vendor's D2XX driver");
}

} // namespace diagnosis
