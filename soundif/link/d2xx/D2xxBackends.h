// Where a process's device functions come from. d2xx() is the table the
// library hands its manager: the functions of the module named by the
// environment variable TAVRO_D2XX_MODULE when it is set (a module that cannot
// be loaded, or lacks one of the seven, gives no devices), otherwise the
// system's own backend; the choice is made once, on first use. The sources it
// chooses from are exposed so that tests can reach each one directly, whatever
// the process environment says.
#pragma once

#include "soundif/device/D2xxFunctions.h"

#include <cstdint>
#include <span>
#include <string>

const D2xxFunctions& d2xx();

// The module TAVRO_D2XX_MODULE names; empty when it names none (D2xxModule.cpp).
std::string d2xxModulePath();

// Functions taken from the shared module at the given path. A module that
// cannot be loaded, or lacks one of the seven exports, gives noD2xxDevices().
// A module that was bound stays loaded for the life of the process.
D2xxFunctions loadD2xxModule(const std::string& path);

// Why the module at the given path cannot serve as the device functions
// ("cannot be loaded ...", "does not export FT_Open"); empty when it can.
std::string d2xxModuleFault(const std::string& path);

// A table that lists no devices: the count is 0, every other call fails.
const D2xxFunctions& noD2xxDevices();

// The system's own backend: libftdi1 on Linux (D2xxFtdi.cpp), the vendor's
// ftd2xx.dll found by name on Windows (D2xxVendor.cpp).
const D2xxFunctions& platformD2xx();

// Linux: the FTDI products the built-in backend serves (vendor 0x0403), in
// the order it lists them, with their number of interfaces.
struct FtdiProduct {
    int id;
    int interfaces;
};
inline constexpr int ftdiVendor = 0x0403;
inline constexpr FtdiProduct ftdiProducts[] = {
    {0x6001, 1}, {0x6010, 2}, {0x6011, 4}, {0x6014, 1}, {0x6015, 1}};

// Linux: the COM number the built-in backend gives a device interface (0 to 3 for
// A to D) from its USB bus number and port path: bus * 1000 + socket * 10 +
// interface, where socket is the last element of the path (0 when empty).
std::int32_t ftdiComPortNumber(int bus, std::span<const std::uint8_t> portPath, int interface);
