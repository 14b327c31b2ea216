// Ssg: see Ssg.h for the model, the register map and what is not modelled.
//
// generate() renders runs: between two frames in which some counter reaches
// its period nothing the DAC sees can change, so such frames are written as
// one value and the counters advanced by the run's length at once.
#include "synth/Ssg.h"

#include <algorithm>
#include <limits>

namespace synth {

namespace {

// 10^(-1.5 / 20), the DAC's ratio between two neighbouring steps, in Q32.
constexpr std::uint64_t stepRatioQ32 = 3613764616u;
constexpr std::uint64_t fullStep = 10922; // step 31; three of them fit an int16

// The DAC's 32 levels: step n is 1.5 dB x (31 - n) below step 31, step 0 off.
constexpr std::array<std::int16_t, 32> dacTable = [] {
    std::array<std::int16_t, 32> table{};
    std::uint64_t gainQ32 = std::uint64_t{1} << 32;
    for (int step = 31; step >= 1; --step) {
        table[step] = static_cast<std::int16_t>((fullStep * gainQ32 + (1u << 31)) >> 32);
        gainQ32 = (gainQ32 * stepRatioQ32) >> 32;
    }
    return table;
}();

static_assert(dacTable[31] == fullStep && dacTable[0] == 0);
static_assert(3 * fullStep <= std::numeric_limits<std::int16_t>::max());

// Bits that exist in each register; the rest read as 0.
constexpr std::array<std::uint8_t, 16> registerBits = {
    0xff, 0x0f, 0xff, 0x0f, 0xff, 0x0f, 0x1f, 0xff, 0x1f, 0x1f, 0x1f, 0xff, 0xff, 0x0f, 0xff, 0xff};

constexpr std::uint32_t atLeastOne(std::uint32_t period) {
    return period == 0 ? 1 : period;
}

// Frames until a counter at `count` reaches `period` (it is compared after
// each increment, so a period lowered below the count ends it next frame).
constexpr std::uint32_t framesLeft(std::uint32_t count, std::uint32_t period) {
    return count < period ? period - count : 1;
}

} // namespace

Ssg::Ssg() {
    reset();
}

std::uint32_t Ssg::tonePeriod(int ch) const {
    return (std::uint32_t{regs_[2 * ch + 1] & 0x0fu} << 8) | regs_[2 * ch];
}

std::uint32_t Ssg::envelopePeriod() const {
    return (std::uint32_t{regs_[12]} << 8) | regs_[11];
}

void Ssg::reset() {
    regs_.fill(0);
    tonePeriod_.fill(1);
    noisePeriod_ = 2;
    envelopePeriod_ = 1;
    toneOffMask_ = 0;
    noiseOffMask_ = 0;
    envelopeMask_ = 0;
    fixedStep_.fill(0);
    toneCount_.fill(0);
    toneOut_ = 0;
    noiseCount_ = 0;
    noiseShift_ = 1;
    envelopeCount_ = 0;
    envelopeStep_ = 0;
    envelopeInvert_ = 0;
    envelopeValue_ = 0;
    envelopeHolding_ = true;
    updateOutput();
}

void Ssg::write(std::uint8_t address, std::uint8_t data) {
    if (address >= regs_.size()) return;
    regs_[address] = data & registerBits[address];
    switch (address) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5: {
        const int ch = address / 2;
        tonePeriod_[ch] = atLeastOne(tonePeriod(ch));
        break;
    }
    case 6: noisePeriod_ = 2 * atLeastOne(noisePeriod()); break;
    case 7:
        toneOffMask_ = 0;
        noiseOffMask_ = 0;
        for (int ch = 0; ch < channels; ++ch) {
            toneOffMask_ |= static_cast<std::uint8_t>(toneOff(ch) << ch);
            noiseOffMask_ |= static_cast<std::uint8_t>(noiseOff(ch) << ch);
        }
        break;
    case 8:
    case 9:
    case 10: {
        const int ch = address - 8;
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << ch);
        envelopeMask_ = static_cast<std::uint8_t>(envelopeMode(ch) ? envelopeMask_ | bit
                                                                   : envelopeMask_ & ~bit);
        const std::uint8_t fixed = fixedLevel(ch);
        fixedStep_[ch] = static_cast<std::uint8_t>(fixed == 0 ? 0 : 2 * fixed + 1);
        break;
    }
    case 11:
    case 12: envelopePeriod_ = atLeastOne(envelopePeriod()); break;
    case 13: restartEnvelope(); break;
    default: break;
    }
    updateOutput();
}

