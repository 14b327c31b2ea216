// Platform layer for Linux and other POSIX systems: monotonic clock, dlopen,
// dladdr and signals.
#include "common/Platform.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>

namespace platform {

std::int64_t counterFrequency() {
    using Period = std::chrono::steady_clock::period;
    return Period::den / Period::num;
}

std::uint64_t counterValue() {
    return static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
}

std::uint32_t tickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void* loadLibrary(const std::string& name) { return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* findSymbol(void* module, const char* name) { return dlsym(module, name); }

void freeLibrary(void* module) { dlclose(module); }

std::filesystem::path modulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    std::error_code error;
    auto path = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path(info.dli_fname) : path;
}

namespace {
void (*consoleHandler)() = nullptr;

extern "C" void onSignal(int) {
    if (consoleHandler != nullptr) consoleHandler();
}
} // namespace

void installConsoleEventHandler(void (*handler)()) {
    consoleHandler = handler;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
}

void setEnvironment(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

void unsetEnvironment(const std::string& name) { unsetenv(name.c_str()); }

} // namespace platform
