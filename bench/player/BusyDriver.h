// A stand-in sound driver for measuring the player: the test drivers' ticking
// set-up (channel 1 interrupts every tick), with a channel 1 routine that
// keeps the Z80 busy for a whole tick of 4000 clocks, writing an OPM register
// on each of 125 rounds, more than a real driver does in a tick.
#pragma once

#include <vector>

#include "support/TestDrivers.h"

inline std::vector<unsigned char> busyDriverImage() {
    return testdrivers::ticking({
        0x01, 0x00, 0x07, // LD BC,0x0700
        0x3E, 0x20,       // LD A,0x20
        0xED, 0x79,       // OUT (C),A   select register 0x20
        0x0C,             // INC C
        0x1E, 0x7D,       // LD E,125
        0x7B,             // loop: LD A,E
        0xED, 0x79,       // OUT (C),A
        0x1D,             // DEC E
        0x20, 0xFA,       // JR NZ,loop
        0xC9,             // RET
    });
}
