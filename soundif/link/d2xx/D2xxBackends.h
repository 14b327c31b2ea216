// The sources of device functions that d2xx() chooses from. Exposed so that
// tests can reach each one directly, whatever the process environment says.
#pragma once

#include "soundif/link/D2xx.h"

#include <string>

// Functions taken from the shared module at the given path. A module that
// cannot be loaded, or lacks one of the seven exports, gives noD2xxDevices().
// A module that was bound stays loaded for the life of the process.
D2xxFunctions loadD2xxModule(const std::string& path);

// A table that lists no devices: the count is 0, every other call fails.
const D2xxFunctions& noD2xxDevices();

// The built-in backend on libftdi1 (D2xxFtdi.cpp).
const D2xxFunctions& ftdiD2xx();
