// Test support: small hand-assembled driver images (loaded at 0x1800) and a
// recording chip. Each image has the three entries 0x1800, 0x1803, 0x180F.
// The player's benchmarks build their busy driver on ticking().
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "player/IExternalChip.h"

namespace testdrivers {

using Image = std::vector<unsigned char>;

// Puts code at a Z80 address into an image that loads at 0x1800.
inline void place(Image& image, std::uint16_t address, std::initializer_list<unsigned char> code) {
    const std::size_t offset = address - 0x1800u;
    if (image.size() < offset + code.size()) image.resize(offset + code.size());
    std::copy(code.begin(), code.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A music file whose title (at offset 41) is the given text.
inline Image songWithTitle(const std::string& title) {
    Image data(41 + title.size() + 1, 0x00);
    std::copy(title.begin(), title.end(), data.begin() + 41);
    return data;
}

// Every entry returns at once.
inline Image quiet() {
    return Image(16, 0xC9);
}

// 0x1800 stores 1 at 0x5000; 0x1803 stores (0x5000) + 3 at 0x5001, 0x180F
// stores (0x5000) + 0x0F there, so 0x5001 tells which entries ran in which order.
inline Image entryMarkers() {
    Image image;
    place(image, 0x1800, {0xC3, 0x20, 0x18});                   // JP 0x1820
    place(image, 0x1803, {0xC3, 0x30, 0x18});                   // JP 0x1830
    place(image, 0x180F, {0xC3, 0x40, 0x18});                   // JP 0x1840
    place(image, 0x1820, {0x3E, 0x01, 0x32, 0x00, 0x50, 0xC9}); // LD A,1; LD (5000),A; RET
    // LD A,(5000); ADD A,n; LD (5001),A; RET
    place(image, 0x1830, {0x3A, 0x00, 0x50, 0xC6, 0x03, 0x32, 0x01, 0x50, 0xC9});
    place(image, 0x1840, {0x3A, 0x00, 0x50, 0xC6, 0x0F, 0x32, 0x01, 0x50, 0xC9});
    return image;
}

// 0x1800 sets I = 0x19, vector 0 and CTC channel 1 to interrupt every tick
// (prescaler 16, time constant 250); the channel 1 routine at 0x1A00 is given.
inline Image ticking(std::initializer_list<unsigned char> routine) {
    Image image;
    place(image, 0x1800, {0xC3, 0x10, 0x18}); // JP 0x1810
    place(image, 0x1803, {0xC9});
    place(image, 0x180F, {0xC9});
    place(image, 0x1810,
          {
              0x3E, 0x19,       // LD A,0x19
              0xED, 0x47,       // LD I,A
              0x01, 0xA0, 0x1F, // LD BC,0x1FA0
              0xAF,             // XOR A
              0xED, 0x79,       // OUT (C),A     vector 0
              0x0C,             // INC C
              0x3E, 0x85,       // LD A,0x85
              0xED, 0x79,       // OUT (C),A     interrupt, timer, prescaler 16
              0x3E, 0xFA,       // LD A,250
              0xED, 0x79,       // OUT (C),A     time constant
              0xC9,             // RET
          });
    place(image, 0x1902, {0x00, 0x1A}); // channel 1 routine at 0x1A00
    place(image, 0x1A00, routine);
    return image;
}

// The channel 1 routine counts its runs in the word at 0x5000 and writes
// OPM #1 register 0x08.
inline Image counting() {
    return ticking({
        0x2A, 0x00, 0x50, // LD HL,(0x5000)
        0x23,             // INC HL
        0x22, 0x00, 0x50, // LD (0x5000),HL
        0x01, 0x00, 0x07, // LD BC,0x0700
        0x3E, 0x08,       // LD A,0x08
        0xED, 0x79,       // OUT (C),A
        0x0C,             // INC C
        0x7D,             // LD A,L
        0xED, 0x79,       // OUT (C),A
        0xC9,             // RET
    });
}

// Never returns from its first entry.
inline Image stuckInStartUp() {
    Image image = quiet();
    place(image, 0x1800, {0x18, 0xFE}); // JR $
    return image;
}

// Halts in its first interrupt routine.
inline Image haltsInInterrupt() {
    return ticking({0x76});
}

} // namespace testdrivers

// Records every register write it is given.
class RecordingChip : public IExternalChip {
public:
    explicit RecordingChip(ChipKind chipKind) : chipKind_(chipKind) {}
    ChipKind kind() override { return chipKind_; }
    void finish() override {}
    int writeReg(int address, int data) override {
        writes.emplace_back(address, data);
        return 0;
    }

    std::vector<std::pair<int, int>> writes;

private:
    ChipKind chipKind_;
};
