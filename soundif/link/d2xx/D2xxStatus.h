// Device status codes beyond success and "device not found", with the values
// the vendor driver gives them. The backends and stand-in modules return them;
// the library itself only tells success from failure.
#pragma once

#include "soundif/link/D2xx.h"

inline constexpr FT_STATUS ftInvalidHandle = 1;
inline constexpr FT_STATUS ftDeviceNotOpened = 3;
inline constexpr FT_STATUS ftIoError = 4;
inline constexpr FT_STATUS ftInvalidParameter = 6;
inline constexpr FT_STATUS ftInvalidBaudRate = 7;
