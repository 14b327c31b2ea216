// Why a board is missing: every FTDI device that can be seen, with whether it
// can be opened, and when not, the reason and the mend (install the udev rule,
// close the other program, re-plug the board). For tools that talk to users
// (tavrodevices, tavroplay --list); the library itself stays silent toward
// players. Its header is the public face; it needs no backend of the library.
//
// Where the facts come from: on Linux the USB bus itself (libusb), looked at
// without disturbing anything: an interface that the kernel's serial driver
// holds is reported as usable and left with that driver. With
// TAVRO_D2XX_MODULE set, and on Windows (the vendor's D2XX driver), the seven
// device functions: each device is opened once and closed again.
#pragma once

#include "soundif/device/D2xxFunctions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace diagnosis {

enum class Verdict {
    usable,       // can be opened now
    noPermission, // the user may not open the USB device
    busy,         // another program holds it
    gone,         // went away while being looked at
    failed,       // any other failure to open
};

struct DeviceFinding {
    std::int32_t comNumber = 0; // 0 when not known
    std::string device;         // what and where, e.g. "FT2232H interface B, bus 3, port 2.4"
    Verdict verdict = Verdict::usable;
    std::string reason; // why it cannot be opened; empty when usable
    std::string mend;   // what the user can do about it; empty when usable
    std::string note;   // anything else worth knowing
};

struct Diagnosis {
    std::string source;      // where the device functions come from
    std::string unavailable; // not empty when no devices can be reached at all, and why
    std::vector<DeviceFinding> devices;
};

// Looks at the devices attached now.
Diagnosis diagnoseDevices();

// With TAVRO_D2XX_MODULE set: the devices of that module, or why the module
// cannot be used; nothing when the variable is not set.
std::optional<Diagnosis> diagnoseNamedModule();

// The diagnosis as text for a console, one entry per device.
std::string describe(const Diagnosis& diagnosis);

// Through the seven device functions given (the Windows way, and any module).
Diagnosis diagnoseThroughFunctions(const D2xxFunctions& functions, std::string source);

} // namespace diagnosis
