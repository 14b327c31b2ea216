// Arithmetic, logic, rotate, shift and bit-test operations on the CPU's
// registers, with F computed from the flag tables.
//
// Results follow the Z80 definition except that flag bits 3 and 5 are never
// produced from a result: operations that build F from the tables leave them
// 0, the accumulator rotates, CPL, SCF and CCF keep what F held there. BIT
// always clears P/V.
#pragma once

#include "z80/FlagTables.h"
#include "z80/Registers.h"

#include <cstdint>

namespace z80 {

// 8-bit arithmetic on A; raw results are kept in 32 bits so that a carry or a
// borrow shows in bit 8 and the 9-bit table lookup supplies S, Z and C.
inline void add8(Z80Cpu& c, std::uint8_t s, unsigned carry = 0) {
    const unsigned a = regA(c);
    const unsigned r = a + s + carry;
    setF(c, static_cast<std::uint8_t>(szFlags[r & 0x1FF] | ((a ^ s ^ r) & flagH) |
                                      (((a ^ r) & (s ^ r) & 0x80) >> 5)));
    setA(c, static_cast<std::uint8_t>(r));
}

inline std::uint8_t subtractFlags(unsigned a, unsigned s, unsigned r) {
    return static_cast<std::uint8_t>(szFlags[r & 0x1FF] | ((a ^ s ^ r) & flagH) |
                                     (((a ^ r) & (a ^ s) & 0x80) >> 5) | flagN);
}

inline void sub8(Z80Cpu& c, std::uint8_t s, unsigned carry = 0) {
    const unsigned a = regA(c);
    const unsigned r = a - s - carry;
    setF(c, subtractFlags(a, s, r));
    setA(c, static_cast<std::uint8_t>(r));
}

inline void cp8(Z80Cpu& c, std::uint8_t s) {
    const unsigned a = regA(c);
    setF(c, subtractFlags(a, s, a - s));
}

// The eight ALU operations by bits 3 to 5 of the opcode: ADD, ADC, SUB, SBC,
// AND, XOR, OR, CP.
template <unsigned Operation> inline void alu(Z80Cpu& c, std::uint8_t s) {
    const unsigned carry = regF(c) & flagC;
    if constexpr (Operation == 0)
        add8(c, s);
    else if constexpr (Operation == 1)
        add8(c, s, carry);
    else if constexpr (Operation == 2)
        sub8(c, s);
    else if constexpr (Operation == 3)
        sub8(c, s, carry);
    else if constexpr (Operation == 7)
        cp8(c, s);
    else {
        const std::uint8_t a = regA(c);
        const std::uint8_t r = Operation == 4 ? a & s : Operation == 5 ? a ^ s : a | s;
        c.AF = static_cast<std::uint16_t>(r << 8 | szpFlags[r] | (Operation == 4 ? flagH : 0));
    }
}

inline std::uint8_t inc8(Z80Cpu& c, std::uint8_t x) {
    setF(c, static_cast<std::uint8_t>((regF(c) & flagC) | incFlags[x]));
    return static_cast<std::uint8_t>(x + 1);
}

inline std::uint8_t dec8(Z80Cpu& c, std::uint8_t x) {
    setF(c, static_cast<std::uint8_t>((regF(c) & flagC) | decFlags[x]));
    return static_cast<std::uint8_t>(x - 1);
}

// ADD HL/IX/IY,rr: S, Z and P/V kept, bits 5 and 3 and N cleared.
inline std::uint16_t add16(Z80Cpu& c, std::uint16_t a, std::uint16_t b) {
    const std::uint32_t r = std::uint32_t{a} + b;
    setF(c, static_cast<std::uint8_t>((regF(c) & (flagS | flagZ | flagPV)) |
                                      (((a ^ b ^ r) >> 8) & flagH) | ((r >> 16) & flagC)));
    return static_cast<std::uint16_t>(r);
}

inline std::uint8_t szFlags16(std::uint32_t r) {
    return (r & 0xFFFF) == 0 ? flagZ : static_cast<std::uint8_t>((r >> 8) & flagS);
}

inline void adc16(Z80Cpu& c, std::uint16_t b) {
    const std::uint32_t a = c.HL;
    const std::uint32_t r = a + b + (regF(c) & flagC);
    setF(c, static_cast<std::uint8_t>(((r >> 16) & flagC) | szFlags16(r) |
                                      (((a ^ b ^ r) >> 8) & flagH) |
                                      (((a ^ r) & (b ^ r) & 0x8000) >> 13)));
    c.HL = static_cast<std::uint16_t>(r);
}

inline void sbc16(Z80Cpu& c, std::uint16_t b) {
    const std::uint32_t a = c.HL;
    const std::uint32_t r = a - b - (regF(c) & flagC);
    setF(c, static_cast<std::uint8_t>(((r >> 16) & flagC) | szFlags16(r) |
                                      (((a ^ b ^ r) >> 8) & flagH) |
                                      (((a ^ b) & (a ^ r) & 0x8000) >> 13) | flagN));
    c.HL = static_cast<std::uint16_t>(r);
}

// RLCA, RRCA, RLA, RRA by bits 3 and 4 of the opcode; bits 5 and 3 of F kept.
template <unsigned Operation> inline void rotateA(Z80Cpu& c) {
    const unsigned a = regA(c);
    const unsigned f = regF(c);
    unsigned r;
    unsigned carry;
    if constexpr (Operation == 0)
        r = (a << 1) | (a >> 7), carry = a >> 7;
    else if constexpr (Operation == 1)
        r = (a >> 1) | (a << 7), carry = a & 1;
    else if constexpr (Operation == 2)
        r = (a << 1) | (f & flagC), carry = a >> 7;
    else
        r = (a >> 1) | ((f & flagC) << 7), carry = a & 1;
    c.AF = static_cast<std::uint16_t>(((r & 0xFF) << 8) | (f & 0xEC) | carry);
}

inline void daa(Z80Cpu& c) {
    const unsigned a = regA(c);
    const unsigned f = regF(c);
    unsigned r = a;
    unsigned h = 0;
    unsigned carry = 0;
    if ((f & flagN) == 0) {
        if ((a & 0x0F) > 9)
            r += 6, h = flagH;
        else if ((f & flagH) != 0)
            r += 6;
        if (r >= 0xA0 || (f & flagC) != 0) r += 0x60, carry = flagC;
    } else {
        if (a > 0x99 || (f & flagC) != 0) r -= 0x60, carry = flagC;
        if ((a & 0x0F) > 9 || (f & flagH) != 0) {
            h = (a & 0x0F) < 6 ? flagH : 0;
            r -= 6;
        }
    }
    const std::uint8_t result = static_cast<std::uint8_t>(r);
    c.AF = static_cast<std::uint16_t>(result << 8 | szpFlags[result] | h | (f & flagN) | carry);
}

inline void neg(Z80Cpu& c) {
    const unsigned a = regA(c);
    const unsigned r = 0u - a;
    c.AF = static_cast<std::uint16_t>(((r & 0xFF) << 8) | szFlags[r & 0x1FF] | ((a ^ r) & flagH) |
                                      (a == 0x80 ? flagPV : 0) | flagN);
}

inline void cpl(Z80Cpu& c) {
    c.AF = static_cast<std::uint16_t>((c.AF ^ 0xFF00) | flagH | flagN);
}

inline void scf(Z80Cpu& c) {
    setF(c, static_cast<std::uint8_t>((regF(c) & ~(flagH | flagN)) | flagC));
}

inline void ccf(Z80Cpu& c) {
    const unsigned f = regF(c);
    setF(c,
         static_cast<std::uint8_t>(((f & ~unsigned{flagH | flagN}) | ((f & flagC) << 4)) ^ flagC));
}

// BIT b,v: Z from the tested bit, S only for bit 7 set, H set, P/V and N 0.
inline void bitTest(Z80Cpu& c, unsigned bit, std::uint8_t v) {
    const unsigned tested = v & (1u << bit);
    setF(c, static_cast<std::uint8_t>((regF(c) & flagC) | flagH | (tested == 0 ? flagZ : 0) |
                                      (tested & flagS)));
}

// One shift or rotate of the CB group: returns the result and sets F from it.
using ShiftOp = std::uint8_t (*)(Z80Cpu&, std::uint8_t);

template <unsigned Operation> std::uint8_t shift(Z80Cpu& c, std::uint8_t v) {
    const unsigned carryIn = regF(c) & flagC;
    unsigned r;
    unsigned carry;
    if constexpr ((Operation & 1) == 0)
        carry = v >> 7;
    else
        carry = v & 1;
    if constexpr (Operation == 0)
        r = (v << 1) | (v >> 7);
    else if constexpr (Operation == 1)
        r = (v >> 1) | (v << 7);
    else if constexpr (Operation == 2)
        r = (v << 1) | carryIn;
    else if constexpr (Operation == 3)
        r = (v >> 1) | (carryIn << 7);
    else if constexpr (Operation == 4)
        r = v << 1;
    else if constexpr (Operation == 5)
        r = (v >> 1) | (v & 0x80);
    else if constexpr (Operation == 6)
        r = (v << 1) | 1;
    else
        r = v >> 1;
    const std::uint8_t result = static_cast<std::uint8_t>(r);
    setF(c, static_cast<std::uint8_t>(szpFlags[result] | carry));
    return result;
}

// RLC, RRC, RL, RR, SLA, SRA, SLL, SRL in the order of bits 3 to 5 of the
// CB opcode.
inline constexpr ShiftOp shiftOps[8] = {shift<0>, shift<1>, shift<2>, shift<3>,
                                        shift<4>, shift<5>, shift<6>, shift<7>};

} // namespace z80
