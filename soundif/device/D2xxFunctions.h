// The seven device functions through which the library reaches interface
// boards, in the form the USB-serial vendor driver exports them, with the
// status codes and argument values the system uses. Everything that provides
// or calls device functions includes this: the library's board interface,
// the settings dialog, the backends and the virtual board. Which table a
// process uses is chosen by whoever builds the library's manager (the
// library's own export: soundif/link/d2xx); the manager, the board interface
// and the dialog are handed it.
//
// The exported names, for modules that stand in for the vendor driver:
// FT_ListDevices, FT_Open, FT_GetComPortNumber, FT_Close, FT_SetBitMode,
// FT_SetBaudRate, FT_Write (C linkage).
#pragma once

#include <cstdint>

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;

// Status codes, with the values the vendor driver gives them. The library
// itself only tells success from failure; "device not found" is also its own
// answer when no device has the wanted COM port.
inline constexpr FT_STATUS ftOk = 0;
inline constexpr FT_STATUS ftInvalidHandle = 1;
inline constexpr FT_STATUS ftDeviceNotFound = 2;
inline constexpr FT_STATUS ftDeviceNotOpened = 3;
inline constexpr FT_STATUS ftIoError = 4;
inline constexpr FT_STATUS ftInvalidParameter = 6;
inline constexpr FT_STATUS ftInvalidBaudRate = 7;

// FT_ListDevices flag: the number of devices only.
inline constexpr std::uint32_t ftListNumberOnly = 0x80000000u;

// FT_SetBitMode modes, and the mask that makes all eight pins outputs.
inline constexpr std::uint8_t ftBitModeReset = 0;
inline constexpr std::uint8_t ftBitModeAsyncBitBang = 1;
inline constexpr std::uint8_t ftAllPinsOutput = 0xFF;

struct D2xxFunctions {
    FT_STATUS (*listDevices)(void* arg1, void* arg2, std::uint32_t flags);
    FT_STATUS (*open)(std::int32_t index, FT_HANDLE* handle);
    FT_STATUS (*getComPortNumber)(FT_HANDLE handle, std::int32_t* port);
    FT_STATUS (*close)(FT_HANDLE handle);
    FT_STATUS (*setBitMode)(FT_HANDLE handle, std::uint8_t mask, std::uint8_t mode);
    FT_STATUS (*setBaudRate)(FT_HANDLE handle, std::uint32_t baud);
    FT_STATUS (*write)(FT_HANDLE handle, void* buffer, std::uint32_t length,
                       std::uint32_t* written);
};
