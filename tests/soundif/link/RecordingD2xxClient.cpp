// Test side of the recording device module: see RecordingD2xx.h.
#include "tests/soundif/link/RecordingD2xx.h"

#include "common/Platform.h"
#include "soundif/link/d2xx/D2xxBackends.h"

#include <cstddef>
#include <stdexcept>

namespace recording {
namespace {

void* module() {
    static void* handle = [] {
        void* loaded = platform::loadLibrary(RECORDING_D2XX_PATH);
        if (loaded == nullptr) throw std::runtime_error("recording device module not found");
        return loaded;
    }();
    return handle;
}

template <typename Function> Function* function(const char* name) {
    auto* found = reinterpret_cast<Function*>(platform::findSymbol(module(), name));
    if (found == nullptr) throw std::runtime_error(name);
    return found;
}

template <typename T> std::vector<T> copyOut(const char* name) {
    auto* copy = function<std::size_t(T*, std::size_t)>(name);
    std::vector<T> result(copy(nullptr, 0));
    result.resize(copy(result.data(), result.size()));
    return result;
}

} // namespace

const D2xxFunctions& functions() {
    module();
    static const D2xxFunctions bound = loadD2xxModule(RECORDING_D2XX_PATH);
    return bound;
}

void start(const std::string& devices) {
    setDevices(devices);
    platform::setEnvironment("TAVRO_TEST_D2XX_LIST_STATUS", "0");
    platform::setEnvironment("TAVRO_TEST_D2XX_COUNT_ONLY", "0");
    function<void()>("recordingD2xxReset")();
}

void useRecordingD2xx(const std::string& devices) {
    platform::setEnvironment("TAVRO_D2XX_MODULE", RECORDING_D2XX_PATH);
    start(devices);
}

void failCalls(const Failures& failures) {
    function<void(std::uint32_t, std::uint32_t, std::uint32_t)>("recordingD2xxFail")(
        failures.bitMode, failures.baudRate, failures.write);
}

void setDevices(const std::string& devices) {
    platform::setEnvironment("TAVRO_TEST_D2XX_DEVICES", devices);
}

std::vector<std::string> calls() {
    const std::vector<char> text = copyOut<char>("recordingD2xxCalls");
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c != '\n') {
            line += c;
            continue;
        }
        lines.push_back(line);
        line.clear();
    }
    return lines;
}

std::vector<std::uint8_t> bytes() {
    return copyOut<std::uint8_t>("recordingD2xxBytes");
}

std::vector<std::uint32_t> writeSizes() {
    return copyOut<std::uint32_t>("recordingD2xxWriteSizes");
}

void writeTimes(std::vector<std::uint64_t>& bytesAfter, std::vector<std::int64_t>& nanoseconds) {
    auto* copy = function<std::size_t(std::uint64_t*, std::int64_t*, std::size_t)>(
        "recordingD2xxWriteTimes");
    const std::size_t n = copy(nullptr, nullptr, 0);
    bytesAfter.resize(n);
    nanoseconds.resize(n);
    const std::size_t copied = copy(bytesAfter.data(), nanoseconds.data(), n);
    bytesAfter.resize(std::min(n, copied));
    nanoseconds.resize(std::min(n, copied));
}

std::uint64_t byteCount() {
    return function<std::uint64_t()>("recordingD2xxByteCount")();
}

void clear() {
    function<void()>("recordingD2xxClear")();
}

} // namespace recording
