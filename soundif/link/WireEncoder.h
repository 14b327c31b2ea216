// The wire encoder: turns 16-bit words and register writes into the pin bytes
// of the board's serial chip bus, for a device in asynchronous bit-bang mode.
// One word is one frame of 18 pin bytes: latch low, eight bits shifted in
// most significant first (data line = chip-bus byte, control line = control
// byte, each bit set up with the shift clock low and taken with it high),
// then latch high. A register write is an address phase and a data phase of
// three frames each (the middle one with the write strobe active), 108 bytes
// plus the wait fillers, which repeat the last pin byte.
//
// Pure functions over a byte buffer and a pin state, so they can be tested
// and measured alone. Masks may name several pins; pins in no mask keep their
// level. A position above 2 selects no chip (the board has three). The
// words and the control byte are drawn in soundif/wire/ControlByte.h.
#pragma once

#include "soundif/wire/ControlByte.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wire {

inline constexpr std::size_t frameBytes = 18;
inline constexpr std::size_t registerWriteBytes = 6 * frameBytes;

// Longest wait filler, in pin bytes. A wait setting that would ask for more
// is cut to this (65,536 bytes: over 20 ms of pin time even at 3,000,000
// baud), so a mistyped "AddrWait" or "DataWait" cannot exhaust memory.
inline constexpr std::uint32_t maxWaitRepeat = 65536;

// Filler bytes for a wait of W at Speed S: ceil(W * S / 10,000,000) - 1 (0
// stays 0), at most maxWaitRepeat.
std::uint32_t waitRepeat(std::uint32_t wait, std::uint32_t speed);

// Control byte of a register write to the chip at position, with bit 8 of
// the address; the address phase uses it as is, the data phase with its
// register select set.
std::uint8_t controlByte(std::uint32_t position, std::uint32_t address);

// Writes the 18 bytes of one frame of word to out and returns the new pin
// state (the last byte written).
std::uint8_t encodeFrame(std::uint8_t* out, std::uint16_t word, const PinMasks& masks,
                         std::uint8_t pinState);

// Appends one frame to buffer and updates pinState.
void appendFrame(std::vector<std::uint8_t>& buffer, std::uint16_t word, const PinMasks& masks,
                 std::uint8_t& pinState);

// Appends count copies of pinState.
void appendFiller(std::vector<std::uint8_t>& buffer, std::uint32_t count, std::uint8_t pinState);

// Appends one register write: address phase, addressWaitRepeat filler bytes,
// data phase. The filler before a following write is the caller's.
void appendRegisterWrite(std::vector<std::uint8_t>& buffer, std::uint32_t position,
                         std::uint32_t address, std::uint32_t data, const PinMasks& masks,
                         std::uint8_t& pinState, std::uint32_t addressWaitRepeat);

} // namespace wire
