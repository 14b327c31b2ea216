// The built-in device backend on libftdi1: the seven device functions for FTDI
// USB devices (vendor 0x0403; FT232R/FT245R, FT2232, FT4232, FT232H and
// FT230X product ids). Every interface of a multi-interface chip counts as one
// device, as the vendor driver counts them.
//
// There are no COM port numbers here. Each device gets a stable number from
// where it is plugged in: bus * 1000 + port * 10 + interface, where port is the
// device's socket on the hub it sits on (the last element of its USB port
// path) and interface is 0 to 3 for interfaces A to D. A single-interface
// board in socket 4 of bus 3 is number 3040, the same after replugging into
// that socket and after a reboot. Two boards on the same bus in equally
// numbered sockets of different hubs get the same number; the first one
// listed wins. The bit-bang pace is libftdi's, which may differ from the
// vendor driver's for the same baud rate.
#include "soundif/link/d2xx/D2xxBackends.h"

#include <climits>
#include <ftdi.h>
#include <libusb.h>

namespace {

struct Product {
    int id;
    int interfaces;
};

constexpr int ftdiVendor = 0x0403;
constexpr Product products[] = {{0x6001, 1}, {0x6010, 2}, {0x6011, 4}, {0x6014, 1}, {0x6015, 1}};

struct FtdiDevice {
    ftdi_context* context;
    std::int32_t port;
};

std::int32_t portNumberOf(libusb_device* device, int interface) {
    std::uint8_t path[8];
    const int depth = libusb_get_port_numbers(device, path, sizeof path);
    return ftdiComPortNumber(libusb_get_bus_number(device),
                             std::span(path, static_cast<std::size_t>(depth > 0 ? depth : 0)),
                             interface);
}

// Calls visit(device, interface) for every device interface in listing order
// until it returns true; tells whether it did.
template <typename Visit> bool findInterface(ftdi_context* context, Visit visit) {
    for (const Product& product : products) {
        ftdi_device_list* list = nullptr;
        if (ftdi_usb_find_all(context, &list, ftdiVendor, product.id) < 0) continue;
        bool found = false;
        for (ftdi_device_list* node = list; node != nullptr && !found; node = node->next)
            for (int interface = 0; interface < product.interfaces && !found; ++interface)
                found = visit(node->dev, interface);
        ftdi_list_free(&list);
        if (found) return true;
    }
    return false;
}

FtdiDevice* deviceOf(FT_HANDLE handle) {
    return static_cast<FtdiDevice*>(handle);
}

FT_STATUS listDevices(void* arg1, void*, std::uint32_t flags) {
    if (flags != ftListNumberOnly || arg1 == nullptr) return ftInvalidParameter;
    std::uint32_t count = 0;
    if (ftdi_context* context = ftdi_new()) {
        findInterface(context, [&](libusb_device*, int) {
            ++count;
            return false;
        });
        ftdi_free(context);
    }
    *static_cast<std::uint32_t*>(arg1) = count;
    return ftOk;
}

FT_STATUS open(std::int32_t index, FT_HANDLE* handle) {
    if (handle == nullptr) return ftInvalidParameter;
    *handle = nullptr;
    ftdi_context* context = ftdi_new();
    if (context == nullptr) return ftDeviceNotFound;
    FT_STATUS status = ftDeviceNotFound;
    std::int32_t remaining = index;
    findInterface(context, [&](libusb_device* device, int interface) {
        if (remaining-- != 0) return false;
        ftdi_set_interface(context, static_cast<ftdi_interface>(INTERFACE_A + interface));
        if (ftdi_usb_open_dev(context, device) < 0) {
            status = ftDeviceNotOpened;
        } else {
            *handle = new FtdiDevice{context, portNumberOf(device, interface)};
            status = ftOk;
        }
        return true;
    });
    if (status != ftOk) ftdi_free(context);
    return status;
}

FT_STATUS getComPortNumber(FT_HANDLE handle, std::int32_t* port) {
    if (handle == nullptr) return ftInvalidHandle;
    if (port == nullptr) return ftInvalidParameter;
    *port = deviceOf(handle)->port;
    return ftOk;
}

FT_STATUS close(FT_HANDLE handle) {
    if (handle == nullptr) return ftInvalidHandle;
    FtdiDevice* device = deviceOf(handle);
    ftdi_usb_close(device->context);
    ftdi_free(device->context);
    delete device;
    return ftOk;
}

FT_STATUS setBitMode(FT_HANDLE handle, std::uint8_t mask, std::uint8_t mode) {
    if (handle == nullptr) return ftInvalidHandle;
    // The vendor driver's mode numbers are libftdi's BITMODE_* values
    // (0 reset, 1 asynchronous bit-bang, ...).
    return ftdi_set_bitmode(deviceOf(handle)->context, mask, mode) < 0 ? ftIoError : ftOk;
}

FT_STATUS setBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    if (handle == nullptr) return ftInvalidHandle;
    if (baud == 0 || baud > INT_MAX) return ftInvalidBaudRate;
    const int result = ftdi_set_baudrate(deviceOf(handle)->context, static_cast<int>(baud));
    return result == -1 ? ftInvalidBaudRate : result < 0 ? ftIoError : ftOk;
}

FT_STATUS write(FT_HANDLE handle, void* buffer, std::uint32_t length, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    if (handle == nullptr) return ftInvalidHandle;
    if (buffer == nullptr && length != 0) return ftInvalidParameter;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::uint32_t done = 0;
    while (done < length) {
        const std::uint32_t chunk = length - done < INT_MAX ? length - done : INT_MAX;
        const int result =
            ftdi_write_data(deviceOf(handle)->context, bytes + done, static_cast<int>(chunk));
        if (result <= 0) return ftIoError;
        done += static_cast<std::uint32_t>(result);
        if (written != nullptr) *written = done;
    }
    return ftOk;
}

constexpr D2xxFunctions ftdiFunctions{listDevices, open, getComPortNumber, close, setBitMode,
                                      setBaudRate, write};

} // namespace

const D2xxFunctions& platformD2xx() {
    return ftdiFunctions;
}

std::int32_t ftdiComPortNumber(int bus, std::span<const std::uint8_t> portPath, int interface) {
    const int socket = portPath.empty() ? 0 : portPath.back();
    return bus * 1000 + socket * 10 + interface;
}
