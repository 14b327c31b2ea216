// Clock correction: register values that give, on a chip running at another
// clock than the file's, the pitch the file meant. ratio is always the file's
// clock divided by the chip's clock.
//
// YM2151 key code and fraction:
//   KC | 6..4: octave | 3..0: note code (16 codes, 12 notes: 3, 7, 11, 15 unused) |
//   KF | 7..2: fraction, 64 steps per semitone | 1..0: unused |
// PSG periods: tone 12 bits, noise 5 bits, envelope 16 bits; frequency is
// clock / period, so a period scales by the chip's clock over the file's.
// F-number and block (YM2413: 9-bit F-number; YM2203 / YM2608: 11 bits):
// frequency is F-number * 2^block * clock / constant.
#pragma once

#include <cstdint>

namespace tavroplay {

struct KeyCode {
    std::uint8_t kc; // octave and note code
    std::uint8_t kf; // fraction in bits 7..2
};

// Shifts a key code by 12 * log2(ratio) semitones, to the nearest 1/64
// semitone, held to the chip's range.
KeyCode correctKeyCode(KeyCode code, double ratio);

// Pitch of a key code in 1/64 semitones from the lowest note.
int keyCodePitch(KeyCode code);

// A period scaled by 1 / ratio and rounded, held to [1, maximum].
std::uint32_t correctPeriod(std::uint32_t period, double ratio, std::uint32_t maximum);

struct FNumber {
    std::uint16_t fnumber;
    std::uint8_t block;
};

// F-number and block for ratio times the frequency, with the F-number kept
// as large as its width allows (the finest step), held to the chip's range.
FNumber correctFNumber(FNumber value, double ratio, int fnumberBits);

} // namespace tavroplay
