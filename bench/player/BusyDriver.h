// A stand-in sound driver for measuring the player: its channel 1 routine
// runs every tick and keeps the Z80 busy for a whole tick of 4000 clocks,
// writing an OPM register on each of 125 rounds, more than a real driver
// does in a tick.
#pragma once

#include <cstdint>
#include <vector>

inline std::vector<unsigned char> busyDriverImage() {
    std::vector<unsigned char> image(0x300, 0x00);
    const auto place = [&image](std::uint16_t address, std::initializer_list<unsigned char> code) {
        std::copy(code.begin(), code.end(), image.begin() + (address - 0x1800));
    };
    place(0x1800, {0xC3, 0x10, 0x18}); // JP 0x1810
    place(0x1803, {0xC9});
    place(0x180F, {0xC9});
    place(0x1810, {
                      0x3E, 0x19,       // LD A,0x19
                      0xED, 0x47,       // LD I,A
                      0x01, 0xA0, 0x1F, // LD BC,0x1FA0
                      0xAF,             // XOR A
                      0xED, 0x79,       // OUT (C),A   vector 0
                      0x0C,             // INC C
                      0x3E, 0x85,       // LD A,0x85
                      0xED, 0x79,       // OUT (C),A   channel 1: interrupt, prescaler 16
                      0x3E, 0xFA,       // LD A,250
                      0xED, 0x79,       // OUT (C),A   every 4000 clocks
                      0xC9,             // RET
                  });
    place(0x1902, {0x00, 0x1A}); // channel 1 routine
    place(0x1A00, {
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
    return image;
}
