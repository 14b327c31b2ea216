// The decoder's handler tables and the handlers shared between them.
//
// A handler takes the CPU, reads any further instruction bytes at PC and
// carries out one instruction; the dispatching step has already fetched the
// opcode byte and charged its table cost. mainOps holds the unprefixed
// opcodes (its CB, DD, ED and FD entries are the prefix decoders), edOps the
// opcodes after ED, ddOps and fdOps those after DD (IX) and FD (IY).
#pragma once

#include "z80/Registers.h"

#include <array>

namespace z80 {

using HandlerTable = std::array<Handler, 256>;

extern const HandlerTable mainOps;
extern const HandlerTable edOps;
extern const HandlerTable ddOps;
extern const HandlerTable fdOps;

// Does nothing: NOP, the loads of a register into itself, unlisted ED pairs.
void noOp(Z80Cpu& c);

// Steps PC back onto the byte after an ignored DD or FD prefix, which the
// runner then fetches again as an ordinary instruction.
void unprefix(Z80Cpu& c);

// The CB decoder, and the DD CB / FD CB decoders (entry CB of ddOps / fdOps).
void bitOpsPrefix(Z80Cpu& c);
template <Index X> void indexBitOps(Z80Cpu& c);

} // namespace z80
