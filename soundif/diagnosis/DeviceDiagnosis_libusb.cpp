// diagnoseDevices on Linux: the FTDI devices on the USB bus, in the built-in
// backend's listing order, each interface with the COM number the backend
// gives it. A device is opened to look at it, which needs the same
// permission as using it; an interface is claimed for a moment only when no
// kernel driver holds it, so no serial port is taken from anybody. With
// TAVRO_D2XX_MODULE set, the module's own devices are reported instead.
#include "soundif/diagnosis/DeviceDiagnosis.h"
#include "soundif/link/d2xx/D2xxBackends.h"

#include <cstdlib>
#include <libusb.h>

namespace diagnosis {
namespace {

const char* chipName(std::uint16_t bcdDevice) {
    switch (bcdDevice) {
    case 0x0400: return "FT232B";
    case 0x0500: return "FT2232D";
    case 0x0600: return "FT232R";
    case 0x0700: return "FT2232H";
    case 0x0800: return "FT4232H";
    case 0x0900: return "FT232H";
    case 0x1000: return "FT230X";
    default: return "FTDI device";
    }
}

const char* const udevMend =
    "let your user reach FTDI devices: install the udev rule (the Debian package installs "
    "/usr/lib/udev/rules.d/60-tavro-ftdi.rules; see the README), then re-plug the board";
const char* const replugMend = "re-plug the board";

std::string where(libusb_device* device, const char* chip, int interface, int interfaces) {
    std::string text = chip;
    if (interfaces > 1) text += std::string(" interface ") + static_cast<char>('A' + interface);
    text += ", bus " + std::to_string(libusb_get_bus_number(device)) + ", port ";
    std::uint8_t path[8];
    const int depth = libusb_get_port_numbers(device, path, sizeof path);
    for (int i = 0; i < depth; ++i) {
        if (i != 0) text += '.';
        text += std::to_string(path[i]);
    }
    return text;
}

void judgeOpenFailure(int error, DeviceFinding& finding) {
    switch (error) {
    case LIBUSB_ERROR_ACCESS:
        finding.verdict = Verdict::noPermission;
        finding.reason = "no permission to open the USB device";
        finding.mend = udevMend;
        return;
    case LIBUSB_ERROR_NO_DEVICE:
        finding.verdict = Verdict::gone;
        finding.reason = "the device went away";
        finding.mend = replugMend;
        return;
    case LIBUSB_ERROR_BUSY:
        finding.verdict = Verdict::busy;
        finding.reason = "another program holds it";
        finding.mend = "close the other program that uses this board (a player or a settings "
                       "dialog)";
        return;
    default:
        finding.verdict = Verdict::failed;
        finding.reason = "the USB device could not be opened (error " + std::to_string(error) + ")";
        finding.mend = replugMend;
    }
}

void judgeInterface(libusb_device_handle* handle, int interface, DeviceFinding& finding) {
    const int active = libusb_kernel_driver_active(handle, interface);
    if (active == 1) {
        finding.note = "the kernel's serial driver has it; it is set aside while a program plays "
                       "on the board and given back afterwards";
        return;
    }
    const int claimed = libusb_claim_interface(handle, interface);
    if (claimed == LIBUSB_SUCCESS)
        libusb_release_interface(handle, interface);
    else
        judgeOpenFailure(claimed, finding);
}

std::string serialOf(libusb_device_handle* handle, const libusb_device_descriptor& descriptor) {
    if (descriptor.iSerialNumber == 0) return {};
    unsigned char text[64];
    const int length =
        libusb_get_string_descriptor_ascii(handle, descriptor.iSerialNumber, text, sizeof text);
    return length > 0 ? std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(length))
                      : std::string();
}

} // namespace

Diagnosis diagnoseDevices() {
    if (std::optional<Diagnosis> module = diagnoseNamedModule()) return *module;
    Diagnosis result;
    result.source = "libftdi1 on the USB bus";
    libusb_context* context = nullptr;
    if (libusb_init(&context) != LIBUSB_SUCCESS) {
        result.unavailable = "the USB library could not start";
        return result;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) {
        result.unavailable = "the USB devices could not be listed";
        libusb_exit(context);
        return result;
    }
    for (const FtdiProduct& product : ftdiProducts) {
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device* device = list[i];
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
                descriptor.idVendor != ftdiVendor || descriptor.idProduct != product.id)
                continue;
            libusb_device_handle* handle = nullptr;
            const int opened = libusb_open(device, &handle);
            const std::string serial = opened == 0 ? serialOf(handle, descriptor) : std::string();
            for (int interface = 0; interface < product.interfaces; ++interface) {
                DeviceFinding finding;
                std::uint8_t path[8];
                const int depth = libusb_get_port_numbers(device, path, sizeof path);
                finding.comNumber = ftdiComPortNumber(
                    libusb_get_bus_number(device),
                    std::span(path, static_cast<std::size_t>(depth > 0 ? depth : 0)), interface);
                finding.device =
                    where(device, chipName(descriptor.bcdDevice), interface, product.interfaces);
                if (!serial.empty()) finding.device += ", serial " + serial;
                if (opened != 0)
                    judgeOpenFailure(opened, finding);
                else
                    judgeInterface(handle, interface, finding);
                result.devices.push_back(std::move(finding));
            }
            if (handle != nullptr) libusb_close(handle);
        }
    }
    libusb_free_device_list(list, 1);
    libusb_exit(context);
    return result;
}

} // namespace diagnosis
