// The unprefixed instruction set as one handler template, decoded from the
// opcode's bit fields at compile time, and its IX / IY forms.
//
// exec<Index::HL, op> is the handler of unprefixed opcode op. With IX or IY
// the same template yields the handler after DD / FD: HL becomes the index
// register, H and L in register forms become its halves, and (HL) becomes
// (IX+d) / (IY+d) with the displacement read at PC; a register operand H or L
// of a memory form stays H or L. Only opcodes for which usesIndex is true
// are instantiated with IX or IY; the rest run unprefixed.
#pragma once

#include "z80/Alu.h"
#include "z80/OpTables.h"

#include <utility>

namespace z80 {

// True for the opcodes that have their own handler after DD or FD.
constexpr bool usesIndex(unsigned op) {
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1;
    const auto hlCode = [](unsigned code) { return code >= 4 && code <= 6; };
    switch (x) {
    case 0:
        if (z == 1) return (op & 0x08) != 0 || p == 2;
        if (z == 2 || z == 3) return p == 2;
        return z >= 4 && z <= 6 && hlCode(y);
    case 1: return op != 0x76 && (hlCode(y) || hlCode(z));
    case 2: return hlCode(z);
    default:
        return op == 0xCB || op == 0xE1 || op == 0xE3 || op == 0xE5 || op == 0xE9 || op == 0xF9;
    }
}

// Condition code 0 to 7: NZ, Z, NC, C, PO, PE, P, M.
template <unsigned Code> inline bool condition(const Z80Cpu& c) {
    constexpr std::uint8_t masks[4] = {flagZ, flagC, flagPV, flagS};
    return ((regF(c) & masks[Code >> 1]) != 0) == ((Code & 1) != 0);
}

// Register pair by the two-bit code of the 16-bit loads and arithmetic
// (BC, DE, HL, SP) or of PUSH / POP (BC, DE, HL, AF).
template <Index X, unsigned Code, bool WithAf = false> inline std::uint16_t& pairRef(Z80Cpu& c) {
    if constexpr (Code == 0)
        return c.BC;
    else if constexpr (Code == 1)
        return c.DE;
    else if constexpr (Code == 2)
        return c.*indexPair<X>;
    else if constexpr (WithAf)
        return c.AF;
    else
        return c.SP;
}

inline void jumpRelative(Z80Cpu& c, bool taken) {
    const std::uint8_t e = fetchByte(c);
    if (taken) {
        c.PC = addDisplacement(c.PC, e);
        charge(c, 5);
    }
}

inline void call(Z80Cpu& c, bool taken) {
    if (!taken) {
        c.PC = static_cast<std::uint16_t>(c.PC + 2);
        return;
    }
    const std::uint16_t target = fetchWord(c);
    push(c, c.PC);
    charge(c, 7);
    c.PC = target;
}

inline void ret(Z80Cpu& c) {
    c.PC = pop(c);
    charge(c, 6);
}

inline void enableInterrupts(Z80Cpu& c) {
    if ((c.status & Z80Cpu::statusInterruptsDisabled) == 0) return;
    c.status &= static_cast<std::uint8_t>(~Z80Cpu::statusInterruptsDisabled);
    if (c.cycles < 1 || ((c.status & Z80Cpu::statusEiShadow) == 0 && c.intRequest != 0)) {
        c.deferredCycles += 1u - static_cast<std::uint32_t>(c.cycles);
        c.cycles = 1;
    }
}

template <Index X, unsigned Op> void exec(Z80Cpu& c) {
    constexpr unsigned x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;
    if constexpr (x == 0) {
        if constexpr (z == 0) {
            if constexpr (y == 1) {
                std::swap(c.AF, c.afAlt);
            } else if constexpr (y == 2) {
                setB(c, static_cast<std::uint8_t>(regB(c) - 1));
                if (regB(c) == 0)
                    c.PC = static_cast<std::uint16_t>(c.PC + 1);
                else
                    jumpRelative(c, true);
            } else if constexpr (y == 3) {
                jumpRelative(c, true);
            } else if constexpr (y >= 4) {
                jumpRelative(c, condition<y - 4>(c));
            }
        } else if constexpr (z == 1) {
            if constexpr (q == 0)
                pairRef<X, p>(c) = fetchWord(c);
            else
                c.*indexPair<X> = add16(c, c.*indexPair<X>, pairRef<X, p>(c));
        } else if constexpr (z == 2) {
            if constexpr (p == 2) {
                const std::uint16_t address = fetchWord(c);
                if constexpr (q == 0)
                    c.writeWord(address, c.*indexPair<X>);
                else
                    c.*indexPair<X> = c.readWord(address);
            } else {
                const std::uint16_t address = p == 0 ? c.BC : p == 1 ? c.DE : fetchWord(c);
                if constexpr (q == 0)
                    c.writeByte(address, regA(c));
                else
                    setA(c, c.readByte(address));
            }
        } else if constexpr (z == 3) {
            std::uint16_t& pair = pairRef<X, p>(c);
            pair = static_cast<std::uint16_t>(q == 0 ? pair + 1 : pair - 1);
        } else if constexpr (z == 4 || z == 5) {
            const auto step = [&c](std::uint8_t v) { return z == 4 ? inc8(c, v) : dec8(c, v); };
            if constexpr (y == 6) {
                const std::uint16_t address = operandAddress<X>(c);
                c.writeByte(address, step(c.readByte(address)));
            } else {
                setReg<X, y>(c, step(reg<X, y>(c)));
            }
        } else if constexpr (z == 6) {
            if constexpr (y == 6) {
                const std::uint16_t address = operandAddress<X>(c);
                c.writeByte(address, fetchByte(c));
            } else {
                setReg<X, y>(c, fetchByte(c));
            }
        } else if constexpr (y < 4) {
            rotateA<y>(c);
        } else if constexpr (y == 4) {
            daa(c);
        } else if constexpr (y == 5) {
            cpl(c);
        } else if constexpr (y == 6) {
            scf(c);
        } else {
            ccf(c);
        }
    } else if constexpr (x == 1) {
        if constexpr (y == 6 && z == 6) {
            c.status |= Z80Cpu::statusHalted;
            c.PC = static_cast<std::uint16_t>(c.PC - 1);
            c.cycles = 0;
        } else if constexpr (z == 6) {
            setReg<Index::HL, y>(c, c.readByte(operandAddress<X>(c)));
        } else if constexpr (y == 6) {
            c.writeByte(operandAddress<X>(c), reg<Index::HL, z>(c));
        } else {
            setReg<X, y>(c, reg<X, z>(c));
        }
    } else if constexpr (x == 2) {
        if constexpr (z == 6)
            alu<y>(c, c.readByte(operandAddress<X>(c)));
        else
            alu<y>(c, reg<X, z>(c));
    } else if constexpr (z == 0) {
        if (condition<y>(c)) ret(c);
    } else if constexpr (z == 1) {
        if constexpr (q == 0)
            pairRef<X, p, true>(c) = pop(c);
        else if constexpr (p == 0)
            ret(c);
        else if constexpr (p == 1) {
            std::swap(c.BC, c.bcAlt);
            std::swap(c.DE, c.deAlt);
            std::swap(c.HL, c.hlAlt);
        } else if constexpr (p == 2)
            c.PC = c.*indexPair<X>;
        else
            c.SP = c.*indexPair<X>;
    } else if constexpr (z == 2) {
        if (condition<y>(c))
            c.PC = c.readWord(c.PC);
        else
            c.PC = static_cast<std::uint16_t>(c.PC + 2);
    } else if constexpr (z == 3) {
        if constexpr (y == 0) {
            c.PC = c.readWord(c.PC);
        } else if constexpr (y == 2) {
            const std::uint8_t a = regA(c);
            c.portOut(static_cast<std::uint16_t>(a << 8 | fetchByte(c)), a);
        } else if constexpr (y == 3) {
            const std::uint8_t a = regA(c);
            setA(c, c.portIn(static_cast<std::uint16_t>(a << 8 | fetchByte(c))));
        } else if constexpr (y == 4) {
            const std::uint16_t v = c.readWord(c.SP);
            c.writeWord(c.SP, c.*indexPair<X>);
            c.*indexPair<X> = v;
        } else if constexpr (y == 5) {
            std::swap(c.DE, c.HL);
        } else if constexpr (y == 6) {
            c.status |= Z80Cpu::statusInterruptsDisabled;
        } else if constexpr (y == 7) {
            enableInterrupts(c);
        }
    } else if constexpr (z == 4) {
        call(c, condition<y>(c));
    } else if constexpr (z == 5) {
        if constexpr (q == 0)
            push(c, pairRef<X, p, true>(c));
        else
            call(c, true); // CD; DD, ED and FD are the prefix decoders
    } else if constexpr (z == 6) {
        alu<y>(c, fetchByte(c));
    } else {
        push(c, c.PC);
        c.PC = y * 8;
    }
}

} // namespace z80
