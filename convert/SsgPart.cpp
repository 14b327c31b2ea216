// The OPN's SSG part on an SSG; see SsgPart.h.
#include "convert/SsgPart.h"

#include <algorithm>
#include <cmath>

namespace convert {

namespace {

using Ssg = synth::SsgRegisters;
// Clocks this close give periods no different.
constexpr double sameClock = 1e-4;

} // namespace

SsgPart::SsgPart(double sourceClock, std::uint32_t targetClock, RegisterWriter ssg)
    : targetClock_(targetClock), ratio_(sourceClock > 0 ? targetClock / sourceClock : 1.0),
      ssg_(std::move(ssg)) {}

void SsgPart::setSourceClock(double sourceClock) {
    const double ratio = sourceClock > 0 ? targetClock_ / sourceClock : 1.0;
    if (ratio == ratio_) return;
    ratio_ = ratio;
    for (unsigned ch = 0; ch < Ssg::channelCount; ++ch)
        sendPeriods(Ssg::toneFine(ch));
    sendPeriods(Ssg::noisePeriodRegister);
    sendPeriods(Ssg::envelopeFine);
}

void SsgPart::sendScaled(unsigned period, unsigned maximum, std::uint8_t low, std::uint8_t high) {
    const double scaled =
        std::clamp(std::round(std::max(period, 1u) * ratio_), 1.0, static_cast<double>(maximum));
    const auto value = static_cast<unsigned>(scaled);
    ssg_(low, static_cast<std::uint8_t>(value & 0xFF));
    if (high != low) ssg_(high, static_cast<std::uint8_t>(value >> 8));
}

void SsgPart::write(std::uint8_t address, std::uint8_t data) {
    if (address >= Ssg::registerCount) return;
    regs_.write(address, data);
    if (std::abs(ratio_ - 1) < sameClock ||
        !(Ssg::isToneRegister(address) || address == Ssg::noisePeriodRegister ||
          Ssg::isEnvelopePeriodRegister(address)))
        ssg_(address, data);
    else
        sendPeriods(address);
}

void SsgPart::sendPeriods(std::uint8_t address) {
    if (Ssg::isToneRegister(address)) {
        const unsigned ch = Ssg::channelOf(address);
        sendScaled(regs_.tonePeriod(ch), Ssg::maximumTonePeriod, Ssg::toneFine(ch),
                   Ssg::toneCoarse(ch));
    } else if (address == Ssg::noisePeriodRegister) {
        sendScaled(regs_.noisePeriod(), Ssg::maximumNoisePeriod, address, address);
    } else {
        sendScaled(regs_.envelopePeriod(), Ssg::maximumEnvelopePeriod, Ssg::envelopeFine,
                   Ssg::envelopeCoarse);
    }
}

} // namespace convert
