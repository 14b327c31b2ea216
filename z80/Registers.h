// Register access and instruction-stream helpers shared by the handlers.
//
// The pairs BC, DE, HL and AF also form a block of eight bytes C, B, E, D, L,
// H, F, A (positions 0 to 7); regIndex maps a 3-bit register code to its
// position. Bytes are reached through a pointer-to-member table and shifts, so
// the block needs no type punning; with a constant position the compiler
// folds the access to a plain field update.
#pragma once

#include "z80/Z80Cpu.h"

#include <cstdint>

namespace z80 {

using Handler = void (*)(Z80Cpu&);

// Which register an HL-based instruction works on: plain HL, or IX / IY after
// a DD / FD prefix.
enum class Index { HL, IX, IY };

// Byte position of register code 0 to 7 (B, C, D, E, H, L, (HL), A); position
// 6 is F and is never reached through code 6, which means memory.
inline constexpr std::uint8_t regIndex[8] = {1, 0, 3, 2, 5, 4, 6, 7};

inline constexpr std::uint16_t Z80Cpu::*registerPairs[4] = {&Z80Cpu::BC, &Z80Cpu::DE, &Z80Cpu::HL,
                                                            &Z80Cpu::AF};

template <Index X>
inline constexpr std::uint16_t Z80Cpu::*indexPair = X == Index::HL   ? &Z80Cpu::HL
                                                    : X == Index::IX ? &Z80Cpu::IX
                                                                     : &Z80Cpu::IY;

constexpr std::uint8_t high(std::uint16_t pair) {
    return static_cast<std::uint8_t>(pair >> 8);
}
constexpr std::uint8_t low(std::uint16_t pair) {
    return static_cast<std::uint8_t>(pair);
}
constexpr std::uint16_t withHigh(std::uint16_t pair, std::uint8_t v) {
    return static_cast<std::uint16_t>((pair & 0x00FF) | (v << 8));
}
constexpr std::uint16_t withLow(std::uint16_t pair, std::uint8_t v) {
    return static_cast<std::uint16_t>((pair & 0xFF00) | v);
}

inline std::uint8_t registerByte(const Z80Cpu& c, unsigned position) {
    const std::uint16_t pair = c.*registerPairs[position >> 1];
    return (position & 1) != 0 ? high(pair) : low(pair);
}

inline void setRegisterByte(Z80Cpu& c, unsigned position, std::uint8_t v) {
    std::uint16_t& pair = c.*registerPairs[position >> 1];
    pair = (position & 1) != 0 ? withHigh(pair, v) : withLow(pair, v);
}

inline std::uint8_t regA(const Z80Cpu& c) {
    return high(c.AF);
}
inline std::uint8_t regF(const Z80Cpu& c) {
    return low(c.AF);
}
inline std::uint8_t regB(const Z80Cpu& c) {
    return high(c.BC);
}
inline void setA(Z80Cpu& c, std::uint8_t v) {
    c.AF = withHigh(c.AF, v);
}
inline void setF(Z80Cpu& c, std::uint8_t v) {
    c.AF = withLow(c.AF, v);
}
inline void setB(Z80Cpu& c, std::uint8_t v) {
    c.BC = withHigh(c.BC, v);
}

// Register code 0 to 7 other than 6; after DD / FD the codes of H and L
// (4, 5) mean the high and low byte of the index register.
template <Index X, unsigned Code> inline std::uint8_t reg(const Z80Cpu& c) {
    if constexpr (Code == 4)
        return high(c.*indexPair<X>);
    else if constexpr (Code == 5)
        return low(c.*indexPair<X>);
    else
        return registerByte(c, regIndex[Code]);
}

template <Index X, unsigned Code> inline void setReg(Z80Cpu& c, std::uint8_t v) {
    if constexpr (Code == 4)
        c.*indexPair<X> = withHigh(c.*indexPair<X>, v);
    else if constexpr (Code == 5)
        c.*indexPair<X> = withLow(c.*indexPair<X>, v);
    else
        setRegisterByte(c, regIndex[Code], v);
}

// Subtracts a cost from the budget, wrapping modulo 2^32.
inline void charge(Z80Cpu& c, std::uint32_t amount) {
    c.cycles = static_cast<std::int32_t>(static_cast<std::uint32_t>(c.cycles) - amount);
}

// Byte at PC (operand, displacement or opcode byte), PC advanced.
inline std::uint8_t fetchByte(Z80Cpu& c) {
    return c.readByte(c.PC++);
}

// 16-bit immediate operand at PC, PC advanced by 2.
inline std::uint16_t fetchWord(Z80Cpu& c) {
    const std::uint16_t v = c.readWord(c.PC);
    c.PC = static_cast<std::uint16_t>(c.PC + 2);
    return v;
}

inline std::uint16_t addDisplacement(std::uint16_t base, std::uint8_t d) {
    return static_cast<std::uint16_t>(base + static_cast<std::int8_t>(d));
}

// Address of the memory operand: HL, or IX / IY plus the signed displacement
// byte that follows the opcode.
template <Index X> inline std::uint16_t operandAddress(Z80Cpu& c) {
    if constexpr (X == Index::HL)
        return c.HL;
    else
        return addDisplacement(c.*indexPair<X>, fetchByte(c));
}

inline void push(Z80Cpu& c, std::uint16_t v) {
    c.SP = static_cast<std::uint16_t>(c.SP - 2);
    c.writeWord(c.SP, v);
}

inline std::uint16_t pop(Z80Cpu& c) {
    const std::uint16_t v = c.readWord(c.SP);
    c.SP = static_cast<std::uint16_t>(c.SP + 2);
    return v;
}

} // namespace z80
