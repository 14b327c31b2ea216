// The emulated USB bus behind the libusb-1.0 functions that libftdi1 and our
// device backend call (see EmulatedUsb.h). Devices are FTDI chips as their
// data sheets describe them to the host; where this differs from hardware:
// requests complete at once (no timing, no time-outs), bulk-in reads return
// only the two modem status bytes, and the EEPROM reads as blank.
#include "tests/soundif/link/usb/EmulatedUsb.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <libusb.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

namespace emulatedusb {
namespace {

struct ChipFacts {
    std::uint16_t product;
    std::uint16_t bcdDevice;
    int interfaces;
    std::uint16_t packetSize;
    bool highSpeedDivisor; // divisor bit 17 selects the 12 MHz base
    bool portInIndex;      // wIndex low byte names the port, divisor high bits in its high byte
    const char* name;
};

constexpr ChipFacts factsOf(Chip chip) {
    switch (chip) {
    case Chip::ft232r: return {0x6001, 0x0600, 1, 64, false, false, "FT232R USB UART"};
    case Chip::ft2232d: return {0x6010, 0x0500, 2, 64, false, true, "Dual RS232"};
    case Chip::ft2232h: return {0x6010, 0x0700, 2, 512, true, true, "Dual RS232-HS"};
    case Chip::ft4232h: return {0x6011, 0x0800, 4, 512, true, true, "Quad RS232-HS"};
    case Chip::ft232h: return {0x6014, 0x0900, 1, 512, true, true, "Single RS232-HS"};
    case Chip::ft230x: return {0x6015, 0x1000, 1, 64, false, false, "FT230X Basic UART"};
    }
    return {};
}

// FTDI's vendor requests (bRequest), as the chips' documentation numbers them.
enum Request : std::uint8_t {
    reqReset = 0x00,
    reqModemCtrl = 0x01,
    reqFlowCtrl = 0x02,
    reqBaudRate = 0x03,
    reqData = 0x04,
    reqPollModemStatus = 0x05,
    reqLatency = 0x09,
    reqGetLatency = 0x0A,
    reqBitMode = 0x0B,
    reqReadPins = 0x0C,
    reqReadEeprom = 0x90,
};

struct InterfaceState {
    bool kernelDriver = true;
    int detachError = 0;
    bool heldElsewhere = false;
    const void* claimedBy = nullptr;
    int bitMode = 0;
    std::uint8_t latency = 16;
    double baud = 0;
    std::uint8_t pins = 0;
    std::vector<std::uint8_t> bytes;
};

struct DeviceState {
    int id;
    DeviceDescription description;
    ChipFacts facts;
    bool present = true;
    int openError = 0;
    bool vanishArmed = false;
    std::size_t vanishBudget = 0;
    int openHandles = 0;
    std::vector<InterfaceState> interfaces;
};

std::mutex lock;
std::vector<std::shared_ptr<DeviceState>> plugged; // present devices, in plugging order
std::map<int, std::shared_ptr<DeviceState>> everPlugged;
std::vector<Event> record;
int nextId = 1;

void note(Event event) {
    record.push_back(std::move(event));
}

DeviceState* find(int device) {
    const auto it = everPlugged.find(device);
    return it == everPlugged.end() ? nullptr : it->second.get();
}

void removeFromBus(DeviceState& state) {
    state.present = false;
    std::erase_if(plugged, [&](const auto& entry) { return entry.get() == &state; });
}

// The generator rate a chip runs at for an encoded divisor: a 14-bit integer
// part, three bits of eighths (coded 0, 1/2, 1/4, 1/8, 3/8, 5/8, 3/4, 7/8)
// and, on the high-speed chips, bit 17 choosing a 12 MHz instead of a 3 MHz
// base. Integer parts 0 and 1 without a fraction mean the base and 2/3 of it.
double decodeBaud(const ChipFacts& facts, std::uint16_t value, std::uint16_t index) {
    const std::uint32_t high = facts.portInIndex ? index >> 8 : index;
    const std::uint32_t encoded = value | (high << 16);
    constexpr double eighths[] = {0, 0.5, 0.25, 0.125, 0.375, 0.625, 0.75, 0.875};
    const double base = facts.highSpeedDivisor && (encoded & 0x20000) != 0 ? 12e6 : 3e6;
    const std::uint32_t whole = encoded & 0x3FFF;
    const double fraction = eighths[(encoded >> 14) & 7];
    if (whole == 0 && fraction == 0) return base;
    if (whole == 1 && fraction == 0) return base * 2 / 3;
    return base / (whole + fraction);
}

int interfaceOfIndex(const DeviceState& state, std::uint16_t index) {
    if (!state.facts.portInIndex || state.facts.interfaces == 1) return 0;
    const int port = index & 0xFF;
    return port <= 1 ? 0 : std::min(port - 1, state.facts.interfaces - 1);
}

// EMULATED_USB_DEVICES, for programs run on the emulated bus from a test:
// devices separated by ',', each "chip bus path [access|held]", e.g.
// "ft232r 3 4, ft2232h 1 1.6 access". access: opening is refused for want of
// permission; held: another program holds interface A, no kernel driver bound.
void plugFromEnvironment();

} // namespace

void reset() {
    std::lock_guard guard(lock);
    for (auto& entry : plugged)
        entry->present = false;
    plugged.clear();
    everPlugged.clear();
    record.clear();
    nextId = 1;
}

int plug(const DeviceDescription& description) {
    std::lock_guard guard(lock);
    auto state = std::make_shared<DeviceState>();
    state->id = nextId++;
    state->description = description;
    state->facts = factsOf(description.chip);
    state->interfaces.resize(static_cast<std::size_t>(state->facts.interfaces));
    plugged.push_back(state);
    everPlugged[state->id] = state;
    return state->id;
}

void unplug(int device) {
    std::lock_guard guard(lock);
    if (DeviceState* state = find(device)) removeFromBus(*state);
}

void refuseOpen(int device, int libusbError) {
    std::lock_guard guard(lock);
    if (DeviceState* state = find(device)) state->openError = libusbError;
}

void holdInterface(int device, int interface, bool held) {
    std::lock_guard guard(lock);
    if (DeviceState* state = find(device)) state->interfaces.at(interface).heldElsewhere = held;
}

void bindKernelDriver(int device, int interface, bool bound, int detachError) {
    std::lock_guard guard(lock);
    if (DeviceState* state = find(device)) {
        state->interfaces.at(interface).kernelDriver = bound;
        state->interfaces.at(interface).detachError = detachError;
    }
}

void vanishAfter(int device, std::size_t bytes) {
    std::lock_guard guard(lock);
    if (DeviceState* state = find(device)) {
        state->vanishArmed = true;
        state->vanishBudget = bytes;
    }
}

std::vector<Event> events() {
    std::lock_guard guard(lock);
    return record;
}

void clearEvents() {
    std::lock_guard guard(lock);
    record.clear();
}

bool kernelDriverBound(int device, int interface) {
    std::lock_guard guard(lock);
    const DeviceState* state = find(device);
    return state != nullptr && state->interfaces.at(interface).kernelDriver;
}

bool claimed(int device, int interface) {
    std::lock_guard guard(lock);
    const DeviceState* state = find(device);
    return state != nullptr && state->interfaces.at(interface).claimedBy != nullptr;
}

int openHandles(int device) {
    std::lock_guard guard(lock);
    const DeviceState* state = find(device);
    return state == nullptr ? 0 : state->openHandles;
}

std::vector<std::uint8_t> bulkBytes(int device, int interface) {
    std::lock_guard guard(lock);
    const DeviceState* state = find(device);
    return state == nullptr ? std::vector<std::uint8_t>{} : state->interfaces.at(interface).bytes;
}

int bitMode(int device, int interface) {
    std::lock_guard guard(lock);
    const DeviceState* state = find(device);
    return state == nullptr ? 0 : state->interfaces.at(interface).bitMode;
}

double baudRate(int device, int interface) {
    std::lock_guard guard(lock);
    const DeviceState* state = find(device);
    return state == nullptr ? 0 : state->interfaces.at(interface).baud;
}

namespace {

std::optional<Chip> chipNamed(const std::string& name) {
    const std::pair<const char*, Chip> names[] = {
        {"ft232r", Chip::ft232r},   {"ft2232d", Chip::ft2232d}, {"ft2232h", Chip::ft2232h},
        {"ft4232h", Chip::ft4232h}, {"ft232h", Chip::ft232h},   {"ft230x", Chip::ft230x}};
    for (const auto& [text, chip] : names)
        if (name == text) return chip;
    return std::nullopt;
}

void plugFromEnvironment() {
    const char* text = std::getenv("EMULATED_USB_DEVICES");
    if (text == nullptr) return;
    std::istringstream entries(text);
    std::string entry;
    while (std::getline(entries, entry, ',')) {
        std::istringstream fields(entry);
        std::string chip, path, flag;
        DeviceDescription description;
        if (!(fields >> chip >> description.bus >> path) || !chipNamed(chip)) continue;
        description.chip = *chipNamed(chip);
        description.portPath.clear();
        std::istringstream steps(path);
        for (std::string step; std::getline(steps, step, '.');)
            description.portPath.push_back(static_cast<std::uint8_t>(std::stoi(step)));
        const int device = plug(description);
        while (fields >> flag) {
            if (flag == "access") refuseOpen(device, LIBUSB_ERROR_ACCESS);
            if (flag == "held") {
                bindKernelDriver(device, 0, false);
                holdInterface(device, 0, true);
            }
        }
    }
}

const bool pluggedFromEnvironment = (plugFromEnvironment(), true);

} // namespace
} // namespace emulatedusb

