// Ym2151Registers: the YM2151's register map, one field type and one named
// accessor per field, shared by the software chip, the players and the
// converters. The object is a register file (the last byte written to each
// address); the static parts name addresses and fields for building writes:
//
//     Ym2151Registers regs;
//     regs.write(Ym2151Registers::channelControl(ch), data);
//     unsigned con = regs.connection(ch);
//     std::uint8_t kon = Ym2151Registers::keyOnByte(ch, Ym2151Registers::allSlots);
//
// Register map (address: bits 7..0). "slot" registers have one byte per
// operator: address + s with s = slot(ch, op), 0-7 M1, 8-15 M2, 16-23 C1,
// 24-31 C2 of channels 0-7; "channel" registers address + ch.
//
//   0x01 TEST     | - | - | - | - | - | - |LFR| - |  lfoHeld()
//   0x08 KON      | - |C2 |M2 |C1 |M1 |   CH      |  keyOnSlots() keyOnChannel()
//   0x0F NOISE    |NE | - | - |      NFRQ         |  noiseEnabled() noiseFrequency()
//   0x10 CLKA1    |     CLKA bits 9..2            |  timerAPeriod()
//   0x11 CLKA2    | - | - | - | - | - | - |CLKA 1..0|
//   0x12 CLKB     |          CLKB                 |  timerBPeriod()
//   0x14 TIMER    |CSM| - |RSB|RSA|IRB|IRA|LDB|LDA|  csm() timerALoad() timerBLoad()
//   0x18 LFRQ     |          LFRQ                 |  lfoRate()
//   0x19 PMD/AMD  |P/A|          depth            |  depthIsPm() depth()
//   0x1B CT/W     |CT2|CT1| - | - | - | - |   W   |  lfoWave()
//   0x20 channel  | R | L |    FB     |   CON     |  rightOn() leftOn() feedback() connection()
//   0x28 channel  | - |  OCT      |     NOTE      |  keyCode() (octave() note())
//   0x30 channel  |          KF           | - | - |  keyFraction()
//   0x38 channel  | - |    PMS    | - | - |  AMS  |  pmSensitivity() amSensitivity()
//   0x40 slot     | - |   DT1     |     MUL       |  detune1() multiple()
//   0x60 slot     | - |           TL              |  totalLevel()
//   0x80 slot     |  KS   | - |       AR          |  keyScale() attackRate()
//   0xA0 slot     |AME| - | - |       D1R         |  amEnabled() decay1Rate()
//   0xC0 slot     |  DT2  | - |       D2R         |  detune2() decay2Rate()
//   0xE0 slot     |     D1L       |      RR       |  decay1Level() releaseRate()
//
// The KON byte's slot bits are in the order M1, C1, M2, C2 (bit 3 up), while
// the slot registers go M1, M2, C1, C2. 0x19 is one address for two depths:
// the register file keeps the last byte written; a chip keeps both.
// TL is 0.75 dB a step; the key code's NOTE skips 3, 7, 11 and 15 (twelve
// notes in sixteen codes), and KF is 64ths of a semitone.
#pragma once

#include <array>
#include <cstdint>

#include "synth/RegisterField.h"

namespace synth {

class Ym2151Registers {
public:
    static constexpr unsigned registerCount = 0x100;
    static constexpr unsigned channelCount = 8;
    static constexpr unsigned slotCount = 32;

    // Operators in slot register order.
    enum Operator : unsigned { m1 = 0, m2 = 1, c1 = 2, c2 = 3 };

    // Addresses.
    static constexpr std::uint8_t test = 0x01;
    static constexpr std::uint8_t keyOn = 0x08;
    static constexpr std::uint8_t noise = 0x0F;
    static constexpr std::uint8_t timerAHigh = 0x10;
    static constexpr std::uint8_t timerALow = 0x11;
    static constexpr std::uint8_t timerB = 0x12;
    static constexpr std::uint8_t timerControl = 0x14;
    static constexpr std::uint8_t lfoFrequency = 0x18;
    static constexpr std::uint8_t lfoDepth = 0x19;
    static constexpr std::uint8_t lfoWaveform = 0x1B;
    static constexpr std::uint8_t channelControlBase = 0x20;
    static constexpr std::uint8_t keyCodeBase = 0x28;
    static constexpr std::uint8_t keyFractionBase = 0x30;
    static constexpr std::uint8_t sensitivityBase = 0x38;
    static constexpr std::uint8_t detuneMultipleBase = 0x40;
    static constexpr std::uint8_t totalLevelBase = 0x60;
    static constexpr std::uint8_t attackBase = 0x80;
    static constexpr std::uint8_t decay1Base = 0xA0;
    static constexpr std::uint8_t decay2Base = 0xC0;
    static constexpr std::uint8_t releaseBase = 0xE0;

