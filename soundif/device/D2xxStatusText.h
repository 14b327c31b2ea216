// What a device status means, in words for users: for the device log and the
// device diagnosis.
#pragma once

#include "soundif/device/D2xxFunctions.h"

#include <string>

inline std::string d2xxStatusText(FT_STATUS status) {
    switch (status) {
    case ftOk: return "success";
    case ftInvalidHandle: return "invalid handle";
    case ftDeviceNotFound: return "the device is gone (unplugged?)";
    case ftDeviceNotOpened: return "the device could not be opened";
    case ftIoError: return "USB input/output error";
    case ftInvalidParameter: return "invalid parameter";
    case ftInvalidBaudRate: return "baud rate not possible on this device";
    default: return "device error";
    }
}