// ---- The libusb-1.0 side ----------------------------------------------------

using emulatedusb::DeviceState;
using emulatedusb::Event;
using emulatedusb::EventKind;
using emulatedusb::lock;

struct libusb_context {
    int unused = 0;
};

struct libusb_device {
    std::shared_ptr<DeviceState> state;
    int references = 1;
};

struct libusb_device_handle {
    libusb_device* device;
    bool autoDetach = false;
    std::set<int> claimed;
    std::set<int> autoDetached;
};

namespace {

struct ConfigHolder {
    libusb_config_descriptor config{};
    std::vector<libusb_interface> interfaces;
    std::vector<libusb_interface_descriptor> settings;
    std::vector<libusb_endpoint_descriptor> endpoints;
};

DeviceState& stateOf(libusb_device_handle* handle) {
    return *handle->device->state;
}

int checkInterface(libusb_device_handle* handle, int interface) {
    if (!stateOf(handle).present) return LIBUSB_ERROR_NO_DEVICE;
    if (interface < 0 || interface >= stateOf(handle).facts.interfaces)
        return LIBUSB_ERROR_NOT_FOUND;
    return LIBUSB_SUCCESS;
}

void noteSimple(EventKind kind, libusb_device_handle* handle, int interface, int result) {
    emulatedusb::note(Event{kind, stateOf(handle).id, interface, 0, 0, 0, 0, {}, result});
}

// Detaches the kernel driver from an interface; called with the lock held.
int detachLocked(libusb_device_handle* handle, int interface) {
    int result = checkInterface(handle, interface);
    auto& slot = stateOf(handle).interfaces[static_cast<std::size_t>(interface)];
    if (result == LIBUSB_SUCCESS) {
        if (!slot.kernelDriver)
            result = LIBUSB_ERROR_NOT_FOUND;
        else if (slot.detachError != 0)
            result = slot.detachError;
        else
            slot.kernelDriver = false;
    }
    noteSimple(EventKind::detach, handle, interface, result);
    return result;
}

int attachLocked(libusb_device_handle* handle, int interface) {
    int result = checkInterface(handle, interface);
    if (result == LIBUSB_SUCCESS) {
        auto& slot = stateOf(handle).interfaces[static_cast<std::size_t>(interface)];
        if (slot.kernelDriver)
            result = LIBUSB_ERROR_BUSY;
        else if (slot.claimedBy != nullptr)
            result = LIBUSB_ERROR_BUSY;
        else
            slot.kernelDriver = true;
    }
    noteSimple(EventKind::attach, handle, interface, result);
    return result;
}

int vendorRequest(DeviceState& state, int interface, std::uint8_t request, std::uint16_t value,
                  std::uint16_t index, unsigned char* data, std::uint16_t length, bool in) {
    auto& slot = state.interfaces[static_cast<std::size_t>(interface)];
    if (in) {
        std::vector<std::uint8_t> reply;
        switch (request) {
        case emulatedusb::reqGetLatency: reply = {slot.latency}; break;
        case emulatedusb::reqReadPins: reply = {slot.pins}; break;
        case emulatedusb::reqPollModemStatus: reply = {0x01, 0x60}; break;
        case emulatedusb::reqReadEeprom: reply = {0xFF, 0xFF}; break;
        default: return LIBUSB_ERROR_PIPE;
        }
        const std::size_t count = std::min<std::size_t>(reply.size(), length);
        if (count != 0) std::memcpy(data, reply.data(), count);
        return static_cast<int>(count);
    }
    switch (request) {
    case emulatedusb::reqReset:
    case emulatedusb::reqModemCtrl:
    case emulatedusb::reqFlowCtrl:
    case emulatedusb::reqData: return 0;
    case emulatedusb::reqBaudRate:
        slot.baud = emulatedusb::decodeBaud(state.facts, value, index);
        return 0;
    case emulatedusb::reqLatency: slot.latency = static_cast<std::uint8_t>(value); return 0;
    case emulatedusb::reqBitMode: slot.bitMode = value; return 0;
    default: return LIBUSB_ERROR_PIPE;
    }
}

} // namespace

