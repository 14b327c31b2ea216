// OPN envelope rates on a YM2151; see OpnEnvelopeRates.h.
#include "convert/OpnEnvelopeRates.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace convert {

namespace {

constexpr unsigned maximumRate = 63;
constexpr unsigned fastestDecay = 60; // from here on every rate is the fastest
constexpr unsigned instantAttack = 62;
constexpr unsigned maximumKeyScale = 3;
constexpr unsigned maximumFiveBitRate = 31;
constexpr unsigned maximumReleaseRate = 15;

// One rate field: its doubled value (release: 4 RR + 2) for a register value.
unsigned doubled(unsigned value, bool release) {
    if (value == 0) return 0;
    return release ? 4 * value + 2 : 2 * value;
}

struct Choice {
    unsigned value;
    double error; // octaves
};

// The register value (0-maximum) for one rate whose speed is nearest to the target.
Choice nearest(unsigned opnValue, unsigned opnKeyCode, unsigned opnKeyScale, unsigned keyCode,
               unsigned keyScale, double octavesOffset, bool attack, bool release) {
    const unsigned maximum = release ? maximumReleaseRate : maximumFiveBitRate;
    if (opnValue == 0) return {0, 0};
    const unsigned opnRate = effectiveRate(doubled(opnValue, release), opnKeyScale, opnKeyCode);
    if (attack && opnRate >= instantAttack) return {maximumFiveBitRate, 0};
    const double target = envelopeSpeedOctaves(std::min(opnRate, fastestDecay)) + octavesOffset;
    Choice best{maximum, std::numeric_limits<double>::max()};
    for (unsigned value = 1; value <= maximum; ++value) {
        const unsigned rate = effectiveRate(doubled(value, release), keyScale, keyCode);
        if (attack && rate >= instantAttack) continue;
        const double error = std::abs(envelopeSpeedOctaves(std::min(rate, fastestDecay)) - target);
        if (error < best.error) best = {value, error};
    }
    return best;
}

} // namespace

double envelopeSpeedOctaves(unsigned rate) {
    if (rate == 0) return 0;
    return rate / 4 + std::log2(1 + (rate % 4) / 4.0);
}

unsigned effectiveRate(unsigned doubledRate, unsigned keyScale, unsigned keyCode) {
    if (doubledRate == 0) return 0;
    return std::min(maximumRate, doubledRate + (keyCode >> (maximumKeyScale - keyScale)));
}

EnvelopeRates ym2151Rates(const EnvelopeRates& opn, unsigned opnKeyCode, unsigned ym2151KeyCode,
                          double speedRatio) {
    const double offset = std::log2(speedRatio);
    EnvelopeRates best;
    double bestError = std::numeric_limits<double>::max();
    for (unsigned keyScale = 0; keyScale <= maximumKeyScale; ++keyScale) {
        auto pick = [&](unsigned value, bool attack, bool release) {
            return nearest(value, opnKeyCode, opn.keyScale, ym2151KeyCode, keyScale, offset, attack,
                           release);
        };
        const Choice attack = pick(opn.attack, true, false);
        const Choice decay = pick(opn.decay, false, false);
        const Choice sustain = pick(opn.sustain, false, false);
        const Choice release = pick(opn.release, false, true);
        // The largest error first, then the sum of squares, then the song's
        // own key scaling.
        const double largest = std::max({attack.error, decay.error, sustain.error, release.error});
        double error =
            largest + 1e-3 * (attack.error * attack.error + decay.error * decay.error +
                              sustain.error * sustain.error + release.error * release.error);
        if (keyScale != opn.keyScale) error += 1e-9;
        if (error < bestError) {
            bestError = error;
            best = {keyScale, attack.value, decay.value, sustain.value, release.value};
        }
    }
    return best;
}

} // namespace convert
