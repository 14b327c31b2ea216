// Control side of the emulated USB bus: a test-only stand-in for libusb-1.0
// (built as libusb-1.0.so.0) on which the system's real libftdi1 runs. Tests
// plug emulated FTDI chips into it, make them fail in the ways real ones do,
// and read back every request and byte the chips received.
//
// How it is used: a test executable links the stand-in (target
// tavro_emulated_usb); its run path finds it before the system's libusb, and
// libftdi1, which needs the same soname, binds to the copy already loaded.
// Every plugged chip starts with the kernel's serial driver bound to each of
// its interfaces, as on a desktop system.
//
// What it emulates: device and configuration descriptors (bcdDevice tells
// libftdi1 the chip type), string descriptors, bus numbers and port paths,
// opening and claiming with the kernel driver detach rules of Linux, the
// vendor control requests of FTDI chips (reset, purge, baud rate, latency,
// bit mode, pin reads, modem status) and bulk transfers on each interface's
// two endpoints. Asynchronous transfers are not supported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define EMULATED_USB_API __attribute__((visibility("default")))

namespace emulatedusb {

enum class Chip { ft232r, ft2232d, ft2232h, ft4232h, ft232h, ft230x };

struct DeviceDescription {
    Chip chip = Chip::ft232r;
    int bus = 1;
    std::vector<std::uint8_t> portPath{1}; // hubs first, the device's own socket last
    std::string serial = "EMU0001";
};

enum class EventKind { open, close, claim, release, detach, attach, control, bulkOut, bulkIn };

// One thing a device received. For control requests: requestType, request,
// value and index as sent; interface is the one the request addresses.
// result is what the call returned to the caller (0 or a LIBUSB_ERROR code;
// the byte count for successful transfers).
struct Event {
    EventKind kind;
    int device;
    int interface;
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::vector<std::uint8_t> data;
    int result = 0;
};

// Removes every device and every record. Handles still open keep working
// until closed, as for a device that was unplugged.
EMULATED_USB_API void reset();

// Plugs a device in; returns its id (1, 2, ... in plugging order, which is
// also the order the bus lists them).
EMULATED_USB_API int plug(const DeviceDescription& description);
EMULATED_USB_API void unplug(int device);

// libusb_open fails with this error (e.g. LIBUSB_ERROR_ACCESS when the user
// lacks permission); 0 lets it open again.
EMULATED_USB_API void refuseOpen(int device, int libusbError);
// Another program has claimed this interface: claiming it fails with
// LIBUSB_ERROR_BUSY.
EMULATED_USB_API void holdInterface(int device, int interface, bool held);
// Binds or unbinds the kernel's serial driver on an interface. detachError,
// when not 0, is what detaching it fails with.
EMULATED_USB_API void bindKernelDriver(int device, int interface, bool bound, int detachError = 0);
// The device disappears once it has taken this many more bulk-out bytes:
// the transfer that crosses the limit delivers the bytes up to it and fails
// with LIBUSB_ERROR_NO_DEVICE, and so does every later request.
EMULATED_USB_API void vanishAfter(int device, std::size_t bytes);

EMULATED_USB_API std::vector<Event> events();
EMULATED_USB_API void clearEvents();

// What an interface holds now.
EMULATED_USB_API bool kernelDriverBound(int device, int interface);
EMULATED_USB_API bool claimed(int device, int interface);
EMULATED_USB_API int openHandles(int device);
EMULATED_USB_API std::vector<std::uint8_t> bulkBytes(int device, int interface);
// Bit mode and mask from the last bit-mode request (mode << 8 | mask).
EMULATED_USB_API int bitMode(int device, int interface);
// The rate the chip's baud generator runs at after the last baud request,
// decoded from the divisor as the chip reads it; 0 before any.
EMULATED_USB_API double baudRate(int device, int interface);

} // namespace emulatedusb
