// An SN76489 on an SSG; see Sn76489ToSsg.h.
#include "convert/Sn76489ToSsg.h"

#include <algorithm>
#include <cmath>

#include "convert/SsgLevels.h"

namespace convert {

namespace {

using Sn = synth::Sn76489Registers;
using Ssg = synth::SsgRegisters;

// SSG clocks per tone period step (the wave is clock / (16 x period)) and
// per noise period step (a shift every 16 x period clocks).
constexpr double ssgClocksPerStep = 16;

unsigned roundedPeriod(double clocks, unsigned maximum) {
    const double period = std::round(clocks / ssgClocksPerStep);
    return static_cast<unsigned>(std::clamp(period, 1.0, static_cast<double>(maximum)));
}

} // namespace

Sn76489ToSsg::Sn76489ToSsg(const Sn76489Setup& setup, std::uint32_t ssgClock, RegisterWriter ssg)
    : setup_(setup), ssgClock_(ssgClock), ssg_(std::move(ssg)) {
    sent_.fill(-1);
}

double Sn76489ToSsg::toneHz(unsigned period) const {
    const unsigned acting = period != 0 ? period : setup_.zeroPeriodIs1024 ? 1024 : 1;
    return setup_.clock / (2.0 * Sn::clocksPerPeriodStep * acting);
}

double Sn76489ToSsg::noiseShiftHz(const Sn& regs) const {
    if (regs.noiseRate() == Sn::noiseRateFromTone2)
        return 2 * toneHz(regs.tonePeriod(Sn::noiseSourceChannel));
    return static_cast<double>(setup_.clock) / Sn::noiseShiftClocks(regs.noiseRate());
}

unsigned Sn76489ToSsg::ssgTonePeriod(double hz) const {
    return roundedPeriod(ssgClock_ / hz, Ssg::maximumTonePeriod);
}

unsigned Sn76489ToSsg::ssgNoisePeriod(double shiftHz) const {
    return roundedPeriod(ssgClock_ / shiftHz, Ssg::maximumNoisePeriod);
}

unsigned Sn76489ToSsg::ssgLevel(unsigned attenuation) {
    if (attenuation >= Sn::silentAttenuation) return 0;
    return nearestSsgLevel(Sn::attenuationStepDecibels * attenuation);
}

void Sn76489ToSsg::write(std::uint8_t byte) {
    regs_.write(byte);
    update();
}

void Sn76489ToSsg::writeStereo(std::uint8_t byte) {
    if (losesStereo(byte)) stereoLost_ = true;
}

std::string Sn76489ToSsg::losses() const {
    return stereoLost_ ? stereoLoss : "";
}

unsigned Sn76489ToSsg::noiseChannel() const {
    const unsigned noise = regs_.attenuation(Sn::noiseChannel);
    if (noise == Sn::silentAttenuation) return noNoiseChannel;
    for (unsigned ch = Sn::toneChannelCount; ch-- > 0;)
        if (regs_.attenuation(ch) == Sn::silentAttenuation) return ch;
    if (noise < regs_.attenuation(Sn::noiseSourceChannel)) return Sn::noiseSourceChannel;
    return noNoiseChannel;
}

void Sn76489ToSsg::update() {
    const unsigned noiseCh = noiseChannel();
    const double shiftHz = noiseShiftHz(regs_);
    std::uint8_t mixer = 0;
    for (unsigned ch = 0; ch < Ssg::channelCount; ++ch) {
        const bool noise = ch == noiseCh;
        const bool white = noise && regs_.noiseWhite();
        const double hz = noise ? shiftHz / setup_.shiftWidth : toneHz(regs_.tonePeriod(ch));
        if (!white) {
            const unsigned period = ssgTonePeriod(hz);
            send(Ssg::toneFine(ch), period & 0xFF);
            send(Ssg::toneCoarse(ch), Ssg::toneCoarseField::make(period >> 8));
        }
        mixer = Ssg::mixerWith(mixer, ch, !white, white);
    }
    if (noiseCh != noNoiseChannel && regs_.noiseWhite())
        send(Ssg::noisePeriodRegister, Ssg::noisePeriodField::make(ssgNoisePeriod(shiftHz)));
    send(Ssg::mixer, mixer);
    for (unsigned ch = 0; ch < Ssg::channelCount; ++ch) {
        const unsigned source = ch == noiseCh ? Sn::noiseChannel : ch;
        send(Ssg::level(ch), Ssg::fixedLevelField::make(ssgLevel(regs_.attenuation(source))));
    }
}

void Sn76489ToSsg::send(unsigned address, unsigned value) {
    if (sent_[address] == static_cast<int>(value)) return;
    sent_[address] = static_cast<int>(value);
    ssg_(static_cast<std::uint16_t>(address), static_cast<std::uint8_t>(value));
}

} // namespace convert
