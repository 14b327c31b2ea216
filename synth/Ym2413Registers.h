// Ym2413Registers: the YM2413's register map, one field type and one named
// accessor per field, shared by the software chip, the players and the
// converters. The object is a register file; the static parts name addresses
// and fields for building writes. M = modulator, C = carrier.
//
//   0x00 M, 0x01 C   | AM | VIB | EG | KSR |     MULT      |   am() vib() egType() ksr() mult()
//   0x02             |  KSL(M) |          TL (M)           |   ksl() totalLevel()
//   0x03             |  KSL(C) | -  | DC | DM |    FB     |   ksl() halfSine() feedback()
//   0x04 M, 0x05 C   |      AR       |      DR       |        attackRate() decayRate()
//   0x06 M, 0x07 C   |      SL       |      RR       |        sustainLevel() releaseRate()
//   0x0E             | -  | -  | R  | BD | SD | TOM| TC | HH |   rhythmMode() rhythmKeys()
//   0x10-0x18        |        F-number bits 7..0             |   fNumber()
//   0x20-0x28        | -  | -  |SUS |KEY|    BLOCK     | F8 |   sustainOn() keyOn() block()
//   0x30-0x38        |      INST      |      VOL      |        instrument() volume()
//     in rhythm mode: 0x36 low VOL = bass drum; 0x37 INST = hi-hat, VOL = snare drum;
//                     0x38 INST = tom-tom, VOL = top cymbal
//
// Registers 0x00-0x07 are the user instrument (INST 0). VOL is 3 dB a step,
// 15 the quietest; in rhythm mode channels 6-8 play the drums.
#pragma once

#include <array>
#include <cstdint>

#include "synth/RegisterField.h"

namespace synth {

class Ym2413Registers {
public:
    static constexpr unsigned registerCount = 0x40;
    static constexpr unsigned channelCount = 9;
    static constexpr unsigned rhythmChannelCount = 6; // melodic channels in rhythm mode

    // Operators of the user instrument: 0 modulator, 1 carrier.
    enum Operator : unsigned { modulator = 0, carrier = 1 };

    // Addresses.
    static constexpr std::uint8_t characterBase = 0x00; // + operator
    static constexpr std::uint8_t levelModulator = 0x02;
    static constexpr std::uint8_t waveFeedback = 0x03;
    static constexpr std::uint8_t attackDecayBase = 0x04;    // + operator
    static constexpr std::uint8_t sustainReleaseBase = 0x06; // + operator
    static constexpr std::uint8_t rhythm = 0x0E;
    static constexpr std::uint8_t test = 0x0F;
    static constexpr std::uint8_t fNumberLowBase = 0x10;
    static constexpr std::uint8_t keyBlockBase = 0x20;
    static constexpr std::uint8_t instrumentVolumeBase = 0x30;
    // Rhythm mode's drum volume registers.
    static constexpr std::uint8_t bassDrumVolume = 0x36;
    static constexpr std::uint8_t hiHatSnareVolume = 0x37;
    static constexpr std::uint8_t tomCymbalVolume = 0x38;

    static constexpr std::uint8_t fNumberLow(unsigned ch) {
        return static_cast<std::uint8_t>(fNumberLowBase + ch);
    }
    static constexpr std::uint8_t keyBlock(unsigned ch) {
        return static_cast<std::uint8_t>(keyBlockBase + ch);
    }
    static constexpr std::uint8_t instrumentVolume(unsigned ch) {
        return static_cast<std::uint8_t>(instrumentVolumeBase + ch);
    }
    static constexpr bool isChannelRegister(unsigned address, std::uint8_t base) {
        return address >= base && address < base + channelCount;
    }
    static constexpr bool isDrumVolumeRegister(unsigned address) {
        return address >= bassDrumVolume && address <= tomCymbalVolume;
    }

