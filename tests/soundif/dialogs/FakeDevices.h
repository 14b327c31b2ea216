// A device table for the settings dialog's tests: devices with COM port
// numbers in driver order, some of them held by another process (opening
// fails) or failing the port query, and a listing that may fail. Counts the
// handles that are open.
#pragma once

#include "soundif/device/D2xxFunctions.h"

#include <cstdint>
#include <vector>

struct FakeDevice {
    std::int32_t port;
    bool busy = false;           // its open fails
    bool portUnreadable = false; // its port query fails
};

// Replaces the attached devices and returns the seven functions over them;
// listing the devices reports listStatus (and still gives their number, as a
// driver may).
const D2xxFunctions& fakeDevices(std::vector<FakeDevice> devices, FT_STATUS listStatus = ftOk);
int openFakeHandles();