extern "C" {

int libusb_init(libusb_context** context) {
    auto* created = new libusb_context;
    if (context != nullptr)
        *context = created;
    else
        delete created;
    return LIBUSB_SUCCESS;
}

void libusb_exit(libusb_context* context) {
    delete context;
}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
    std::lock_guard guard(lock);
    auto** devices = new libusb_device*[emulatedusb::plugged.size() + 1];
    std::size_t count = 0;
    for (const auto& state : emulatedusb::plugged)
        devices[count++] = new libusb_device{state};
    devices[count] = nullptr;
    *list = devices;
    return static_cast<ssize_t>(count);
}

libusb_device* libusb_ref_device(libusb_device* device) {
    std::lock_guard guard(lock);
    ++device->references;
    return device;
}

void libusb_unref_device(libusb_device* device) {
    if (device == nullptr) return;
    std::unique_lock guard(lock);
    if (--device->references == 0) {
        guard.unlock();
        delete device;
    }
}

void libusb_free_device_list(libusb_device** list, int unrefDevices) {
    if (list == nullptr) return;
    if (unrefDevices != 0)
        for (libusb_device** entry = list; *entry != nullptr; ++entry)
            libusb_unref_device(*entry);
    delete[] list;
}

uint8_t libusb_get_bus_number(libusb_device* device) {
    return static_cast<uint8_t>(device->state->description.bus);
}

