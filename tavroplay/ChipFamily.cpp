// The common part of the chip families; see ChipFamily.h.
#include "tavroplay/ChipFamily.h"

#include <cmath>

namespace tavroplay {

namespace {
// Steps of attenuation that mute any level register.
constexpr int mutedSteps = 1000;
} // namespace

ChipFamily::ChipFamily(std::size_t registerCount, double ratio, RegisterSink& sink)
    : ratio_(ratio), sink_(sink), shadow_(registerCount, -1), sent_(registerCount, -1) {}

void ChipFamily::send(std::uint16_t address, std::uint8_t data, bool onlyChanges) {
    if (onlyChanges && sent_[address] == data) return;
    sent_[address] = data;
    sink_.write(address, data);
}

void ChipFamily::refresh(std::uint16_t first, std::uint16_t last, bool all) {
    for (std::uint16_t address = first; address <= last; ++address)
        if (all || isSet(address)) emit(address, true);
}

int ChipFamily::steps(double stepDecibels) const {
    if (silenced_) return mutedSteps;
    return static_cast<int>(std::lround(attenuation_ / stepDecibels));
}

void ChipFamily::write(std::uint16_t address, std::uint8_t data) {
    if (address >= shadow_.size()) return;
    shadow_[address] = data;
    noteWrite(address, data);
    if (!silenced_) emit(address, false);
}

void ChipFamily::setAttenuation(double decibels) {
    attenuation_ = decibels;
    if (!silenced_) refreshLevels();
}

void ChipFamily::silence() {
    if (silenced_) return;
    silenced_ = true;
    mute();
}

void ChipFamily::restore() {
    if (!silenced_) return;
    silenced_ = false;
    for (std::uint16_t address = 0; address < shadow_.size(); ++address)
        if (isSet(address) && !restoredOtherwise(address)) emit(address, false);
    restoreKeys();
}

} // namespace tavroplay
