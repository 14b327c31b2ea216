// The shared half of the device diagnosis: the look through the seven device
// functions, and the text for users. The platform halves supply
// diagnoseDevices (DeviceDiagnosis_libusb.cpp, DeviceDiagnosis_d2xx.cpp).
#include "soundif/diagnosis/DeviceDiagnosis.h"
#include "soundif/device/D2xxStatusText.h"
#include "soundif/link/d2xx/D2xxBackends.h"

namespace diagnosis {

Diagnosis diagnoseThroughFunctions(const D2xxFunctions& functions, std::string source) {
    Diagnosis result;
    result.source = std::move(source);
    std::uint32_t count = 0;
    if (const FT_STATUS status = functions.listDevices(&count, nullptr, ftListNumberOnly);
        status != ftOk) {
        result.unavailable =
            std::string("the devices could not be listed: ") + d2xxStatusText(status);
        return result;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        DeviceFinding finding;
        finding.device = "device " + std::to_string(index);
        FT_HANDLE handle = nullptr;
        if (const FT_STATUS status = functions.open(static_cast<std::int32_t>(index), &handle);
            status != ftOk) {
            finding.verdict = status == ftDeviceNotFound ? Verdict::gone : Verdict::failed;
            finding.reason = d2xxStatusText(status);
            finding.mend = "close any other program that uses this board (a player or a settings "
                           "dialog), or re-plug the board";
        } else {
            std::int32_t port = 0;
            if (functions.getComPortNumber(handle, &port) == ftOk) finding.comNumber = port;
            functions.close(handle);
        }
        result.devices.push_back(std::move(finding));
    }
    return result;
}

std::optional<Diagnosis> diagnoseNamedModule() {
    const std::string module = d2xxModulePath();
    if (module.empty()) return std::nullopt;
    const std::string source = "the module " + module;
    if (const std::string fault = d2xxModuleFault(module); !fault.empty()) {
        Diagnosis unusable;
        unusable.source = source;
        unusable.unavailable = "the module " + fault + " (TAVRO_D2XX_MODULE)";
        return unusable;
    }
    return diagnoseThroughFunctions(loadD2xxModule(module), source);
}

std::string describe(const Diagnosis& diagnosis) {
    std::string text = "FTDI devices, through " + diagnosis.source + ":\n";
    if (!diagnosis.unavailable.empty())
        return text + "  not available: " + diagnosis.unavailable + "\n";
    if (diagnosis.devices.empty())
        return text + "  none found. Check the cable and that the board has power.\n";
    for (const DeviceFinding& device : diagnosis.devices) {
        std::string com = device.comNumber != 0 ? "COM" + std::to_string(device.comNumber) : "COM?";
        com.resize(std::max<std::size_t>(com.size(), 9), ' ');
        text += "  " + com + device.device + ": ";
        text += device.verdict == Verdict::usable ? "can be opened\n"
                                                  : "cannot be opened: " + device.reason + "\n";
        if (!device.mend.empty()) text += "           Mend: " + device.mend + "\n";
        if (!device.note.empty()) text += "           Note: " + device.note + "\n";
    }
    return text;
}

} // namespace diagnosis
