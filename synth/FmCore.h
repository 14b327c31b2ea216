// FmCore.h: what the two FM chips (YM2151 and YM2413) share: the log-sine and exponent ROMs,
// the envelope's step pattern for the slow rates, its states, and the operator's output.
//
// How it is used: Ym2151.cpp and Ym2413.cpp include it and build their operators from
// fm::sineMagnitude() (a 10-bit phase and an attenuation in 1/256 octaves in, a magnitude
// out) and fm::negativeHalf(); each chip keeps its own sign format, attenuation width and fast
// envelope rates. Every table is computed here at compile time from the formula the chips'
// ROMs follow (tests check them against the formulas and the oracles); nothing is typed in.
//
// Where it knowingly differs from the hardware: the chips store the quarter-wave log-sine and
// the exponent's fraction; expMantissa holds the exponent with its implied leading one already
// added and its index reversed, as the chips read it, to save an operation per operator.
#pragma once

#include <array>
#include <cstdint>

namespace synth::fm {

namespace math {

inline constexpr double pi = 3.14159265358979323846;
inline constexpr double ln2 = 0.69314718055994530942;

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

// Entries of the quarter-wave ROMs, and the phase bits the operator reads.
inline constexpr int romSize = 256;
inline constexpr unsigned phaseBits = 10;
inline constexpr unsigned phaseMask = (1u << phaseBits) - 1;
// Bits of the exponent ROM's result with its implied leading one.
inline constexpr unsigned mantissaBits = 11;

// The quarter-wave log-sine ROM: -log2(sin) of the first quarter wave in 1/256 octaves (4.8
// fixed point), 12 bits: round(-log2(sin((i + 0.5) * pi / 512)) * 256).
inline constexpr auto logSin = [] {
    std::array<std::uint16_t, romSize> t{};
    for (int i = 0; i < romSize; ++i) {
        const double s = math::sine((i + 0.5) / romSize * math::pi / 2.0);
        t[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(math::roundToInt(-math::logE(s) / math::ln2 * 256.0));
    }
    return t;
}();

// The exponent ROM: the fraction of 2^(i / 256) in 1/1024, 10 bits:
// round((2^(i / 256) - 1) * 1024).
inline constexpr auto expFraction = [] {
    std::array<std::uint16_t, romSize> t{};
    for (int i = 0; i < romSize; ++i)
        t[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(
            math::roundToInt((math::powerOfTwo(i / double(romSize)) - 1.0) * 1024.0));
    return t;
}();

// The log-sine ROM unfolded to a half wave (the second quarter reads it backwards).
inline constexpr auto logSinHalf = [] {
    std::array<std::uint16_t, 2 * romSize> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = logSin[(i & romSize) ? (i & 0xff) ^ 0xff : i & 0xff];
    return t;
}();

// 2^(-i / 256) as an 11-bit mantissa: the exponent ROM read backwards, with its leading one.
inline constexpr auto expMantissa = [] {
    std::array<std::uint16_t, romSize> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = static_cast<std::uint16_t>(expFraction[i ^ 0xff] | 1u << (mantissaBits - 1));
    return t;
}();

// Whether a 10-bit phase stands in the negative half-wave.
constexpr bool negativeHalf(unsigned phase10) {
    return (phase10 >> (phaseBits - 1)) & 1;
}

// The magnitude of an operator's sine for a 10-bit phase under an attenuation in 1/256
// octaves, with magnitudeBits bits (11 to 13: the chips differ in how many fraction bits of
// the exponent they keep). Attenuations of 16 octaves and more give 0.
template <unsigned magnitudeBits>
constexpr int sineMagnitude(unsigned phase10, unsigned attenuation) {
    static_assert(magnitudeBits >= mantissaBits && magnitudeBits <= 13);
    const unsigned level = logSinHalf[phase10 & (phaseMask >> 1)] + attenuation;
    const unsigned shift = level >> 8;
    if (shift >= 16) return 0;
    return static_cast<int>(
        (static_cast<unsigned>(expMantissa[level & 0xff]) << (magnitudeBits - mantissaBits)) >>
        shift);
}

// The states of an operator's envelope. damp is the YM2413's: a key-on first takes a
// sounding slot to silence before its attack; the YM2151 never enters it.
enum class EnvelopeState : std::uint8_t { attack, decay, sustain, release, damp };

// The slow envelope rates' step pattern: whether a rate steps in each of eight consecutive
// update periods, by the rate's low two bits (4, 5, 6 or 7 steps of 8).
inline constexpr std::array<std::array<std::uint8_t, 8>, 4> envelopeSteps = {{
    {0, 1, 0, 1, 0, 1, 0, 1},
    {0, 1, 0, 1, 1, 1, 0, 1},
    {0, 1, 1, 1, 0, 1, 1, 1},
    {0, 1, 1, 1, 1, 1, 1, 1},
}};

} // namespace synth::fm
