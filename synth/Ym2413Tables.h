// Ym2413Tables.h: the constant data of the YM2413 model (see Ym2413.h).
//
// Every table here is what the chip is documented to hold or to compute (the log-sine and
// exponent ROMs and the slow envelope rates' step pattern, which it shares with the YM2151, are
// in FmCore.h):
// - the frequency multipliers (MULT 0 is one half; 11, 13 and 15 repeat their neighbours);
// - the key-scale attenuation per F-number octave at block 7, 3 dB per octave, in the
//   envelope's 0.375 dB steps;
// - the envelope step patterns of the fast rates, by the rate's low two bits: one set for 12
//   and 13 (and the attack's shift at 12-14), and the increments of rate 14;
// - the instrument ROM: the 15 built-in melody voices and the three rhythm voices in the
//   user instrument's register layout (registers 0x00-0x07).
#pragma once

#include <array>
#include <cstdint>

namespace synth::ym2413 {

// clang-format off: rows of sixteen, as the ROMs are read.

// MULT as twice the frequency multiplier: 1/2, 1, 2 ... 10, 10, 12, 12, 15, 15.
inline constexpr std::array<std::uint8_t, 16> multiplierTimesTwo = {1,  2,  4,  6,  8,  10, 12, 14,
                                                                    16, 18, 20, 20, 24, 24, 30, 30};

// Key-scale attenuation at block 7 for the top four F-number bits, in 0.375 dB steps at
// 3 dB per octave (0, 9, 12, 13.875 ... 21 dB); each lower block takes 3 dB (8 steps) off.
inline constexpr std::array<std::uint8_t, 16> keyScaleBase = {0,  24, 32, 37, 40, 43, 45, 47,
                                                              48, 50, 51, 52, 53, 54, 55, 56};

// The envelope's step patterns beside the slow rates' (fm::envelopeSteps): for rates 12 and
// 13, and (one or two steps) for rate 14.
inline constexpr std::array<std::array<std::uint8_t, 8>, 4> envelopeStepsHigh = {{
    {0, 1, 0, 1, 0, 1, 0, 1},
    {0, 1, 1, 1, 0, 1, 0, 1},
    {0, 1, 1, 1, 0, 1, 1, 1},
    {0, 1, 1, 1, 1, 1, 1, 1},
}};
inline constexpr std::array<std::array<std::uint8_t, 8>, 4> envelopeStepsFast = {{
    {1, 1, 1, 1, 1, 1, 1, 1},
    {1, 2, 1, 1, 1, 2, 1, 1},
    {1, 2, 1, 2, 1, 2, 1, 2},
    {1, 2, 2, 2, 1, 2, 2, 2},
}};

// The instrument ROM as read out of the chip through its test register, each voice in the
// layout of registers 0x00-0x07. Entry 0 stands for the
// user instrument and is never read; 1-15 are the melody voices, 16-18 the rhythm voices
// (bass drum; hi-hat as modulator with snare drum as carrier; tom-tom as modulator with top
// cymbal as carrier). The snare drum's sustain level is the die-shot emulator's, 4: its decay
// and release rates are equal, so the level shows only when rhythm mode is switched off under it
// and a melody voice takes over its state (measured against the emulator: 3, 5 and 6 differ).
inline constexpr std::array<std::array<std::uint8_t, 8>, 19> instrumentRom = {{
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // user
    {0x71, 0x61, 0x1e, 0x17, 0xd0, 0x78, 0x00, 0x17}, // violin
    {0x13, 0x41, 0x1a, 0x0d, 0xd8, 0xf7, 0x23, 0x13}, // guitar
    {0x13, 0x01, 0x99, 0x00, 0xf2, 0xc4, 0x11, 0x23}, // piano
    {0x31, 0x61, 0x0e, 0x07, 0xa8, 0x64, 0x70, 0x27}, // flute
    {0x32, 0x21, 0x1e, 0x06, 0xe0, 0x76, 0x00, 0x28}, // clarinet
    {0x31, 0x22, 0x16, 0x05, 0xe0, 0x71, 0x00, 0x18}, // oboe
    {0x21, 0x61, 0x1d, 0x07, 0x82, 0x81, 0x10, 0x07}, // trumpet
    {0x23, 0x21, 0x2d, 0x14, 0xa2, 0x72, 0x00, 0x07}, // organ
    {0x61, 0x61, 0x1b, 0x06, 0x64, 0x65, 0x10, 0x17}, // horn
    {0x41, 0x61, 0x0b, 0x18, 0x85, 0xf7, 0x71, 0x07}, // synthesizer
    {0x13, 0x01, 0x83, 0x11, 0xfa, 0xe4, 0x10, 0x04}, // harpsichord
    {0x17, 0xc1, 0x24, 0x07, 0xf8, 0xf8, 0x22, 0x12}, // vibraphone
    {0x61, 0x50, 0x0c, 0x05, 0xc2, 0xf5, 0x20, 0x42}, // synthesizer bass
    {0x01, 0x01, 0x55, 0x03, 0xc9, 0x95, 0x03, 0x02}, // acoustic bass
    {0x61, 0x41, 0x89, 0x03, 0xf1, 0xe4, 0x40, 0x13}, // electric guitar
    {0x01, 0x01, 0x18, 0x0f, 0xdf, 0xf8, 0x6a, 0x6d}, // bass drum
    {0x01, 0x01, 0x00, 0x00, 0xc8, 0xd8, 0xa7, 0x48}, // hi-hat / snare drum
    {0x05, 0x01, 0x00, 0x00, 0xf8, 0xaa, 0x59, 0x55}, // tom-tom / top cymbal
}};

// clang-format on

} // namespace synth::ym2413
