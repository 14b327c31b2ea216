// The one seam through which the library reaches interface boards: the seven
// device functions it uses, in the form the USB-serial vendor driver exports
// them. They come from the module named by the environment variable
// TAVRO_D2XX_MODULE when it is set (a module that cannot be loaded, or lacks
// one of the seven, gives no devices), otherwise from the built-in backend on
// libftdi1. The choice is made once, on first use.
#pragma once

#include <cstdint>

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;

inline constexpr FT_STATUS ftOk = 0;
inline constexpr FT_STATUS ftDeviceNotFound = 2;
inline constexpr std::uint32_t ftListNumberOnly = 0x80000000u;

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

// The exported names, for modules that stand in for the vendor driver:
// FT_ListDevices, FT_Open, FT_GetComPortNumber, FT_Close, FT_SetBitMode,
// FT_SetBaudRate, FT_Write (C linkage).
const D2xxFunctions& d2xx();