uint8_t libusb_get_device_address(libusb_device* device) {
    return static_cast<uint8_t>(device->state->id + 1);
}

int libusb_get_port_numbers(libusb_device* device, uint8_t* numbers, int length) {
    const auto& path = device->state->description.portPath;
    if (length < 0 || static_cast<std::size_t>(length) < path.size()) return LIBUSB_ERROR_OVERFLOW;
    std::copy(path.begin(), path.end(), numbers);
    return static_cast<int>(path.size());
}

int libusb_get_device_descriptor(libusb_device* device, libusb_device_descriptor* descriptor) {
    const DeviceState& state = *device->state;
    *descriptor = {};
    descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
    descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
    descriptor->bcdUSB = state.facts.packetSize == 512 ? 0x0200 : 0x0110;
    descriptor->bMaxPacketSize0 = 64;
    descriptor->idVendor = 0x0403;
    descriptor->idProduct = state.facts.product;
    descriptor->bcdDevice = state.facts.bcdDevice;
    descriptor->iManufacturer = 1;
    descriptor->iProduct = 2;
    descriptor->iSerialNumber = 3;
    descriptor->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

int libusb_get_config_descriptor(libusb_device* device, uint8_t index,
                                 libusb_config_descriptor** config) {
    if (index != 0) return LIBUSB_ERROR_NOT_FOUND;
    const DeviceState& state = *device->state;
    const auto count = static_cast<std::size_t>(state.facts.interfaces);
    auto* holder = new ConfigHolder;
    holder->interfaces.resize(count);
    holder->settings.resize(count);
    holder->endpoints.resize(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t e = 0; e < 2; ++e) {
            libusb_endpoint_descriptor& endpoint = holder->endpoints[i * 2 + e];
            endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
            endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
            endpoint.bEndpointAddress = static_cast<uint8_t>(e == 0 ? 0x81 + 2 * i : 0x02 + 2 * i);
            endpoint.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
            endpoint.wMaxPacketSize = state.facts.packetSize;
        }
        libusb_interface_descriptor& setting = holder->settings[i];
        setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
        setting.bDescriptorType = LIBUSB_DT_INTERFACE;
        setting.bInterfaceNumber = static_cast<uint8_t>(i);
        setting.bNumEndpoints = 2;
        setting.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
        setting.bInterfaceSubClass = 0xFF;
        setting.bInterfaceProtocol = 0xFF;
        setting.iInterface = 2;
        setting.endpoint = &holder->endpoints[i * 2];
        holder->interfaces[i].altsetting = &setting;
        holder->interfaces[i].num_altsetting = 1;
    }
    libusb_config_descriptor& descriptor = holder->config;
    descriptor.bLength = LIBUSB_DT_CONFIG_SIZE;
    descriptor.bDescriptorType = LIBUSB_DT_CONFIG;
    descriptor.bNumInterfaces = static_cast<uint8_t>(count);
    descriptor.bConfigurationValue = 1;
    descriptor.bmAttributes = 0x80;
    descriptor.MaxPower = 45;
    descriptor.interface = holder->interfaces.data();
    *config = &holder->config;
    return LIBUSB_SUCCESS;
}

