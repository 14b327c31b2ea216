// Tonrig's I/O port decode: the sound hardware as the driver sees it; the
// port numbers are drawn in PortMap.h.
//
// Writes to a chip that is not present are dropped; the latches still take
// their values. Chip status reads are not emulated: every port that is not a
// CTC port reads 0xFF.
#include "player/PortMap.h"

#include "player/Tonrig.h"

using namespace portmap;

void Tonrig::portOut(std::uint16_t port, std::uint8_t value) {
    switch (port) {
    case ctcPort(0):
    case ctcPort(1):
    case ctcPort(2):
    case ctcPort(3): ctc.write(port & ctcChannelMask, value); return;
    case opm1Address: opm1Latch = value; return;
    case opm1Data:
        if (opm1 != nullptr) opm1->writeReg(opm1Latch, value);
        return;
    case ctcChannel0Mirror: ctc.write(0, value); return;
    case opm2Address: opm2Latch = value; return;
    case opm2Data:
        if (opm2 != nullptr) opm2->writeReg(opm2Latch, value);
        return;
    case ctcChannel0SecondMirror: ctc.write(0, value); return;
    default: break;
    }
    switch (port >> 8) {
    case psgDataHigh:
        if (psg != nullptr) psg->writeReg(psgLatch, value);
        return;
    case psgAddressHigh: psgLatch = value; return;
    default: return;
    }
}

std::uint8_t Tonrig::portIn(std::uint16_t port) {
    switch (port) {
    case ctcChannel0Mirror:
    case ctcChannel0SecondMirror:
    case ctcPort(0):
    case ctcPort(1):
    case ctcPort(2):
    case ctcPort(3): return ctc.read(port & ctcChannelMask);
    default: return openBusRead;
    }
}
