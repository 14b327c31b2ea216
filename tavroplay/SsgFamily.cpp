// An SSG as played; see SsgFamily.h.
#include "tavroplay/SsgFamily.h"

#include <algorithm>

#include "tavroplay/ClockCorrection.h"

namespace tavroplay {

namespace {

using Registers = synth::SsgRegisters;
constexpr std::uint16_t firstLevel = Registers::levelBase;
constexpr std::uint16_t lastLevel = Registers::levelBase + Registers::channelCount - 1;
constexpr int loudest = Registers::maximumFixedLevel;
// A repeating envelope runs through 32 steps of 1.5 dB: its mean power is
// 9.7 dB under its top, just over three 3 dB steps of the fixed level.
constexpr int repeatingEnvelopeSteps = 4;

} // namespace

SsgFamily::SsgFamily(double ratio, RegisterSink& sink)
    : ChipFamily(Registers::registerCount, ratio, sink) {}

int SsgFamily::envelopeEquivalentLevel(std::uint8_t shape) {
    using Shape = synth::SsgRegisters;
    if (!Shape::envelopeContinueField::of(shape)) return 0; // one ramp, then silence
    if (!Shape::envelopeHoldField::of(shape)) return loudest - repeatingEnvelopeSteps;
    // Held after the first ramp: at the top when the ramp and the alternation
    // disagree (a fall then the top, a rise kept), else at the bottom.
    const bool attack = Shape::envelopeAttackField::of(shape);
    const bool alternate = Shape::envelopeAlternateField::of(shape);
    return attack != alternate ? loudest : 0;
}

std::uint8_t SsgFamily::level(std::uint16_t address) const {
    const std::uint8_t data = value(address);
    const int down = steps(Registers::fixedLevelStepDecibels);
    if (down <= 0) return data;
    if (!Registers::envelopeModeField::of(data))
        return static_cast<std::uint8_t>(
            std::max(0, static_cast<int>(Registers::fixedLevelField::of(data)) - down));
    const int fixed = loudest - down;
    if (fixed >= envelopeEquivalentLevel(value(Registers::envelopeShapeRegister))) return data;
    return static_cast<std::uint8_t>(std::max(0, fixed));
}

void SsgFamily::sendPeriod(std::uint16_t address, std::uint16_t low, unsigned mask,
                           unsigned maximum, bool onlyChanges) {
    const auto high = static_cast<std::uint16_t>(low + 1);
    const unsigned period = (static_cast<unsigned>(value(high)) << 8 | value(low)) & mask;
    const std::uint32_t corrected = correctPeriod(period, ratio(), maximum);
    if (isSet(low)) send(low, static_cast<std::uint8_t>(corrected), onlyChanges || address != low);
    if (isSet(high))
        send(high, static_cast<std::uint8_t>((value(high) & ~(mask >> 8)) | corrected >> 8),
             onlyChanges || address != high);
}

void SsgFamily::emit(std::uint16_t address, bool onlyChanges) {
    if (Registers::isToneRegister(address) && corrects()) {
        sendPeriod(address, Registers::toneFine(Registers::channelOf(address)),
                   Registers::maximumTonePeriod, Registers::maximumTonePeriod, onlyChanges);
    } else if (address == Registers::noisePeriodRegister && corrects()) {
        const std::uint8_t data = value(address);
        send(address,
             Registers::noisePeriodField::with(
                 data, correctPeriod(Registers::noisePeriodField::of(data), ratio(),
                                     Registers::maximumNoisePeriod)),
             onlyChanges);
    } else if (Registers::isEnvelopePeriodRegister(address) && corrects()) {
        sendPeriod(address, Registers::envelopeFine, Registers::maximumEnvelopePeriod,
                   Registers::maximumEnvelopePeriod, onlyChanges);
    } else if (Registers::isLevelRegister(address)) {
        send(address, level(address), onlyChanges);
    } else {
        send(address, value(address), onlyChanges);
        // A new shape changes what an envelope channel sounds like under a fade.
        if (address == Registers::envelopeShapeRegister) refreshLevels();
    }
}

void SsgFamily::refreshLevels() {
    refresh(firstLevel, lastLevel);
}

void SsgFamily::mute() {
    refresh(firstLevel, lastLevel, true);
}

std::string SsgFamily::activity() const {
    std::string meter;
    const std::uint8_t mixer = value(Registers::mixer);
    for (unsigned ch = 0; ch < Registers::channelCount; ++ch) {
        const std::uint8_t levelValue = value(Registers::level(ch));
        const bool audible = Registers::envelopeModeField::of(levelValue) ||
                             Registers::fixedLevelField::of(levelValue) != 0;
        const bool gated =
            (mixer & Registers::toneOffBit(ch)) == 0 || (mixer & Registers::noiseOffBit(ch)) == 0;
        meter += mark(audible && gated);
    }
    return meter;
}

} // namespace tavroplay
