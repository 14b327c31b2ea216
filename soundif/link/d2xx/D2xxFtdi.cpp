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
// listed wins.
//
// Other programs' serial ports are left alone: opening a device checks that
// it may be opened (permission, and a claim when no kernel driver holds the
// interface) but leaves an interface that the kernel's serial driver is bound
// to as it is, so a handle opened only to ask its number changes nothing. The
// interface is claimed, and the serial driver detached, on the first call that
// drives the device; closing releases it and gives it back to that driver.
//
// Baud rate: libftdi1 multiplies the rate by 4 in bit-bang mode; this backend
// divides it out, so the chip's baud generator runs at the rate asked for, as
// with the vendor driver.
#include "soundif/link/d2xx/D2xxBackends.h"

#include <algorithm>
#include <climits>
#include <ftdi.h>
#include <libusb.h>

namespace {

struct FtdiDevice {
    ftdi_context* context;
    libusb_device* usbDevice; // referenced while the handle lives
    int interface;
    std::int32_t port;
    bool claimed = false;
    bool gone = false;
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
    for (const FtdiProduct& product : ftdiProducts) {
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

// Opens and claims the interface through libftdi1, detaching the kernel's
// serial driver for the time the device is claimed (libusb gives it back when
// the interface is released).
bool claim(FtdiDevice& device) {
    if (device.claimed) return true;
    if (device.gone) return false;
    ftdi_set_interface(device.context, static_cast<ftdi_interface>(INTERFACE_A + device.interface));
    device.context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    device.claimed = ftdi_usb_open_dev(device.context, device.usbDevice) == 0;
    return device.claimed;
}

// Whether the kernel's serial driver holds the interface now; opening the
// device for the question needs the same permission as using it.
enum class Probe { refused, kernelDriver, free };

Probe probe(const FtdiDevice& device) {
    libusb_device_handle* usb = nullptr;
    if (libusb_open(device.usbDevice, &usb) != 0) return Probe::refused;
    const int active = libusb_kernel_driver_active(usb, device.interface);
    libusb_close(usb);
    return active == 1 ? Probe::kernelDriver : Probe::free;
}

void release(FtdiDevice* device) {
    if (device->claimed) ftdi_usb_close(device->context);
    libusb_unref_device(device->usbDevice);
    ftdi_free(device->context);
    delete device;
}

// After a failed transfer: whether the device is still on the bus (same bus,
// address and port path).
bool stillAttached(const FtdiDevice& device) {
    ftdi_context* context = ftdi_new();
    if (context == nullptr) return true;
    std::uint8_t path[8];
    const int depth = libusb_get_port_numbers(device.usbDevice, path, sizeof path);
    bool found = false;
    findInterface(context, [&](libusb_device* candidate, int) {
        std::uint8_t candidatePath[8];
        found =
            libusb_get_bus_number(candidate) == libusb_get_bus_number(device.usbDevice) &&
            libusb_get_device_address(candidate) == libusb_get_device_address(device.usbDevice) &&
            libusb_get_port_numbers(candidate, candidatePath, sizeof candidatePath) == depth &&
            std::equal(path, path + (depth > 0 ? depth : 0), candidatePath);
        return found;
    });
    ftdi_free(context);
    return found;
}

// The status of a failed transfer: device not found once the device has left
// the bus, an I/O error otherwise.
FT_STATUS failure(FtdiDevice& device) {
    if (!device.gone && !stillAttached(device)) device.gone = true;
    return device.gone ? ftDeviceNotFound : ftIoError;
}

FT_STATUS notClaimed(const FtdiDevice& device) {
    return device.gone ? ftDeviceNotFound : ftDeviceNotOpened;
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
    FtdiDevice* device = nullptr;
    std::int32_t remaining = index;
    findInterface(context, [&](libusb_device* usbDevice, int interface) {
        if (remaining-- != 0) return false;
        device = new FtdiDevice{context, libusb_ref_device(usbDevice), interface,
                                portNumberOf(usbDevice, interface)};
        return true;
    });
    if (device == nullptr) {
        ftdi_free(context);
        return ftDeviceNotFound;
    }
    // An interface without a kernel driver is claimed at once: that detaches
    // nothing, and a device that another program holds fails here.
    const Probe state = probe(*device);
    if (state == Probe::refused || (state == Probe::free && !claim(*device))) {
        release(device);
        return ftDeviceNotOpened;
    }
    *handle = device;
    return ftOk;
}

FT_STATUS getComPortNumber(FT_HANDLE handle, std::int32_t* port) {
    if (handle == nullptr) return ftInvalidHandle;
    if (port == nullptr) return ftInvalidParameter;
    *port = deviceOf(handle)->port;
    return ftOk;
}

FT_STATUS close(FT_HANDLE handle) {
    if (handle == nullptr) return ftInvalidHandle;
    release(deviceOf(handle));
    return ftOk;
}

FT_STATUS setBitMode(FT_HANDLE handle, std::uint8_t mask, std::uint8_t mode) {
    if (handle == nullptr) return ftInvalidHandle;
    FtdiDevice& device = *deviceOf(handle);
    if (!claim(device)) return notClaimed(device);
    // The vendor driver's mode numbers are libftdi's BITMODE_* values
    // (0 reset, 1 asynchronous bit-bang, ...).
    return ftdi_set_bitmode(device.context, mask, mode) < 0 ? failure(device) : ftOk;
}

FT_STATUS setBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    if (handle == nullptr) return ftInvalidHandle;
    FtdiDevice& device = *deviceOf(handle);
    if (!claim(device)) return notClaimed(device);
    // libftdi1 asks the chip for four times the rate while bit-bang is on.
    const bool bitBang = device.context->bitbang_enabled != 0;
    const std::uint32_t asked = bitBang ? (baud + 2) / 4 : baud;
    if (asked == 0 || asked > INT_MAX) return ftInvalidBaudRate;
    const int result = ftdi_set_baudrate(device.context, static_cast<int>(asked));
    return result == -1 ? ftInvalidBaudRate : result < 0 ? failure(device) : ftOk;
}

FT_STATUS write(FT_HANDLE handle, void* buffer, std::uint32_t length, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    if (handle == nullptr) return ftInvalidHandle;
    if (buffer == nullptr && length != 0) return ftInvalidParameter;
    FtdiDevice& device = *deviceOf(handle);
    if (!claim(device)) return notClaimed(device);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::uint32_t done = 0;
    while (done < length) {
        const std::uint32_t chunk = length - done < INT_MAX ? length - done : INT_MAX;
        const int result = ftdi_write_data(device.context, bytes + done, static_cast<int>(chunk));
        if (result <= 0) return failure(device);
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