    // Fields.
    using amField = RegisterFlag<7>;
    using vibratoField = RegisterFlag<6>;
    using egTypeField = RegisterFlag<5>;
    using ksrField = RegisterFlag<4>;
    using multipleField = RegisterField<0, 4>;
    using kslField = RegisterField<6, 2>;
    using totalLevelField = RegisterField<0, 6>;
    using carrierHalfSineField = RegisterFlag<4>;
    using modulatorHalfSineField = RegisterFlag<3>;
    using feedbackField = RegisterField<0, 3>;
    using attackRateField = RegisterField<4, 4>;
    using decayRateField = RegisterField<0, 4>;
    using sustainLevelField = RegisterField<4, 4>;
    using releaseRateField = RegisterField<0, 4>;
    using rhythmModeField = RegisterFlag<5>;
    using rhythmKeysField = RegisterField<0, 5>;
    using sustainField = RegisterFlag<5>;
    using keyField = RegisterFlag<4>;
    using blockField = RegisterField<1, 3>;
    using fNumberHighField = RegisterFlag<0>;
    using instrumentField = RegisterField<4, 4>;
    using volumeField = RegisterField<0, 4>;

    // Rhythm key bits of 0x0E.
    static constexpr unsigned hiHatBit = 0x01;
    static constexpr unsigned topCymbalBit = 0x02;
    static constexpr unsigned tomTomBit = 0x04;
    static constexpr unsigned snareDrumBit = 0x08;
    static constexpr unsigned bassDrumBit = 0x10;
    static constexpr unsigned drumCount = 5;

    static constexpr unsigned fNumberBits = 9;
    static constexpr unsigned quietestVolume = volumeField::maximum;
    static constexpr double volumeStepDecibels = 3.0;

    // The register file.
    constexpr std::uint8_t read(unsigned address) const { return regs_[address % registerCount]; }
    constexpr void write(unsigned address, std::uint8_t data) {
        regs_[address % registerCount] = data;
    }

    bool am(Operator op) const { return amField::of(regs_[characterBase + op]); }
    bool vib(Operator op) const { return vibratoField::of(regs_[characterBase + op]); }
    bool egType(Operator op) const { return egTypeField::of(regs_[characterBase + op]); }
    bool ksr(Operator op) const { return ksrField::of(regs_[characterBase + op]); }
    unsigned mult(Operator op) const { return multipleField::of(regs_[characterBase + op]); }
    unsigned ksl(Operator op) const { return kslField::of(regs_[levelModulator + op]); }
    unsigned totalLevel() const { return totalLevelField::of(regs_[levelModulator]); }
    bool halfSine(Operator op) const {
        return op == carrier ? carrierHalfSineField::of(regs_[waveFeedback])
                             : modulatorHalfSineField::of(regs_[waveFeedback]);
    }
    unsigned feedback() const { return feedbackField::of(regs_[waveFeedback]); }
    unsigned attackRate(Operator op) const {
        return attackRateField::of(regs_[attackDecayBase + op]);
    }
    unsigned decayRate(Operator op) const {
        return decayRateField::of(regs_[attackDecayBase + op]);
    }
    unsigned sustainLevel(Operator op) const {
        return sustainLevelField::of(regs_[sustainReleaseBase + op]);
    }
    unsigned releaseRate(Operator op) const {
        return releaseRateField::of(regs_[sustainReleaseBase + op]);
    }
    bool rhythmMode() const { return rhythmModeField::of(regs_[rhythm]); }
    unsigned rhythmKeys() const { return rhythmKeysField::of(regs_[rhythm]); }
    unsigned fNumber(unsigned ch) const {
        return fNumberHighField::of(regs_[keyBlock(ch)]) << 8 | regs_[fNumberLow(ch)];
    }
    bool sustainOn(unsigned ch) const { return sustainField::of(regs_[keyBlock(ch)]); }
    bool keyOn(unsigned ch) const { return keyField::of(regs_[keyBlock(ch)]); }
    unsigned block(unsigned ch) const { return blockField::of(regs_[keyBlock(ch)]); }
    unsigned instrument(unsigned ch) const {
        return instrumentField::of(regs_[instrumentVolume(ch)]);
    }
    unsigned volume(unsigned ch) const { return volumeField::of(regs_[instrumentVolume(ch)]); }

private:
    std::array<std::uint8_t, registerCount> regs_{};
};

} // namespace synth
