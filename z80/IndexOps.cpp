// The handler tables after the DD (IX) and FD (IY) prefixes.
//
// Opcodes that use HL, H, L or (HL) get their IX / IY form from the
// instruction template; LD IXH,IXH and LD IXL,IXL (and their IY twins) are
// noOp; every other entry is unprefix, so the prefix is ignored and the byte
// runs as an unprefixed instruction.
#include "z80/Instructions.h"

#include <utility>

namespace z80 {
namespace {

template <Index X, unsigned Op> constexpr Handler indexHandler() {
    if constexpr (!usesIndex(Op))
        return unprefix;
    else if constexpr (Op == 0x64 || Op == 0x6D)
        return noOp;
    else if constexpr (Op == 0xCB)
        return indexBitOps<X>;
    else
        return exec<X, Op>;
}

template <Index X, std::size_t... Ops>
constexpr HandlerTable makeIndexOps(std::index_sequence<Ops...>) {
    return {indexHandler<X, Ops>()...};
}

} // namespace

constinit const HandlerTable ddOps = makeIndexOps<Index::IX>(std::make_index_sequence<256>());
constinit const HandlerTable fdOps = makeIndexOps<Index::IY>(std::make_index_sequence<256>());

} // namespace z80
