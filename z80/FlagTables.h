// Process-wide flag tables of the CPU, shared by every Z80Cpu.
//
// buildFlagTables fills them on the first Z80Cpu construction and leaves them
// alone afterwards; from then on they are read-only. The built flag is a plain
// byte without a lock, so the first construction must finish before another
// thread constructs a CPU.
//
// szFlags holds 512 entries: 0..255 are S and Z of the index, 256..511 (named
// szcFlags) are S and Z of (index - 256) with C, so a 9-bit raw sum or
// difference finds S, Z and C in one read. No entry of any table has bit 3 or
// bit 5 set: the CPU never produces those two undocumented flags.
#pragma once

#include <cstdint>

namespace z80 {

inline constexpr std::uint8_t flagS = 0x80;
inline constexpr std::uint8_t flagZ = 0x40;
inline constexpr std::uint8_t flagH = 0x10;
inline constexpr std::uint8_t flagPV = 0x04;
inline constexpr std::uint8_t flagN = 0x02;
inline constexpr std::uint8_t flagC = 0x01;

// S, Z and even parity (P/V) of a byte.
inline std::uint8_t szpFlags[256];
// S and Z of a byte; with szcFlags the 9-bit lookup table.
inline std::uint8_t szFlags[512];
inline constexpr std::uint8_t* szcFlags = szFlags + 256;
// Flags of an 8-bit increment or decrement, indexed by the operand.
inline std::uint8_t incFlags[256];
inline std::uint8_t decFlags[256];

// Builds the tables once per process; later calls return at once.
void buildFlagTables();

} // namespace z80
