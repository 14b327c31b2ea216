// Tonrig's interrupt delivery: after each CTC tick the driver's routines for
// channels 1 and 3 run through the mode-2 vector table at I * 256 + vector.
//
// Differences from a real Z80 system: the CPU's interrupt enable and mode are
// not consulted, there is no acknowledge cycle or daisy chain, a routine runs
// at most once per tick however often its channel reached zero, and channels
// 0 and 2 never interrupt.
#include "player/Tonrig.h"

void Tonrig::deliverInterrupts(std::uint8_t flags) {
    for (unsigned channel : {1u, 3u})
        if ((flags & Ctc::interruptFlag(channel)) != 0)
            runVectoredRoutine(Ctc::vectorOffset(channel));
}

void Tonrig::runVectoredRoutine(std::uint8_t offset) {
    const auto entry = static_cast<std::uint16_t>(I * 256 + ((ctc.vector + offset) & 0xFF));
    const auto next = static_cast<std::uint16_t>(entry + 1);
    callSubroutine(static_cast<std::uint16_t>(memory[entry] | memory[next] << 8));
}
