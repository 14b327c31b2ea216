// A YM2151 as played; see Ym2151Family.h.
#include "tavroplay/Ym2151Family.h"

#include <algorithm>

#include "tavroplay/ClockCorrection.h"

namespace tavroplay {

namespace {
using Registers = synth::Ym2151Registers;
constexpr std::uint16_t firstLevel = Registers::totalLevelBase;
constexpr std::uint16_t lastLevel = Registers::totalLevelBase + Registers::slotCount - 1;
} // namespace

Ym2151Family::Ym2151Family(double ratio, RegisterSink& sink)
    : ChipFamily(Registers::registerCount, ratio, sink) {
    for (unsigned ch = 0; ch < Registers::channelCount; ++ch)
        keys_[ch] = Registers::keyOnByte(ch, 0);
}

void Ym2151Family::noteWrite(std::uint16_t address, std::uint8_t data) {
    if (address == Registers::keyOn) keys_[Registers::keyOnChannelField::of(data)] = data;
}

std::uint8_t Ym2151Family::level(std::uint16_t address) const {
    const std::uint8_t data = value(address);
    const unsigned slot = address - Registers::totalLevelBase;
    const unsigned connection = Registers::connectionField::of(
        value(Registers::channelControl(Registers::channelOfSlot(slot))));
    if (!Registers::isCarrier(connection, Registers::operatorOfSlot(slot))) return data;
    const int raised = static_cast<int>(Registers::totalLevelField::of(data)) +
                       steps(Registers::totalLevelStepDecibels);
    return Registers::totalLevelField::with(
        data, static_cast<unsigned>(std::min<int>(Registers::maximumTotalLevel, raised)));
}

void Ym2151Family::emit(std::uint16_t address, bool onlyChanges) {
    if (Registers::isChannelRegister(address, Registers::channelControlBase)) {
        send(address, value(address), onlyChanges);
        const unsigned ch = address - Registers::channelControlBase;
        for (unsigned op = 0; op < 4; ++op) {
            const std::uint16_t tl = Registers::totalLevelRegister(
                Registers::slot(ch, static_cast<Registers::Operator>(op)));
            if (isSet(tl)) send(tl, level(tl), true);
        }
    } else if ((Registers::isChannelRegister(address, Registers::keyCodeBase) ||
                Registers::isChannelRegister(address, Registers::keyFractionBase)) &&
               corrects()) {
        const unsigned ch = address % Registers::channelCount;
        const std::uint16_t kc = Registers::keyCodeRegister(ch);
        const std::uint16_t kf = Registers::keyFractionRegister(ch);
        const KeyCode corrected = correctKeyCode({value(kc), value(kf)}, ratio());
        // The other register of the pair goes out only once the song has set it.
        if (isSet(kc)) send(kc, corrected.kc, onlyChanges || address != kc);
        if (isSet(kf)) send(kf, corrected.kf, onlyChanges || address != kf);
    } else if (Registers::isSlotRegister(address, Registers::totalLevelBase)) {
        send(address, level(address), onlyChanges);
    } else {
        send(address, value(address), onlyChanges);
    }
}

void Ym2151Family::refreshLevels() {
    refresh(firstLevel, lastLevel);
}

void Ym2151Family::mute() {
    for (unsigned ch = 0; ch < Registers::channelCount; ++ch)
        send(Registers::keyOn, Registers::keyOnByte(ch, 0), false);
    refresh(firstLevel, lastLevel, true);
}

bool Ym2151Family::restoredOtherwise(std::uint16_t address) const {
    return address == Registers::keyOn;
}

void Ym2151Family::restoreKeys() {
    for (std::uint8_t key : keys_)
        send(Registers::keyOn, key, false);
}

std::string Ym2151Family::activity() const {
    std::string meter;
    for (std::uint8_t key : keys_)
        meter += mark(Registers::keyOnSlotsField::of(key) != 0);
    return meter;
}

} // namespace tavroplay
