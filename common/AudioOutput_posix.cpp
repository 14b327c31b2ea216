// AudioOutput::open on Linux: loads the sound-server module
// (libtonrig_audio_pulse.so) from the directory of the module that calls it,
// else through the usual library search, once, and keeps it loaded. See
// AudioOutput.h.
#include "common/AudioOutput.h"

#include "common/Platform.h"

namespace platform {

namespace {

using OpenFunction = AudioOutput* (*)(const std::string& name, const std::string& device,
                                      std::uint32_t rate, std::uint32_t bufferMs,
                                      const AudioOutput::Source& source, std::string& error);

constexpr const char* moduleName = "libtonrig_audio_pulse.so";
const char marker = 0; // an address inside the module this code is linked into

OpenFunction findOpen() {
    const std::filesystem::path beside = modulePathOf(&marker).parent_path() / moduleName;
    void* module = loadLibrary(beside.string());
    if (module == nullptr) module = loadLibrary(moduleName);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<OpenFunction>(findSymbol(module, "tonrigOpenAudioOutput"));
}

} // namespace

std::unique_ptr<AudioOutput> AudioOutput::open(const std::string& name, const std::string& device,
                                               std::uint32_t rate, std::uint32_t bufferMs,
                                               Source source, std::string& error) {
    static const OpenFunction open = findOpen();
    if (open == nullptr) {
        error = std::string("the sound output module ") + moduleName + " cannot be loaded";
        return nullptr;
    }
    return std::unique_ptr<AudioOutput>(open(name, device, rate, bufferMs, source, error));
}

} // namespace platform
