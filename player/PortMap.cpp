// Tonrig's I/O port decode: the sound hardware as the driver sees it.
//
//   0x1FA0-0x1FA3   CTC channels 0 to 3 (also 0x0704 and 0x070C: channel 0)
//   0x0700/0x0701   OPM #1 register select / data
//   0x0708/0x0709   OPM #2 register select / data
//   0x1Bxx/0x1Cxx   PSG data / register select (any low byte)
//
// Writes to a chip that is not present are dropped; the latches still take
// their values. Chip status reads are not emulated: every port that is not a
// CTC port reads 0xFF.
#include "player/Tonrig.h"

void Tonrig::portOut(std::uint16_t port, std::uint8_t value) {
    switch (port) {
    case 0x1FA0:
    case 0x1FA1:
    case 0x1FA2:
    case 0x1FA3: ctc.write(port & 3, value); return;
    case 0x0700: opm1Latch = value; return;
    case 0x0701:
        if (opm1 != nullptr) opm1->writeReg(opm1Latch, value);
        return;
    case 0x0704: ctc.write(0, value); return;
    case 0x0708: opm2Latch = value; return;
    case 0x0709:
        if (opm2 != nullptr) opm2->writeReg(opm2Latch, value);
        return;
    case 0x070C: ctc.write(0, value); return;
    default: break;
    }
    switch (port >> 8) {
    case 0x1B:
        if (psg != nullptr) psg->writeReg(psgLatch, value);
        return;
    case 0x1C: psgLatch = value; return;
    default: return;
    }
}

std::uint8_t Tonrig::portIn(std::uint16_t port) {
    switch (port) {
    case 0x0704:
    case 0x070C:
    case 0x1FA0:
    case 0x1FA1:
    case 0x1FA2:
    case 0x1FA3: return ctc.read(port & 3);
    default: return 0xFF;
    }
}
