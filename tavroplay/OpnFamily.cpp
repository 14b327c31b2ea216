// An OPN-family chip as played; see OpnFamily.h.
#include "tavroplay/OpnFamily.h"

#include <algorithm>
#include <cmath>

#include "tavroplay/ClockCorrection.h"

namespace tavroplay {

namespace {

using Registers = synth::OpnRegisters;
constexpr std::uint16_t firstLevel = Registers::totalLevelBase;
constexpr std::uint16_t lastLevel = Registers::totalLevelBase + 0x0E;
constexpr std::uint8_t everyDrumDumped = 0xBF;

} // namespace

OpnFamily::OpnFamily(Model model, double ratio, RegisterSink& sink)
    : ChipFamily(Registers::registerCount, ratio, sink), model_(model) {
    if (model != Model::ym2612) ssg_.emplace(ratio, sink);
    for (unsigned ch = 0; ch < keys_.size(); ++ch)
        keys_[ch] = Registers::keyOnByte(ch, 0);
}

unsigned OpnFamily::channelCount() const {
    return model_ == Model::ym2203 ? Registers::channelsPerPort : Registers::maximumChannelCount;
}

void OpnFamily::write(std::uint16_t address, std::uint8_t data) {
    if (Registers::isSsgRegister(address)) {
        if (ssg_) ssg_->write(address, data);
        return;
    }
    ChipFamily::write(address, data);
}

void OpnFamily::setAttenuation(double decibels) {
    if (ssg_) ssg_->setAttenuation(decibels);
    ChipFamily::setAttenuation(decibels);
}

void OpnFamily::silence() {
    ChipFamily::silence();
    if (ssg_) ssg_->silence();
}

void OpnFamily::restore() {
    if (ssg_) ssg_->restore();
    ChipFamily::restore();
}

void OpnFamily::noteWrite(std::uint16_t address, std::uint8_t data) {
    if (address != Registers::keyOn) return;
    const int ch = Registers::keyOnTarget(data);
    if (ch >= 0) keys_[static_cast<std::size_t>(ch)] = data;
}

std::uint8_t OpnFamily::level(std::uint16_t address) const {
    const std::uint8_t data = value(address);
    const unsigned ch = Registers::channelOf(address);
    const unsigned algorithm = Registers::algorithmField::of(
        value(Registers::channelRegister(Registers::feedbackAlgorithmBase, ch)));
    if (!Registers::isCarrier(algorithm, Registers::operatorOf(address))) return data;
    const int raised = static_cast<int>(Registers::totalLevelField::of(data)) +
                       steps(Registers::totalLevelStepDecibels);
    return Registers::totalLevelField::with(
        data, static_cast<unsigned>(std::min<int>(Registers::maximumTotalLevel, raised)));
}

void OpnFamily::emit(std::uint16_t address, bool onlyChanges) {
    const std::uint8_t data = value(address);
    if (Registers::isSlotRegister(address, Registers::totalLevelBase)) {
        send(address, level(address), onlyChanges);
    } else if (Registers::isChannelRegister(address, Registers::feedbackAlgorithmBase)) {
        send(address, data, onlyChanges);
        const unsigned ch = Registers::channelOf(address);
        for (unsigned op = 0; op < 4; ++op) {
            const std::uint16_t tl = Registers::slotRegister(Registers::totalLevelBase, ch,
                                                             static_cast<Registers::Operator>(op));
            if (isSet(tl)) send(tl, level(tl), true);
        }
    } else if (isFrequencyRegister(address)) {
        sendFrequency(address, onlyChanges);
    } else if (model_ == Model::ym2608 && address == Registers::rhythmTotalLevel) {
        const int louder = static_cast<int>(Registers::rhythmLevelField::of(data)) -
                           steps(Registers::totalLevelStepDecibels);
        send(address,
             Registers::rhythmLevelField::with(data, static_cast<unsigned>(std::max(0, louder))),
             onlyChanges);
    } else if (model_ == Model::ym2608 && address == Registers::adpcmLevel) {
        const double gain = silenced() ? 0 : std::pow(10.0, -attenuation() / 20);
        send(address, static_cast<std::uint8_t>(std::lround(data * gain)), onlyChanges);
    } else {
        send(address, data, onlyChanges);
    }
}

bool OpnFamily::isFrequencyRegister(std::uint16_t address) {
    const unsigned reg = address & 0xFF;
    return reg >= Registers::fNumberLowBase && reg < Registers::feedbackAlgorithmBase &&
           (reg & 3) != 3;
}

void OpnFamily::sendFrequency(std::uint16_t address, bool onlyChanges) {
    // F-number low at 0xA0 + c (0xA8 + c), block and high bits 4 above.
    const auto low = static_cast<std::uint16_t>(address & ~4);
    const auto high = static_cast<std::uint16_t>(low + 4);
    std::uint8_t highValue = value(high);
    std::uint8_t lowValue = value(low);
    if (corrects()) {
        const FNumber corrected = correctFNumber(
            {static_cast<std::uint16_t>(Registers::fNumberHighField::of(highValue) << 8 | lowValue),
             static_cast<std::uint8_t>(Registers::blockField::of(highValue))},
            ratio(), Registers::fNumberBits);
        highValue = Registers::fNumberHighField::with(
            Registers::blockField::with(highValue, corrected.block), corrected.fnumber >> 8);
        lowValue = static_cast<std::uint8_t>(corrected.fnumber);
    }
    // The chip holds a high byte in a latch (one for the channels, one for
    // channel 3's operators) and takes it with the next low byte: a low byte
    // goes out after its own high byte is in the latch.
    const bool lowDue =
        address == low && (!onlyChanges || sent(low) != lowValue || sent(high) != highValue);
    const bool highDue = address == high && (!onlyChanges || sent(high) != highValue);
    int& latch = latch_[(low & 0xFF) >= Registers::channel3FNumberLowBase ? 1 : 0];
    const int latched = high << 8 | highValue;
    if ((lowDue && latch != latched) || highDue) {
        send(high, highValue, false);
        latch = latched;
    }
    if (lowDue) send(low, lowValue, false);
}

void OpnFamily::refreshLevels() {
    refresh(firstLevel, lastLevel);
    if (channelCount() > Registers::channelsPerPort)
        refresh(Registers::secondPort | firstLevel, Registers::secondPort | lastLevel);
    if (model_ == Model::ym2608) {
        refresh(Registers::rhythmTotalLevel, Registers::rhythmTotalLevel);
        refresh(Registers::adpcmLevel, Registers::adpcmLevel);
    }
}

void OpnFamily::mute() {
    for (unsigned ch = 0; ch < channelCount(); ++ch)
        send(Registers::keyOn, Registers::keyOnByte(ch, 0), false);
    if (model_ == Model::ym2608) {
        send(Registers::rhythmKeys, everyDrumDumped, false);
        send(Registers::adpcmControl, Registers::adpcmResetField::make(1), false);
    }
    for (unsigned ch = 0; ch < channelCount(); ++ch)
        for (unsigned op = 0; op < 4; ++op)
            emit(Registers::slotRegister(Registers::totalLevelBase, ch,
                                         static_cast<Registers::Operator>(op)),
                 true);
}

bool OpnFamily::restoredOtherwise(std::uint16_t address) const {
    if (address == Registers::keyOn ||
        (address >= Registers::prescalerFirst && address <= Registers::prescalerLast))
        return true;
    if (model_ == Model::ym2608 &&
        (address == Registers::rhythmKeys || address == Registers::adpcmControl))
        return true;
    // The high frequency bytes go out with their low bytes.
    const unsigned reg = address & 0xFF;
    return reg >= Registers::blockHighBase && reg < Registers::feedbackAlgorithmBase &&
           (reg & 4) != 0 && isSet(static_cast<std::uint16_t>(address & ~4));
}

void OpnFamily::restoreKeys() {
    for (unsigned ch = 0; ch < channelCount(); ++ch)
        send(Registers::keyOn, keys_[ch], false);
}

std::string_view OpnFamily::meterName() const {
    constexpr std::string_view names[] = {"OPN", "OPNA", "OPN2"};
    return names[static_cast<std::size_t>(model_)];
}

std::string OpnFamily::activity() const {
    std::string meter;
    for (unsigned ch = 0; ch < channelCount(); ++ch)
        meter += mark(Registers::keyOnSlotsField::of(keys_[ch]) != 0);
    if (ssg_) meter += ' ' + ssg_->activity();
    return meter;
}

} // namespace tavroplay