    static constexpr unsigned slot(unsigned ch, Operator op) { return ch + channelCount * op; }
    static constexpr unsigned channelOfSlot(unsigned s) { return s % channelCount; }
    static constexpr Operator operatorOfSlot(unsigned s) {
        return static_cast<Operator>(s / channelCount % 4);
    }
    static constexpr std::uint8_t channelRegister(std::uint8_t base, unsigned ch) {
        return static_cast<std::uint8_t>(base + ch);
    }
    static constexpr std::uint8_t slotRegister(std::uint8_t base, unsigned s) {
        return static_cast<std::uint8_t>(base + s);
    }
    static constexpr std::uint8_t channelControl(unsigned ch) {
        return channelRegister(channelControlBase, ch);
    }
    static constexpr std::uint8_t keyCodeRegister(unsigned ch) {
        return channelRegister(keyCodeBase, ch);
    }
    static constexpr std::uint8_t keyFractionRegister(unsigned ch) {
        return channelRegister(keyFractionBase, ch);
    }
    static constexpr std::uint8_t totalLevelRegister(unsigned s) {
        return slotRegister(totalLevelBase, s);
    }
    static constexpr bool isChannelRegister(unsigned address, std::uint8_t base) {
        return address >= base && address < base + channelCount;
    }
    static constexpr bool isSlotRegister(unsigned address, std::uint8_t base) {
        return address >= base && address < base + slotCount;
    }

    // Fields.
    using lfoResetField = RegisterFlag<1>;
    using keyOnChannelField = RegisterField<0, 3>;
    using keyOnSlotsField = RegisterField<3, 4>;
    using noiseEnableField = RegisterFlag<7>;
    using noiseFrequencyField = RegisterField<0, 5>;
    using timerALowField = RegisterField<0, 2>;
    using csmField = RegisterFlag<7>;
    using timerBLoadField = RegisterFlag<1>;
    using timerALoadField = RegisterFlag<0>;
    using depthSelectField = RegisterFlag<7>;
    using depthField = RegisterField<0, 7>;
    using lfoWaveField = RegisterField<0, 2>;
    using controlOutputField = RegisterField<6, 2>;
    using rightField = RegisterFlag<7>;
    using leftField = RegisterFlag<6>;
    using feedbackField = RegisterField<3, 3>;
    using connectionField = RegisterField<0, 3>;
    using keyCodeField = RegisterField<0, 7>;
    using octaveField = RegisterField<4, 3>;
    using noteField = RegisterField<0, 4>;
    using keyFractionField = RegisterField<2, 6>;
    using pmSensitivityField = RegisterField<4, 3>;
    using amSensitivityField = RegisterField<0, 2>;
    using detune1Field = RegisterField<4, 3>;
    using multipleField = RegisterField<0, 4>;
    using totalLevelField = RegisterField<0, 7>;
    using keyScaleField = RegisterField<6, 2>;
    using attackRateField = RegisterField<0, 5>;
    using amEnableField = RegisterFlag<7>;
    using decay1RateField = RegisterField<0, 5>;
    using detune2Field = RegisterField<6, 2>;
    using decay2RateField = RegisterField<0, 5>;
    using decay1LevelField = RegisterField<4, 4>;
    using releaseRateField = RegisterField<0, 4>;

    // Key-on slot bits, in the KON byte's order.
    static constexpr unsigned keyOnBitM1 = 0x1;
    static constexpr unsigned keyOnBitC1 = 0x2;
    static constexpr unsigned keyOnBitM2 = 0x4;
    static constexpr unsigned keyOnBitC2 = 0x8;
    static constexpr unsigned allSlots = 0xF;
    static constexpr unsigned keyOnBit(Operator op) {
        constexpr unsigned bits[4] = {keyOnBitM1, keyOnBitM2, keyOnBitC1, keyOnBitC2};
        return bits[op];
    }
    static constexpr std::uint8_t keyOnByte(unsigned ch, unsigned slots) {
        return keyOnSlotsField::with(keyOnChannelField::make(ch), slots);
    }

    // Whether an operator is a carrier (sounds at the output) in a connection.
    static constexpr bool isCarrier(unsigned connection, Operator op) {
        // Bits in slot register order: M1, M2, C1, C2.
        constexpr std::uint8_t carriers[8] = {0x8, 0x8, 0x8, 0x8, 0xC, 0xE, 0xE, 0xF};
        return (carriers[connection & 7] >> op & 1) != 0;
    }

