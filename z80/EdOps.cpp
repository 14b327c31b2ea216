// The handler table after the ED prefix: port I/O on (C), 16-bit ADC / SBC
// and loads, NEG, the returns, interrupt modes, I / R transfers, RRD / RLD
// and the block instructions. Every other ED pair is a two-byte noOp.
//
// Block instructions do one step each; a repeating form moves PC back onto
// its own ED prefix and charges 5 more, so every pass is fetched, counted in R
// and charged again by the runner. Known difference from silicon: the block
// I/O instructions replace F by 0x42 when B reaches 0 and 0x02 otherwise.
#include "z80/Instructions.h"

#include <utility>

namespace z80 {
namespace {

// F after LD A,I / LD A,R: S and Z of A, P/V while interrupts are enabled.
inline void setInterruptFlags(Z80Cpu& c) {
    setF(c, static_cast<std::uint8_t>(
                (regF(c) & flagC) | szFlags[regA(c)] |
                ((c.status & Z80Cpu::statusInterruptsDisabled) == 0 ? flagPV : 0)));
}

template <unsigned Op> void edExec(Z80Cpu& c) {
    constexpr unsigned y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;
    if constexpr (z == 0) {
        const std::uint8_t v = c.portIn(c.BC);
        setF(c, static_cast<std::uint8_t>((regF(c) & flagC) | szpFlags[v]));
        if constexpr (y != 6) setReg<Index::HL, y>(c, v);
    } else if constexpr (z == 1) {
        if constexpr (y == 6)
            c.portOut(c.BC, 0);
        else
            c.portOut(c.BC, reg<Index::HL, y>(c));
    } else if constexpr (z == 2) {
        if constexpr (q == 0)
            sbc16(c, pairRef<Index::HL, p>(c));
        else
            adc16(c, pairRef<Index::HL, p>(c));
    } else if constexpr (z == 3) {
        const std::uint16_t address = fetchWord(c);
        if constexpr (q == 0)
            c.writeWord(address, pairRef<Index::HL, p>(c));
        else
            pairRef<Index::HL, p>(c) = c.readWord(address);
    } else if constexpr (z == 4) {
        neg(c);
    } else if constexpr (z == 5) {
        if constexpr (q == 0) c.status &= static_cast<std::uint8_t>(~Z80Cpu::statusEiShadow);
        ret(c);
    } else if constexpr (z == 6) {
        c.IM = (y & 3) < 2 ? 0 : (y & 3) - 1;
    } else if constexpr (y == 0) {
        c.I = regA(c);
    } else if constexpr (y == 1) {
        c.R = regA(c);
        c.rBit7 = regA(c);
    } else if constexpr (y == 2) {
        setA(c, c.I);
        setInterruptFlags(c);
    } else if constexpr (y == 3) {
        setA(c, static_cast<std::uint8_t>((c.rBit7 & 0x80) | (c.R & 0x7F)));
        setInterruptFlags(c);
    } else {
        const unsigned a = regA(c);
        const unsigned v = c.readByte(c.HL);
        unsigned result;
        if constexpr (y == 4) {
            c.writeByte(c.HL, static_cast<std::uint8_t>((a << 4) | (v >> 4)));
            result = (a & 0xF0) | (v & 0x0F);
        } else {
            c.writeByte(c.HL, static_cast<std::uint8_t>((v << 4) | (a & 0x0F)));
            result = (a & 0xF0) | (v >> 4);
        }
        c.AF = static_cast<std::uint16_t>(result << 8 | (regF(c) & flagC) | szpFlags[result]);
    }
}

// LDI, CPI, INI, OUTI and their decrementing and repeating forms.
template <unsigned Op> void blockExec(Z80Cpu& c) {
    constexpr bool decrement = (Op & 0x08) != 0, repeat = (Op & 0x10) != 0;
    constexpr unsigned kind = Op & 3;
    const auto step = [](std::uint16_t v) {
        return static_cast<std::uint16_t>(decrement ? v - 1 : v + 1);
    };
    bool again;
    if constexpr (kind == 0) {
        const std::uint8_t v = c.readByte(c.HL);
        c.HL = step(c.HL);
        c.writeByte(c.DE, v);
        c.DE = step(c.DE);
        c.BC = static_cast<std::uint16_t>(c.BC - 1);
        setF(c, static_cast<std::uint8_t>((regF(c) & 0xE9) | (c.BC != 0 ? flagPV : 0)));
        again = c.BC != 0;
    } else if constexpr (kind == 1) {
        const unsigned a = regA(c);
        const unsigned v = c.readByte(c.HL);
        c.HL = step(c.HL);
        const unsigned r = (a - v) & 0xFF;
        c.BC = static_cast<std::uint16_t>(c.BC - 1);
        setF(c, static_cast<std::uint8_t>((regF(c) & flagC) | ((a ^ v ^ r) & flagH) | szFlags[r] |
                                          flagN | (c.BC != 0 ? flagPV : 0)));
        again = a != v && c.BC != 0;
    } else {
        if constexpr (kind == 2) {
            c.writeByte(c.HL, c.portIn(c.BC));
            c.HL = step(c.HL);
            setB(c, static_cast<std::uint8_t>(regB(c) - 1));
        } else {
            const std::uint8_t v = c.readByte(c.HL);
            c.HL = step(c.HL);
            setB(c, static_cast<std::uint8_t>(regB(c) - 1));
            c.portOut(c.BC, v);
        }
        setF(c, regB(c) == 0 ? flagZ | flagN : flagN);
        again = regB(c) != 0;
    }
    if (repeat && again) {
        c.PC = static_cast<std::uint16_t>(c.PC - 2);
        charge(c, 5);
    }
}

template <unsigned Op> constexpr Handler edHandler() {
    constexpr unsigned x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7;
    if constexpr (Op == 0x63)
        return exec<Index::HL, 0x22>;
    else if constexpr (Op == 0x6B)
        return exec<Index::HL, 0x2A>;
    else if constexpr (x == 1 && Op != 0x77 && Op != 0x7F)
        return edExec<Op>;
    else if constexpr (x == 2 && y >= 4 && z <= 3)
        return blockExec<Op>;
    else
        return noOp;
}

template <std::size_t... Ops> constexpr HandlerTable makeEdOps(std::index_sequence<Ops...>) {
    return {edHandler<Ops>()...};
}

} // namespace

constinit const HandlerTable edOps = makeEdOps(std::make_index_sequence<256>());

} // namespace z80
