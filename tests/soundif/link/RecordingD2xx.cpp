// A stand-in for the vendor device driver, for tests: a shared module that
// exports the seven device functions, serves the devices that the
// environment describes and records every call. Load it with
// TAVRO_D2XX_MODULE; tests read the record through the extra exports below
// (RecordingD2xx.h wraps them).
//
// Environment, read at every FT_ListDevices, so a test can change it:
//   TAVRO_TEST_D2XX_DEVICES      one entry per device, comma-separated: its
//                                COM port number; "!N" for a device whose
//                                open fails with status N; "?N" for one
//                                whose port query fails with status N
//   TAVRO_TEST_D2XX_LIST_STATUS  status of FT_ListDevices (default 0)
//   TAVRO_TEST_D2XX_COUNT_ONLY   "1": keep byte counts and write times, not
//                                the bytes (for long runs)
// recordingD2xxFail makes FT_SetBitMode, FT_SetBaudRate or FT_Write fail
// with a status of the test's choosing (a failed write writes nothing, and
// is recorded as "write H N failed").
//
// Like a real driver it lets a device be open only once at a time; unlike
// one, it never loses bytes and takes no time to write them.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Device {
    std::int32_t port = 0;
    std::uint32_t openStatus = 0;
    std::uint32_t portStatus = 0;
    bool open = false;
};

struct Record {
    std::mutex lock;
    std::vector<Device> devices;
    std::string calls;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> writeSizes;
    std::vector<std::uint64_t> bytesAfterWrite;
    std::vector<std::int64_t> writeTimes;
    std::uint64_t byteCount = 0;
    bool countOnly = false;
    std::uint32_t bitModeStatus = 0;
    std::uint32_t baudStatus = 0;
    std::uint32_t writeStatus = 0;
};

Record& record() {
    static Record instance;
    return instance;
}

std::uint32_t envNumber(const char* name, std::uint32_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? static_cast<std::uint32_t>(std::atol(text))
                                            : fallback;
}

std::vector<Device> devicesFromEnvironment() {
    std::vector<Device> devices;
    const char* text = std::getenv("TAVRO_TEST_D2XX_DEVICES");
    std::string list = text != nullptr ? text : "";
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string entry = list.substr(start, end - start);
        Device device;
        if (!entry.empty() && entry[0] == '!') {
            device.openStatus = static_cast<std::uint32_t>(std::atol(entry.c_str() + 1));
        } else if (!entry.empty() && entry[0] == '?') {
            device.portStatus = static_cast<std::uint32_t>(std::atol(entry.c_str() + 1));
        } else {
            device.port = std::atoi(entry.c_str());
        }
        devices.push_back(device);
        start = end + 1;
    }
    return devices;
}

void log(const std::string& line) {
    record().calls += line + "\n";
}

// Handles are device index + 1; null and unknown handles are invalid.
Device* deviceOf(void* handle) {
    const auto index = reinterpret_cast<std::uintptr_t>(handle);
    auto& devices = record().devices;
    if (index == 0 || index > devices.size() || !devices[index - 1].open) return nullptr;
    return &devices[index - 1];
}

std::string handleText(void* handle) {
    return std::to_string(static_cast<long>(reinterpret_cast<std::uintptr_t>(handle)) - 1);
}

constexpr std::uint32_t invalidHandle = 1;
constexpr std::uint32_t deviceNotOpened = 3;

} // namespace

EXPORT std::uint32_t FT_ListDevices(void* count, void*, std::uint32_t flags) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    log("list " + std::to_string(flags));
    r.countOnly = envNumber("TAVRO_TEST_D2XX_COUNT_ONLY", 0) == 1;
    auto devices = devicesFromEnvironment();
    for (std::size_t i = 0; i < devices.size() && i < r.devices.size(); ++i)
        devices[i].open = r.devices[i].open;
    r.devices = devices;
    *static_cast<std::uint32_t*>(count) = static_cast<std::uint32_t>(r.devices.size());
    return envNumber("TAVRO_TEST_D2XX_LIST_STATUS", 0);
}

EXPORT std::uint32_t FT_Open(std::int32_t index, void** handle) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    log("open " + std::to_string(index));
    *handle = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= r.devices.size()) return deviceNotOpened;
    Device& device = r.devices[static_cast<std::size_t>(index)];
    if (device.openStatus != 0) return device.openStatus;
    if (device.open) return deviceNotOpened;
    device.open = true;
    *handle = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index) + 1);
    return 0;
}

