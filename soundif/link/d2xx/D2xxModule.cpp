// The parts of the device seam that need no backend: the table of no
// devices, the functions of a module, where the module is named, and the COM
// numbers the built-in backend gives (which the device diagnosis also uses).
// TAVRO_D2XX_MODULE, when set and not empty, names a shared module that
// exports the seven functions under the vendor driver's names.
#include "common/Platform.h"
#include "soundif/link/d2xx/D2xxBackends.h"

#include <cstdlib>

namespace {

FT_STATUS listNone(void* arg1, void*, std::uint32_t flags) {
    if (flags != ftListNumberOnly || arg1 == nullptr) return ftInvalidParameter;
    *static_cast<std::uint32_t*>(arg1) = 0;
    return ftOk;
}

FT_STATUS openNone(std::int32_t, FT_HANDLE* handle) {
    if (handle != nullptr) *handle = nullptr;
    return ftDeviceNotFound;
}

FT_STATUS portNone(FT_HANDLE, std::int32_t*) {
    return ftInvalidHandle;
}
FT_STATUS closeNone(FT_HANDLE) {
    return ftInvalidHandle;
}
FT_STATUS bitModeNone(FT_HANDLE, std::uint8_t, std::uint8_t) {
    return ftInvalidHandle;
}
FT_STATUS baudNone(FT_HANDLE, std::uint32_t) {
    return ftInvalidHandle;
}

FT_STATUS writeNone(FT_HANDLE, void*, std::uint32_t, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    return ftInvalidHandle;
}

constexpr D2xxFunctions noDevices{listNone,    openNone, portNone, closeNone,
                                  bitModeNone, baudNone, writeNone};

template <typename Function> bool bind(void* module, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(platform::findSymbol(module, name));
    return slot != nullptr;
}

} // namespace

const D2xxFunctions& noD2xxDevices() {
    return noDevices;
}

D2xxFunctions loadD2xxModule(const std::string& path) {
    void* module = platform::loadLibrary(path);
    if (module == nullptr) return noDevices;
    D2xxFunctions functions{};
    const bool complete = bind(module, "FT_ListDevices", functions.listDevices) &&
                          bind(module, "FT_Open", functions.open) &&
                          bind(module, "FT_GetComPortNumber", functions.getComPortNumber) &&
                          bind(module, "FT_Close", functions.close) &&
                          bind(module, "FT_SetBitMode", functions.setBitMode) &&
                          bind(module, "FT_SetBaudRate", functions.setBaudRate) &&
                          bind(module, "FT_Write", functions.write);
    if (complete) return functions;
    platform::freeLibrary(module);
    return noDevices;
}

std::string d2xxModuleFault(const std::string& path) {
    void* module = platform::loadLibrary(path);
    if (module == nullptr)
        return "cannot be loaded (no such file, or not a shared module for this system)";
    std::string fault;
    for (const char* name : {"FT_ListDevices", "FT_Open", "FT_GetComPortNumber", "FT_Close",
                             "FT_SetBitMode", "FT_SetBaudRate", "FT_Write"})
        if (fault.empty() && platform::findSymbol(module, name) == nullptr)
            fault = std::string("does not export ") + name;
    platform::freeLibrary(module);
    return fault;
}

std::string d2xxModulePath() {
    const char* module = std::getenv("TAVRO_D2XX_MODULE");
    return module != nullptr ? std::string(module) : std::string();
}

std::int32_t ftdiComPortNumber(int bus, std::span<const std::uint8_t> portPath, int interface) {
    const int socket = portPath.empty() ? 0 : portPath.back();
    return bus * 1000 + socket * 10 + interface;
}