    static constexpr unsigned maximumTotalLevel = totalLevelField::maximum;
    static constexpr double totalLevelStepDecibels = 0.75;

    // The register file.
    constexpr std::uint8_t read(unsigned address) const { return regs_[address & 0xFF]; }
    constexpr void write(unsigned address, std::uint8_t data) { regs_[address & 0xFF] = data; }

    bool lfoHeld() const { return lfoResetField::of(regs_[test]); }
    unsigned keyOnChannel() const { return keyOnChannelField::of(regs_[keyOn]); }
    unsigned keyOnSlots() const { return keyOnSlotsField::of(regs_[keyOn]); }
    bool noiseEnabled() const { return noiseEnableField::of(regs_[noise]); }
    unsigned noiseFrequency() const { return noiseFrequencyField::of(regs_[noise]); }
    unsigned timerAPeriod() const {
        return static_cast<unsigned>(regs_[timerAHigh]) << 2 | timerALowField::of(regs_[timerALow]);
    }
    unsigned timerBPeriod() const { return regs_[timerB]; }
    bool csm() const { return csmField::of(regs_[timerControl]); }
    bool timerALoad() const { return timerALoadField::of(regs_[timerControl]); }
    bool timerBLoad() const { return timerBLoadField::of(regs_[timerControl]); }
    unsigned lfoRate() const { return regs_[lfoFrequency]; }
    bool depthIsPm() const { return depthSelectField::of(regs_[lfoDepth]); }
    unsigned depth() const { return depthField::of(regs_[lfoDepth]); }
    unsigned lfoWave() const { return lfoWaveField::of(regs_[lfoWaveform]); }
    bool rightOn(unsigned ch) const { return rightField::of(regs_[channelControl(ch)]); }
    bool leftOn(unsigned ch) const { return leftField::of(regs_[channelControl(ch)]); }
    unsigned feedback(unsigned ch) const { return feedbackField::of(regs_[channelControl(ch)]); }
    unsigned connection(unsigned ch) const {
        return connectionField::of(regs_[channelControl(ch)]);
    }
    unsigned keyCode(unsigned ch) const { return keyCodeField::of(regs_[keyCodeRegister(ch)]); }
    unsigned octave(unsigned ch) const { return octaveField::of(regs_[keyCodeRegister(ch)]); }
    unsigned note(unsigned ch) const { return noteField::of(regs_[keyCodeRegister(ch)]); }
    unsigned keyFraction(unsigned ch) const {
        return keyFractionField::of(regs_[keyFractionRegister(ch)]);
    }
    unsigned pmSensitivity(unsigned ch) const {
        return pmSensitivityField::of(regs_[channelRegister(sensitivityBase, ch)]);
    }
    unsigned amSensitivity(unsigned ch) const {
        return amSensitivityField::of(regs_[channelRegister(sensitivityBase, ch)]);
    }
    unsigned detune1(unsigned s) const {
        return detune1Field::of(regs_[slotRegister(detuneMultipleBase, s)]);
    }
    unsigned multiple(unsigned s) const {
        return multipleField::of(regs_[slotRegister(detuneMultipleBase, s)]);
    }
    unsigned totalLevel(unsigned s) const {
        return totalLevelField::of(regs_[totalLevelRegister(s)]);
    }
    unsigned keyScale(unsigned s) const {
        return keyScaleField::of(regs_[slotRegister(attackBase, s)]);
    }
    unsigned attackRate(unsigned s) const {
        return attackRateField::of(regs_[slotRegister(attackBase, s)]);
    }
    bool amEnabled(unsigned s) const {
        return amEnableField::of(regs_[slotRegister(decay1Base, s)]);
    }
    unsigned decay1Rate(unsigned s) const {
        return decay1RateField::of(regs_[slotRegister(decay1Base, s)]);
    }
    unsigned detune2(unsigned s) const {
        return detune2Field::of(regs_[slotRegister(decay2Base, s)]);
    }
    unsigned decay2Rate(unsigned s) const {
        return decay2RateField::of(regs_[slotRegister(decay2Base, s)]);
    }
    unsigned decay1Level(unsigned s) const {
        return decay1LevelField::of(regs_[slotRegister(releaseBase, s)]);
    }
    unsigned releaseRate(unsigned s) const {
        return releaseRateField::of(regs_[slotRegister(releaseBase, s)]);
    }

private:
    std::array<std::uint8_t, registerCount> regs_{};
};

} // namespace synth