void Ssg::restartEnvelope() {
    envelopeCount_ = 0;
    envelopeStep_ = 0;
    envelopeInvert_ = envelopeAttack() ? 0 : 31;
    envelopeValue_ = envelopeInvert_;
    envelopeHolding_ = false;
}

// One of the 32 steps; at the end of a cycle the shape bits decide: without
// CONT, or with HOLD, the envelope stays (at 0 without CONT; with HOLD at the
// last step's value, or at the first's when ALT is set too); otherwise a new
// cycle starts, in the other direction when ALT is set.
void Ssg::stepEnvelope() {
    if (envelopeStep_ < 31) {
        ++envelopeStep_;
        envelopeValue_ = envelopeStep_ ^ envelopeInvert_;
        return;
    }
    if (!envelopeContinue()) {
        envelopeHolding_ = true;
        envelopeValue_ = 0;
    } else if (envelopeHold()) {
        envelopeHolding_ = true;
        envelopeValue_ = envelopeAlternate() ? envelopeInvert_ : 31 ^ envelopeInvert_;
    } else {
        if (envelopeAlternate()) envelopeInvert_ ^= 31;
        envelopeStep_ = 0;
        envelopeValue_ = envelopeInvert_;
    }
}

void Ssg::stepFrame() {
    for (int ch = 0; ch < channels; ++ch) {
        if (++toneCount_[ch] >= tonePeriod_[ch]) {
            toneCount_[ch] = 0;
            toneOut_ ^= static_cast<std::uint8_t>(1u << ch);
        }
    }
    if (++noiseCount_ >= noisePeriod_) {
        noiseCount_ = 0;
        const std::uint32_t feedback = (noiseShift_ ^ (noiseShift_ >> 3)) & 1u;
        noiseShift_ = (noiseShift_ >> 1) | (feedback << 16);
    }
    if (!envelopeHolding_ && ++envelopeCount_ >= envelopePeriod_) {
        envelopeCount_ = 0;
        stepEnvelope();
    }
    updateOutput();
}

void Ssg::advanceQuiet(std::uint32_t frames) {
    for (auto& count : toneCount_)
        count += frames;
    noiseCount_ += frames;
    if (!envelopeHolding_) envelopeCount_ += frames;
}

std::uint32_t Ssg::framesToNextEvent() const {
    std::uint32_t frames = framesLeft(noiseCount_, noisePeriod_);
    for (int ch = 0; ch < channels; ++ch)
        frames = std::min(frames, framesLeft(toneCount_[ch], tonePeriod_[ch]));
    if (!envelopeHolding_) frames = std::min(frames, framesLeft(envelopeCount_, envelopePeriod_));
    return frames;
}

std::uint8_t Ssg::gateMask() const {
    const std::uint8_t noise = (noiseShift_ & 1u) ? 0x07 : noiseOffMask_;
    return static_cast<std::uint8_t>((toneOut_ | toneOffMask_) & noise);
}

std::uint8_t Ssg::level(int ch) const {
    if (!((gateMask() >> ch) & 1u)) return 0;
    return ((envelopeMask_ >> ch) & 1u) ? envelopeValue_ : fixedStep_[ch];
}

void Ssg::updateOutput() {
    int sum = 0;
    for (int ch = 0; ch < channels; ++ch)
        sum += dacTable[level(ch)];
    output_ = static_cast<std::int16_t>(sum);
}

void Ssg::generate(std::int16_t* mono, std::size_t frames) {
    while (frames > 0) {
        const std::size_t quiet = std::min<std::size_t>(framesToNextEvent() - 1, frames);
        std::fill_n(mono, quiet, output_);
        advanceQuiet(static_cast<std::uint32_t>(quiet));
        mono += quiet;
        frames -= quiet;
        if (frames == 0) break;
        stepFrame();
        *mono++ = output_;
        --frames;
    }
}

void Ssg::levels(std::uint8_t out[3]) const {
    for (int ch = 0; ch < channels; ++ch)
        out[ch] = level(ch);
}

} // namespace synth
