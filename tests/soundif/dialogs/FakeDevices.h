// A device table for the settings dialog's tests: devices with COM port
// numbers in driver order, some of them held by another process (opening
// fails). Counts the handles that are open.
#pragma once

#include "soundif/device/D2xxFunctions.h"

#include <cstdint>
#include <vector>

struct FakeDevice {
    std::int32_t port;
    bool busy = false;
};

// Replaces the attached devices and returns the seven functions over them.
const D2xxFunctions& fakeDevices(std::vector<FakeDevice> devices);
int openFakeHandles();
