// Z80Cpu: an instruction-level Zilog Z80 emulator without a free-running loop.
//
// A machine class derives from it and overrides the six virtual bus
// operations; code runs only through callSubroutine, which pushes the return
// address 0xFFFF and executes instructions until PC reaches 0xFFFF. The CPU
// never accepts an interrupt by itself: the machine delivers interrupts by
// calling the routine with callSubroutine.
//
// Known differences from a real Z80: the undocumented flag bits 3 and 5 are
// never produced from a result, BIT leaves P/V 0, DD CB / FD CB forms never
// copy the result into a register, the block I/O instructions set F to 0x02
// or 0x42, and a few undocumented encodings cost other than on silicon (see
// CycleTables.h). R counts one fetch more than silicon for a DD CB / FD CB
// instruction and for an ignored DD / FD prefix. RETN only clears status bit
// 0x02, and a HALT repeats until a stop request, as the CPU accepts no
// interrupt that would end it.
//
// Beyond PC reaching 0xFFFF, callSubroutine has one more way out: a stop
// request (requestStop, callable from any thread or a signal handler) that the
// runner reads once every few thousand instructions; the call then returns as
// if the routine had returned.
#pragma once

#include <atomic>
#include <cstdint>

class Z80Cpu {
public:
    Z80Cpu();
    Z80Cpu(const Z80Cpu&) = delete;
    Z80Cpu& operator=(const Z80Cpu&) = delete;

    // Bus operations, in this order. Every instruction reaches memory and
    // ports only through them, so an override is seen by all instructions.
    virtual std::uint8_t readByte(std::uint16_t address);
    virtual std::uint16_t readWord(std::uint16_t address);
    virtual void writeByte(std::uint16_t address, std::uint8_t value);
    virtual void writeWord(std::uint16_t address, std::uint16_t value);
    virtual void portOut(std::uint16_t port, std::uint8_t value);
    virtual std::uint8_t portIn(std::uint16_t port);

    // Runs the routine at target until it returns (PC reaches 0xFFFF) or a
    // stop has been requested; PC is then put back. SP is not restored.
    void callSubroutine(std::uint16_t target);

    // Makes the running callSubroutine, and every later one, end at its next
    // check as if the routine had returned. Safe from any thread and from a
    // signal handler.
    void requestStop() noexcept { stopRequested.store(true, std::memory_order_relaxed); }

    // Register state, in this order. All zero after construction.
    std::uint16_t BC = 0;
    std::uint16_t DE = 0;
    std::uint16_t HL = 0;
    // Bits of status. statusEiShadow is cleared by RETN, tested by EI and
    // set by nothing in this system: while it is clear, EI with an interrupt
    // request pending ends the cycle budget so that the request is taken.
    static constexpr std::uint8_t statusInterruptsDisabled = 0x01; // DI sets, EI clears
    static constexpr std::uint8_t statusEiShadow = 0x02;
    static constexpr std::uint8_t statusHalted = 0x04; // HALT sets; nothing clears

    std::uint16_t AF = 0;
    std::uint16_t IX = 0;
    std::uint16_t IY = 0;
    std::uint16_t PC = 0;
    std::uint16_t SP = 0;
    std::uint16_t afAlt = 0;
    std::uint16_t bcAlt = 0;
    std::uint16_t deAlt = 0;
    std::uint16_t hlAlt = 0;
    std::uint8_t I = 0;
    std::uint8_t IM = 0;
    std::uint8_t R = 0;
    std::uint8_t rBit7 = 0;
    // State bits, below.
    std::uint8_t status = 0;
    std::uint32_t intRequest = 0;
    // Cycle budget: every instruction subtracts its cost; wraps modulo 2^32.
    std::int32_t cycles = 0;
    std::uint32_t deferredCycles = 0;

    std::atomic<bool> stopRequested{false};
};
