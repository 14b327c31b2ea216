// The unprefixed handler table and the DD, ED and FD prefix decoders.
//
// Each prefix decoder counts one more fetch in R, fetches the next opcode
// byte, charges its entry of indexCycles or edCycles and runs its handler, so
// a chain of prefixes is resolved through the tables themselves: only the
// last DD / FD applies, and a DD / FD before ED is ignored.
#include "z80/CycleTables.h"
#include "z80/Instructions.h"

#include <utility>

namespace z80 {
namespace {

template <const HandlerTable& Table, const std::uint8_t* Costs> void prefix(Z80Cpu& c) {
    ++c.R;
    const std::uint8_t op = fetchByte(c);
    charge(c, Costs[op]);
    Table[op](c);
}

template <unsigned Op> constexpr Handler mainHandler() {
    constexpr bool loadsItself = (Op >> 6) == 1 && ((Op >> 3) & 7) == (Op & 7) && Op != 0x76;
    if constexpr (Op == 0x00 || loadsItself)
        return noOp;
    else if constexpr (Op == 0xCB)
        return bitOpsPrefix;
    else if constexpr (Op == 0xDD)
        return prefix<ddOps, indexCycles>;
    else if constexpr (Op == 0xED)
        return prefix<edOps, edCycles>;
    else if constexpr (Op == 0xFD)
        return prefix<fdOps, indexCycles>;
    else
        return exec<Index::HL, Op>;
}

template <std::size_t... Ops> constexpr HandlerTable makeMainOps(std::index_sequence<Ops...>) {
    return {mainHandler<Ops>()...};
}

} // namespace

void noOp(Z80Cpu&) {}

void unprefix(Z80Cpu& c) {
    c.PC = static_cast<std::uint16_t>(c.PC - 1);
}

constinit const HandlerTable mainOps = makeMainOps(std::make_index_sequence<256>());

} // namespace z80