void libusb_free_config_descriptor(libusb_config_descriptor* config) {
    // The descriptor is the first member of its holder.
    delete reinterpret_cast<ConfigHolder*>(config);
}

int libusb_open(libusb_device* device, libusb_device_handle** handle) {
    std::lock_guard guard(lock);
    DeviceState& state = *device->state;
    int result = LIBUSB_SUCCESS;
    if (!state.present)
        result = LIBUSB_ERROR_NO_DEVICE;
    else if (state.openError != 0)
        result = state.openError;
    emulatedusb::note(Event{EventKind::open, state.id, -1, 0, 0, 0, 0, {}, result});
    if (result != LIBUSB_SUCCESS) return result;
    ++device->references;
    ++state.openHandles;
    *handle = new libusb_device_handle{device, false, {}, {}};
    return LIBUSB_SUCCESS;
}

void libusb_close(libusb_device_handle* handle) {
    if (handle == nullptr) return;
    {
        std::lock_guard guard(lock);
        DeviceState& state = stateOf(handle);
        for (const int interface : handle->claimed)
            state.interfaces[static_cast<std::size_t>(interface)].claimedBy = nullptr;
        --state.openHandles;
        emulatedusb::note(Event{EventKind::close, state.id, -1, 0, 0, 0, 0, {}, 0});
    }
    libusb_unref_device(handle->device);
    delete handle;
}

int libusb_get_configuration(libusb_device_handle* handle, int* configuration) {
    std::lock_guard guard(lock);
    if (!stateOf(handle).present) return LIBUSB_ERROR_NO_DEVICE;
    *configuration = 1;
    return LIBUSB_SUCCESS;
}

int libusb_set_configuration(libusb_device_handle* handle, int configuration) {
    std::lock_guard guard(lock);
    if (!stateOf(handle).present) return LIBUSB_ERROR_NO_DEVICE;
    return configuration == 1 ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_FOUND;
}

int libusb_kernel_driver_active(libusb_device_handle* handle, int interface) {
    std::lock_guard guard(lock);
    const int result = checkInterface(handle, interface);
    if (result != LIBUSB_SUCCESS) return result;
    return stateOf(handle).interfaces[static_cast<std::size_t>(interface)].kernelDriver ? 1 : 0;
}

int libusb_detach_kernel_driver(libusb_device_handle* handle, int interface) {
    std::lock_guard guard(lock);
    return detachLocked(handle, interface);
}

int libusb_attach_kernel_driver(libusb_device_handle* handle, int interface) {
    std::lock_guard guard(lock);
    return attachLocked(handle, interface);
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) {
    handle->autoDetach = enable != 0;
    return LIBUSB_SUCCESS;
}

int libusb_claim_interface(libusb_device_handle* handle, int interface) {
    std::lock_guard guard(lock);
    int result = checkInterface(handle, interface);
    if (result == LIBUSB_SUCCESS && handle->claimed.count(interface) == 0) {
        auto& slot = stateOf(handle).interfaces[static_cast<std::size_t>(interface)];
        if (slot.heldElsewhere || slot.claimedBy != nullptr) {
            result = LIBUSB_ERROR_BUSY;
        } else if (slot.kernelDriver) {
            if (!handle->autoDetach)
                result = LIBUSB_ERROR_BUSY;
            else if ((result = detachLocked(handle, interface)) == LIBUSB_SUCCESS)
                handle->autoDetached.insert(interface);
        }
        if (result == LIBUSB_SUCCESS) {
            slot.claimedBy = handle;
            handle->claimed.insert(interface);
        }
    }
    noteSimple(EventKind::claim, handle, interface, result);
    return result;
}

