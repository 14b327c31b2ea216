// Tests of the FM chips' shared core: the ROMs against the formulas the chips follow, and the
// operator's output over a whole wave.
#include "synth/FmCore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <numbers>

namespace {

TEST(FmCore, RomsFollowTheirFormulas) {
    for (int i = 0; i < synth::fm::romSize; ++i) {
        const double logSin = -std::log2(std::sin((i + 0.5) * std::numbers::pi / 512)) * 256;
        const double exponent = (std::exp2(i / 256.0) - 1) * 1024;
        const auto index = static_cast<std::size_t>(i);
        EXPECT_EQ(synth::fm::logSin[index], std::lround(logSin)) << i;
        EXPECT_EQ(synth::fm::expFraction[index], std::lround(exponent)) << i;
    }
}

// Over a whole wave the operator is a sine of 2^11 (or 2^13 with the YM2151's two fraction
// bits) within its rounding, negative on the second half, mirrored within each half, and each
// octave of attenuation halves it.
TEST(FmCore, OperatorOutputIsASine) {
    for (unsigned phase = 0; phase < 1024; ++phase) {
        const double ideal = std::sin((phase + 0.5) * std::numbers::pi / 512);
        EXPECT_EQ(synth::fm::negativeHalf(phase), ideal < 0) << phase;
        const int magnitude = synth::fm::sineMagnitude<11>(phase, 0);
        EXPECT_NEAR(magnitude, std::abs(ideal) * 2048, 2048 * 0.004 + 1) << phase;
        EXPECT_EQ(magnitude, synth::fm::sineMagnitude<11>(phase ^ 0x1ff, 0)) << phase;
        EXPECT_EQ(synth::fm::sineMagnitude<13>(phase, 0) >> 2, magnitude) << phase;
        EXPECT_EQ(synth::fm::sineMagnitude<13>(phase, 256),
                  synth::fm::sineMagnitude<13>(phase, 0) >> 1)
            << phase;
    }
    // Sixteen octaves down nothing is left; one step above silence something is.
    EXPECT_EQ(synth::fm::sineMagnitude<13>(255, 16 * 256), 0);
    EXPECT_EQ(synth::fm::sineMagnitude<13>(255, 12 * 256), 1);
    EXPECT_EQ(synth::fm::sineMagnitude<11>(255, 6000), 0);
}

// The slow rates' pattern steps 4, 5, 6 and 7 times in eight periods, by the low two bits.
TEST(FmCore, SlowEnvelopePatternStepsFourToSevenTimes) {
    for (std::size_t low = 0; low < 4; ++low) {
        int steps = 0;
        for (std::uint8_t step : synth::fm::envelopeSteps[low])
            steps += step;
        EXPECT_EQ(steps, 4 + static_cast<int>(low));
    }
}

} // namespace
