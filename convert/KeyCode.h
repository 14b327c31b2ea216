// KeyCode: a frequency as the YM2151's key code (octave and note) and key
// fraction, at the chip's clock, and an OPN note's frequency from its
// F-number and block; what a converter needs to play another chip's notes
// at their pitch on a YM2151.
//
//   KeyCode key = keyCodeOf(440.0, 4000000);
//   write(keyCodeRegister(ch), key.code); write(keyFractionRegister(ch), key.fraction);
//
// The YM2151 plays A4 (440 Hz) at key code 0x4A (octave 4, note 10), key
// fraction 0, with a 3,579,545 Hz clock, and every pitch scales with the
// clock. Its octave runs C# to C, twelve notes in sixteen codes (3, 7, 11
// and 15 unused), and the key fraction adds 64ths of a semitone. A frequency
// beyond the lowest or highest note plays at it.
#pragma once

#include <cstdint>

namespace convert {

struct KeyCode {
    std::uint8_t code;     // the 0x28 + ch byte: octave bits 6-4, note bits 3-0
    std::uint8_t fraction; // the 0x30 + ch byte: fraction bits 7-2
};

KeyCode keyCodeOf(double hz, std::uint32_t ym2151Clock);
// The frequency a key code and fraction play (what keyCodeOf inverts).
double frequencyOf(KeyCode key, std::uint32_t ym2151Clock);

// An OPN note: F x 2^(block - 1) x fs / 2^20 at the chip's sample rate fs.
double opnNoteHz(unsigned fNumber, unsigned block, double sampleRate);

} // namespace convert
