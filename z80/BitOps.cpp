// Decoders of the CB group and of the DD CB / FD CB groups.
//
// Both decode the opcode arithmetically: bits 6 and 7 select shift / rotate
// (through shiftOps), BIT, RES or SET, bits 3 to 5 the operation or the bit
// number. CB works on the register of bits 0 to 2, or on (HL) for code 6.
// DD CB d op and FD CB d op always work on (IX+d) / (IY+d): the low three
// bits of op are ignored and no register receives a copy of the result (on
// silicon the undocumented register codes also load the register).
#include "z80/Alu.h"
#include "z80/OpTables.h"

namespace z80 {
namespace {

// Applies the operation of op to v; returns false for BIT, which only sets F.
inline bool applyBitOp(Z80Cpu& c, unsigned op, std::uint8_t& v) {
    const unsigned y = (op >> 3) & 7;
    switch (op & 0xC0) {
    case 0x00: v = shiftOps[y](c, v); return true;
    case 0x40: bitTest(c, y, v); return false;
    case 0x80: v = static_cast<std::uint8_t>(v & ~(1u << y)); return true;
    default: v = static_cast<std::uint8_t>(v | (1u << y)); return true;
    }
}

} // namespace

void bitOpsPrefix(Z80Cpu& c) {
    ++c.R;
    const std::uint8_t op = fetchByte(c);
    const bool isBit = (op & 0xC0) == 0x40;
    if ((op & 7) == 6) {
        std::uint8_t v = c.readByte(c.HL);
        charge(c, isBit ? 12 : 15);
        if (applyBitOp(c, op, v)) c.writeByte(c.HL, v);
    } else {
        const unsigned position = regIndex[op & 7];
        std::uint8_t v = registerByte(c, position);
        charge(c, 8);
        if (applyBitOp(c, op, v)) setRegisterByte(c, position, v);
    }
}

template <Index X> void indexBitOps(Z80Cpu& c) {
    ++c.R;
    const std::uint16_t address = addDisplacement(c.*indexPair<X>, fetchByte(c));
    std::uint8_t v = c.readByte(address);
    const std::uint8_t op = fetchByte(c);
    charge(c, (op & 0xC0) == 0x40 ? 20 : 23);
    if (applyBitOp(c, op, v)) c.writeByte(address, v);
}

template void indexBitOps<Index::IX>(Z80Cpu&);
template void indexBitOps<Index::IY>(Z80Cpu&);

} // namespace z80
