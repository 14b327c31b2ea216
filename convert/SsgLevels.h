// SsgLevels: the SSG's fixed levels in decibels and the level nearest to an
// attenuation, for converters that play another chip's levels on an SSG.
// The levels follow the chip's logarithmic law of 3 dB per 4-bit level
// (SsgRegisters::fixedLevelStepDecibels), level 15 loudest and 0 silent; the
// real DAC departs from the law most at the lowest levels, where the
// nearest level may then be a little off.
#pragma once

#include "synth/SsgRegisters.h"

namespace convert {

// A level's gain relative to level 15, in dB (level 0 is silence and has none).
constexpr double ssgLevelDecibels(unsigned level) {
    return -synth::SsgRegisters::fixedLevelStepDecibels *
           static_cast<double>(synth::SsgRegisters::maximumFixedLevel - level);
}

// The audible level (1-15) nearest in dB to an attenuation (dB, 0 or more).
constexpr unsigned nearestSsgLevel(double attenuationDecibels) {
    unsigned best = synth::SsgRegisters::maximumFixedLevel;
    for (unsigned level = 1; level <= synth::SsgRegisters::maximumFixedLevel; ++level) {
        const double error = ssgLevelDecibels(level) + attenuationDecibels;
        const double bestError = ssgLevelDecibels(best) + attenuationDecibels;
        if ((error < 0 ? -error : error) < (bestError < 0 ? -bestError : bestError)) best = level;
    }
    return best;
}

} // namespace convert
