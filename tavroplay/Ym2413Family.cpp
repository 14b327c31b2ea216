// A YM2413 as played; see Ym2413Family.h.
#include "tavroplay/Ym2413Family.h"

#include <algorithm>

#include "tavroplay/ClockCorrection.h"

namespace tavroplay {

namespace {
using Registers = synth::Ym2413Registers;
constexpr std::uint16_t firstVolume = Registers::instrumentVolumeBase;
constexpr std::uint16_t lastVolume = Registers::instrumentVolumeBase + Registers::channelCount - 1;
} // namespace

Ym2413Family::Ym2413Family(double ratio, RegisterSink& sink)
    : ChipFamily(Registers::registerCount, ratio, sink) {}

void Ym2413Family::emit(std::uint16_t address, bool onlyChanges) {
    const std::uint8_t data = value(address);
    if ((Registers::isChannelRegister(address, Registers::fNumberLowBase) ||
         Registers::isChannelRegister(address, Registers::keyBlockBase)) &&
        corrects()) {
        const unsigned ch = address & 0x0F;
        const std::uint16_t low = Registers::fNumberLow(ch);
        const std::uint16_t high = Registers::keyBlock(ch);
        const std::uint8_t highValue = value(high);
        const FNumber corrected =
            correctFNumber({static_cast<std::uint16_t>(
                                Registers::fNumberHighField::of(highValue) << 8 | value(low)),
                            static_cast<std::uint8_t>(Registers::blockField::of(highValue))},
                           ratio(), Registers::fNumberBits);
        if (isSet(low))
            send(low, static_cast<std::uint8_t>(corrected.fnumber), onlyChanges || address != low);
        if (isSet(high))
            send(high,
                 Registers::fNumberHighField::with(
                     Registers::blockField::with(highValue, corrected.block),
                     corrected.fnumber >> 8),
                 onlyChanges || address != high);
    } else if (Registers::isChannelRegister(address, Registers::instrumentVolumeBase)) {
        const int down = steps(Registers::volumeStepDecibels);
        const auto quieter = [down](unsigned volume) {
            return static_cast<unsigned>(
                std::min<int>(Registers::quietestVolume, static_cast<int>(volume) + down));
        };
        std::uint8_t level =
            Registers::volumeField::with(data, quieter(Registers::volumeField::of(data)));
        // In rhythm mode both nibbles of the drum registers are volumes.
        if (Registers::isDrumVolumeRegister(address) &&
            Registers::rhythmModeField::of(value(Registers::rhythm)))
            level = Registers::instrumentField::with(level,
                                                     quieter(Registers::instrumentField::of(data)));
        send(address, level, onlyChanges);
    } else if (address == Registers::rhythm) {
        send(address, data, onlyChanges);
        for (std::uint16_t drums = Registers::bassDrumVolume; drums <= Registers::tomCymbalVolume;
             ++drums)
            if (isSet(drums)) emit(drums, true);
    } else {
        send(address, data, onlyChanges);
    }
}

void Ym2413Family::refreshLevels() {
    refresh(firstVolume, lastVolume);
}

void Ym2413Family::mute() {
    for (unsigned ch = 0; ch < Registers::channelCount; ++ch) {
        const std::uint16_t keyBlock = Registers::keyBlock(ch);
        const int was = sent(keyBlock);
        send(keyBlock, Registers::keyField::with(static_cast<std::uint8_t>(was < 0 ? 0 : was), 0),
             false);
    }
    send(Registers::rhythm, Registers::rhythmKeysField::with(value(Registers::rhythm), 0), false);
    refresh(firstVolume, lastVolume, true);
}

bool Ym2413Family::restoredOtherwise(std::uint16_t address) const {
    return address == Registers::rhythm ||
           Registers::isChannelRegister(address, Registers::keyBlockBase);
}

void Ym2413Family::restoreKeys() {
    for (unsigned ch = 0; ch < Registers::channelCount; ++ch)
        if (isSet(Registers::keyBlock(ch))) emit(Registers::keyBlock(ch), false);
    if (isSet(Registers::rhythm)) emit(Registers::rhythm, false);
}

std::string Ym2413Family::activity() const {
    Registers regs;
    for (unsigned address = 0; address < Registers::registerCount; ++address)
        regs.write(address, value(static_cast<std::uint16_t>(address)));
    std::string meter;
    const unsigned melodic =
        regs.rhythmMode() ? Registers::rhythmChannelCount : Registers::channelCount;
    for (unsigned ch = 0; ch < melodic; ++ch)
        meter += mark(regs.keyOn(ch));
    if (regs.rhythmMode()) {
        meter += ' ';
        for (int drum = Registers::drumCount - 1; drum >= 0; --drum)
            meter += mark((regs.rhythmKeys() >> drum & 1) != 0);
    }
    return meter;
}

} // namespace tavroplay
