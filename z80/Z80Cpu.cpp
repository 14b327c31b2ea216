// Z80Cpu construction, the default bus operations and the subroutine runner.
//
// The runner is the only dispatch loop: one step counts the fetch in R,
// fetches the opcode at PC, charges its mainCycles entry and calls its
// mainOps handler. Every stopCheckInterval instructions it also reads the
// stop request, so the check costs next to nothing per instruction.
#include "z80/Z80Cpu.h"

#include "z80/CycleTables.h"
#include "z80/FlagTables.h"
#include "z80/OpTables.h"

namespace {

constexpr unsigned stopCheckInterval = 4096;
constexpr std::uint16_t returnSentinel = 0xFFFF;

} // namespace

Z80Cpu::Z80Cpu() {
    z80::buildFlagTables();
}

std::uint8_t Z80Cpu::readByte(std::uint16_t) {
    return 0xFF;
}

std::uint16_t Z80Cpu::readWord(std::uint16_t address) {
    const std::uint8_t low = readByte(address);
    const std::uint8_t high = readByte(static_cast<std::uint16_t>(address + 1));
    return static_cast<std::uint16_t>(low | high << 8);
}

void Z80Cpu::writeByte(std::uint16_t, std::uint8_t) {}

void Z80Cpu::writeWord(std::uint16_t address, std::uint16_t value) {
    writeByte(address, static_cast<std::uint8_t>(value));
    writeByte(static_cast<std::uint16_t>(address + 1), static_cast<std::uint8_t>(value >> 8));
}

void Z80Cpu::portOut(std::uint16_t, std::uint8_t) {}

std::uint8_t Z80Cpu::portIn(std::uint16_t) {
    return 0xFF;
}

void Z80Cpu::callSubroutine(std::uint16_t target) {
    const std::uint16_t savedPc = PC;
    z80::push(*this, returnSentinel);
    PC = target;
    unsigned countdown = stopCheckInterval;
    for (;;) {
        ++R;
        const std::uint8_t op = readByte(PC++);
        z80::charge(*this, z80::mainCycles[op]);
        z80::mainOps[op](*this);
        if (PC == returnSentinel) break;
        if (--countdown == 0) {
            if (stopRequested.load(std::memory_order_relaxed)) break;
            countdown = stopCheckInterval;
        }
    }
    PC = savedPc;
}