int libusb_release_interface(libusb_device_handle* handle, int interface) {
    std::lock_guard guard(lock);
    int result = checkInterface(handle, interface);
    if (result == LIBUSB_SUCCESS && handle->claimed.count(interface) == 0)
        result = LIBUSB_ERROR_NOT_FOUND;
    if (handle->claimed.erase(interface) != 0)
        stateOf(handle).interfaces[static_cast<std::size_t>(interface)].claimedBy = nullptr;
    noteSimple(EventKind::release, handle, interface, result);
    if (result == LIBUSB_SUCCESS && handle->autoDetached.erase(interface) != 0)
        attachLocked(handle, interface);
    return result;
}

int libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                            uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                            unsigned int) {
    std::lock_guard guard(lock);
    DeviceState& state = stateOf(handle);
    const bool in = (requestType & LIBUSB_ENDPOINT_IN) != 0;
    const int interface = emulatedusb::interfaceOfIndex(state, index);
    int result = LIBUSB_ERROR_NO_DEVICE;
    if (state.present) {
        if ((requestType & 0x60) == LIBUSB_REQUEST_TYPE_VENDOR)
            result = vendorRequest(state, interface, request, value, index, data, length, in);
        else
            result = LIBUSB_ERROR_PIPE;
    }
    std::vector<std::uint8_t> payload;
    if (!in && data != nullptr) payload.assign(data, data + length);
    emulatedusb::note(Event{EventKind::control, state.id, interface, requestType, request, value,
                            index, std::move(payload), result});
    return result;
}

int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                         int length, int* transferred, unsigned int) {
    std::lock_guard guard(lock);
    DeviceState& state = stateOf(handle);
    if (transferred != nullptr) *transferred = 0;
    const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
    const int interface = ((endpoint & 0x0F) - (in ? 1 : 2)) / 2;
    int result = checkInterface(handle, interface);
    if (result == LIBUSB_SUCCESS && handle->claimed.count(interface) == 0) result = LIBUSB_ERROR_IO;
    std::vector<std::uint8_t> moved;
    if (result == LIBUSB_SUCCESS && in) {
        moved = {0x01, 0x60};
        const int count = std::min(length, 2);
        std::memcpy(data, moved.data(), static_cast<std::size_t>(count));
        moved.resize(static_cast<std::size_t>(count));
    } else if (result == LIBUSB_SUCCESS) {
        std::size_t accepted = static_cast<std::size_t>(std::max(length, 0));
        if (state.vanishArmed && accepted > state.vanishBudget) {
            accepted = state.vanishBudget;
            result = LIBUSB_ERROR_NO_DEVICE;
        }
        if (state.vanishArmed) state.vanishBudget -= accepted;
        moved.assign(data, data + accepted);
        auto& slot = state.interfaces[static_cast<std::size_t>(interface)];
        slot.bytes.insert(slot.bytes.end(), moved.begin(), moved.end());
        if (!moved.empty()) slot.pins = moved.back();
        if (result != LIBUSB_SUCCESS) emulatedusb::removeFromBus(state);
    }
    if (transferred != nullptr) *transferred = static_cast<int>(moved.size());
    const int reported = result == LIBUSB_SUCCESS ? static_cast<int>(moved.size()) : result;
    emulatedusb::note(Event{in ? EventKind::bulkIn : EventKind::bulkOut, state.id, interface, 0, 0,
                            0, 0, std::move(moved), reported});
    return result;
}

int libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                       unsigned char* data, int length) {
    std::lock_guard guard(lock);
    const DeviceState& state = stateOf(handle);
    if (!state.present) return LIBUSB_ERROR_NO_DEVICE;
    std::string text;
    switch (index) {
    case 1: text = "FTDI"; break;
    case 2: text = state.facts.name; break;
    case 3: text = state.description.serial; break;
    default: return LIBUSB_ERROR_PIPE;
    }
    if (length <= 0) return LIBUSB_ERROR_INVALID_PARAM;
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(length - 1));
    std::memcpy(data, text.data(), count);
    data[count] = '\0';
    return static_cast<int>(count);
}

// Asynchronous transfers: libftdi1 offers them, our backend does not use
// them, and this bus does not carry them.
libusb_transfer* libusb_alloc_transfer(int) {
    return nullptr;
}
int libusb_submit_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
int libusb_cancel_transfer(libusb_transfer*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
void libusb_free_transfer(libusb_transfer*) {}
int libusb_handle_events_timeout(libusb_context*, timeval*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
int libusb_handle_events_timeout_completed(libusb_context*, timeval*, int*) {
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

} // extern "C"