EXPORT std::uint32_t FT_GetComPortNumber(void* handle, std::int32_t* port) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    log("port " + handleText(handle));
    const Device* device = deviceOf(handle);
    if (device == nullptr) return invalidHandle;
    if (device->portStatus != 0) return device->portStatus;
    *port = device->port;
    return 0;
}

EXPORT std::uint32_t FT_Close(void* handle) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    log("close " + handleText(handle));
    Device* device = deviceOf(handle);
    if (device == nullptr) return invalidHandle;
    device->open = false;
    return 0;
}

EXPORT std::uint32_t FT_SetBitMode(void* handle, std::uint8_t mask, std::uint8_t mode) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    log("bitmode " + handleText(handle) + " " + std::to_string(mask) + " " + std::to_string(mode));
    return deviceOf(handle) != nullptr ? r.bitModeStatus : invalidHandle;
}

EXPORT std::uint32_t FT_SetBaudRate(void* handle, std::uint32_t baud) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    log("baud " + handleText(handle) + " " + std::to_string(baud));
    return deviceOf(handle) != nullptr ? r.baudStatus : invalidHandle;
}

EXPORT std::uint32_t FT_Write(void* handle, void* buffer, std::uint32_t length,
                              std::uint32_t* written) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    Record& r = record();
    const std::lock_guard guard(r.lock);
    *written = 0;
    if (deviceOf(handle) == nullptr) return invalidHandle;
    if (r.writeStatus != 0) {
        log("write " + handleText(handle) + " " + std::to_string(length) + " failed");
        return r.writeStatus;
    }
    r.byteCount += length;
    r.bytesAfterWrite.push_back(r.byteCount);
    r.writeTimes.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    if (!r.countOnly) {
        log("write " + handleText(handle) + " " + std::to_string(length));
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        r.bytes.insert(r.bytes.end(), bytes, bytes + length);
        r.writeSizes.push_back(length);
    }
    *written = length;
    return 0;
}

// The record, for tests. Each copy function returns the full size and copies
// at most capacity elements.
EXPORT std::size_t recordingD2xxCalls(char* out, std::size_t capacity) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    std::copy_n(r.calls.data(), std::min(capacity, r.calls.size()), out);
    return r.calls.size();
}

EXPORT std::size_t recordingD2xxBytes(std::uint8_t* out, std::size_t capacity) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    std::copy_n(r.bytes.data(), std::min(capacity, r.bytes.size()), out);
    return r.bytes.size();
}

EXPORT std::size_t recordingD2xxWriteSizes(std::uint32_t* out, std::size_t capacity) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    const std::size_t n = std::min(capacity, r.writeSizes.size());
    std::copy_n(r.writeSizes.data(), n, out);
    return r.writeSizes.size();
}

EXPORT std::size_t recordingD2xxWriteTimes(std::uint64_t* bytesAfter, std::int64_t* nanoseconds,
                                           std::size_t capacity) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    const std::size_t n = std::min(capacity, r.writeTimes.size());
    std::copy_n(r.bytesAfterWrite.data(), n, bytesAfter);
    std::copy_n(r.writeTimes.data(), n, nanoseconds);
    return r.writeTimes.size();
}

EXPORT std::uint64_t recordingD2xxByteCount() {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    return r.byteCount;
}

namespace {
void clearRecord(Record& r) {
    r.calls.clear();
    r.bytes.clear();
    r.writeSizes.clear();
    r.bytesAfterWrite.clear();
    r.writeTimes.clear();
    r.byteCount = 0;
}
} // namespace

EXPORT void recordingD2xxClear() {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    clearRecord(r);
}

// Forgets the devices and the failing calls too: the next listing attaches
// the devices anew, none open, and every call succeeds.
EXPORT void recordingD2xxReset() {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    clearRecord(r);
    r.devices.clear();
    r.bitModeStatus = r.baudStatus = r.writeStatus = 0;
}

EXPORT void recordingD2xxFail(std::uint32_t bitMode, std::uint32_t baud, std::uint32_t write) {
    Record& r = record();
    const std::lock_guard guard(r.lock);
    r.bitModeStatus = bitMode;
    r.baudStatus = baud;
    r.writeStatus = write;
}
