// The fake device table behind fakeDevices().
#include "FakeDevices.h"

namespace {
std::vector<FakeDevice> attached;
FT_STATUS listing = ftOk;
int openHandles = 0;

FT_STATUS listDevices(void* count, void*, std::uint32_t flags) {
    if (flags != ftListNumberOnly) return 4;
    *static_cast<std::uint32_t*>(count) = static_cast<std::uint32_t>(attached.size());
    return listing;
}

FT_STATUS open(std::int32_t index, FT_HANDLE* handle) {
    if (index < 0 || index >= static_cast<std::int32_t>(attached.size())) return ftDeviceNotFound;
    FakeDevice& device = attached[static_cast<std::size_t>(index)];
    if (device.busy) return 3;
    ++openHandles;
    *handle = &device;
    return ftOk;
}

FT_STATUS getComPortNumber(FT_HANDLE handle, std::int32_t* port) {
    const auto* device = static_cast<FakeDevice*>(handle);
    if (device->portUnreadable) return 4;
    *port = device->port;
    return ftOk;
}

FT_STATUS close(FT_HANDLE) {
    --openHandles;
    return ftOk;
}

FT_STATUS notUsed(FT_HANDLE, std::uint8_t, std::uint8_t) {
    return 1;
}
FT_STATUS notUsedBaud(FT_HANDLE, std::uint32_t) {
    return 1;
}
FT_STATUS notUsedWrite(FT_HANDLE, void*, std::uint32_t, std::uint32_t*) {
    return 1;
}

constexpr D2xxFunctions functions{listDevices, open,        getComPortNumber, close,
                                  notUsed,     notUsedBaud, notUsedWrite};
} // namespace

const D2xxFunctions& fakeDevices(std::vector<FakeDevice> devices, FT_STATUS listStatus) {
    attached = std::move(devices);
    listing = listStatus;
    openHandles = 0;
    return functions;
}

int openFakeHandles() {
    return openHandles;
}
