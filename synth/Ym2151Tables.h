// Constant tables of the YM2151 (OPM) model, computed at compile time from the
// formulas the chip's ROMs follow, so that no table is typed in by hand:
//
//  - logSin: the quarter-wave log-sine ROM, 256 entries of 12 bits, attenuation
//    in units of 1/256 of a factor two: round(-log2(sin((i + 0.5) / 256 * pi/2)) * 256).
//  - expFraction: the exponent ROM, 256 entries of 10 bits, the fraction part of
//    2 to the power i/256: round((2^(i/256) - 1) * 1024).
//  - noteStep: the phase step of one 64th of a semitone for octave 0, with two
//    fraction bits, 768 entries from C# to C of the next octave, tuned so that
//    key code 0x4A (octave 4, A) sounds at 440 Hz from a 3.58 MHz clock.
//  - detuneStep: the DT1 phase-step offsets per key code (the datasheet's table).
//
// Used by Ym2151.cpp only.
#pragma once

#include <array>
#include <cstdint>

namespace synth::ym2151 {

namespace math {

constexpr double pi = 3.14159265358979323846;
constexpr double ln2 = 0.69314718055994530942;

// sin(x) for x in [0, pi/2] by its Taylor series.
constexpr double sine(double x) {
    double term = x;
    double sum = x;
    for (int n = 1; n < 30; ++n) {
        term *= -x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

// Natural logarithm of x > 0: range-reduced to [1, 2), then the atanh series.
constexpr double logE(double x) {
    int k = 0;
    while (x >= 2.0) {
        x /= 2.0;
        ++k;
    }
    while (x < 1.0) {
        x *= 2.0;
        --k;
    }
    const double y = (x - 1.0) / (x + 1.0);
    double term = y;
    double sum = 0.0;
    for (int n = 0; n < 60; ++n) {
        sum += term / (2 * n + 1);
        term *= y * y;
    }
    return 2.0 * sum + k * ln2;
}

// 2 to the power x for x in [-2, 2] by the exponential series.
constexpr double powerOfTwo(double x) {
    const double y = x * ln2;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n < 40; ++n) {
        term *= y / n;
        sum += term;
    }
    return sum;
}

constexpr int roundToInt(double x) {
    return static_cast<int>(x + 0.5);
}

} // namespace math

inline constexpr auto logSin = [] {
    std::array<std::uint16_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        const double s = math::sine((i + 0.5) / 256.0 * math::pi / 2.0);
        t[i] = static_cast<std::uint16_t>(math::roundToInt(-math::logE(s) / math::ln2 * 256.0));
    }
    return t;
}();

inline constexpr auto expFraction = [] {
    std::array<std::uint16_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        t[i] = static_cast<std::uint16_t>(
            math::roundToInt((math::powerOfTwo(i / 256.0) - 1.0) * 1024.0));
    }
    return t;
}();

// Phase step per frame of a 20-bit phase, times 4, for octave 0 and each 64th of
// a semitone from C# (index 0) upwards; A is index 512. The chip's table is
// tuned for its nominal 3.58 MHz clock: A at octave 4 is 440 Hz from
// 3,580,000 / 64 frames per second, 440 * 2^20 / (3580000 / 64) / 16 * 4. Each
// semitone is that exponential rounded; between semitones the chip's ROM stays
// at or below the curve, and these steps take its integer part.
inline constexpr auto noteStep = [] {
    std::array<std::uint16_t, 768> t{};
    const double a = 440.0 * 1048576.0 / (3580000.0 / 64.0) / 16.0 * 4.0;
    for (int i = 0; i < 768; ++i) {
        const double v = a * math::powerOfTwo((i - 512) / 768.0);
        t[i] = static_cast<std::uint16_t>(i % 64 == 0 ? math::roundToInt(v) : static_cast<int>(v));
    }
    return t;
}();

// DT1 offsets for DT1 = 0 to 3 (bit 2 of DT1 negates them), per 5-bit key code
// (octave and the top two bits of the note), as the datasheet lists them.
inline constexpr std::array<std::array<std::uint8_t, 32>, 4> detuneStep{{
    {},
    {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2,
     2, 3, 3, 3, 4, 4, 4, 5, 5, 6, 6, 7, 8, 8, 8, 8},
    {1, 1, 1, 1, 2, 2, 2, 2,  2,  3,  3,  3,  4,  4,  4,  5,
     5, 6, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 16, 16, 16, 16},
    {2, 2, 2, 2,  2,  3,  3,  3,  4,  4,  4,  5,  5,  6,  6,  7,
     8, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 20, 22, 22, 22, 22},
}};

// DT2 offsets in 64ths of a semitone: none, +600, +781 and +950 cents.
inline constexpr std::array<std::uint16_t, 4> coarseDetune{0, 384, 500, 608};

} // namespace synth::ym2151
