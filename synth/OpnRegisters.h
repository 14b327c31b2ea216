// OpnRegisters: the register map of the OPN family, the YM2203 (OPN, three
// FM channels and an SSG), the YM2608 (OPNA, six FM channels, the SSG, a
// rhythm part and an ADPCM part) and the YM2612 (OPN2, six FM channels and
// a DAC on channel 6), one field type and one named accessor per field,
// shared by the players and the converters. The object is a register file of
// both ports: the second port's registers are 0x100 and up, its FM registers
// serve channels 3-5 (counted from 0; the chips' channels 4-6). Registers
// 0x00-0x0F of the first port are the SSG part, mapped in SsgRegisters.h.
//
// FM registers (both ports; "slot" = base + 4k + c for operator k in
// register order S1, S3, S2, S4 and channel c = 0-2 of the port):
//
//   0x22 LFO      | - | - | - | - |EN |   RATE    |  lfoEnabled() lfoRate()       (OPNA, OPN2)
//   0x24 TIMER A  |        bits 9..2              |
//   0x25          | - | - | - | - | - | - | 1..0  |
//   0x26 TIMER B  |         TIMER B               |
//   0x27 MODE     |  CH3  |RSB|RSA|ENB|ENA|LDB|LDA|  channel3Mode()
//   0x28 KEY ON   |S4 |S3 |S2 |S1 | - |P2 |  CH   |  keyOnSlots() keyOnChannel()
//   0x29 (OPNA)   |SCH| - | - |  IRQ enables      |  sixChannels()
//   0x2A (OPN2)   |           DAC data            |
//   0x2B (OPN2)   |DAC| - | - | - | - | - | - | - |  dacEnabled()
//   0x2D-0x2F     prescaler select (OPN, OPNA)
//   0x30 slot     | - |   DT      |     MUL       |  detune() multiple()
//   0x40 slot     | - |           TL              |  totalLevel()
//   0x50 slot     |  KS   | - |       AR          |  keyScale() attackRate()
//   0x60 slot     |AM | - | - |       DR          |  amEnabled() decayRate()
//   0x70 slot     | - | - | - |       SR          |  sustainRate()
//   0x80 slot     |      SL       |      RR       |  sustainLevel() releaseRate()
//   0x90 slot     | - | - | - | - |EN |  SHAPE    |  ssgEnvelope()
//   0xA0 + c      |       F-number bits 7..0      |  fNumber()
//   0xA4 + c      | - | - |   BLOCK   | F-num 10..8 |  block()   written first, taken
//                                                    with the 0xA0 write
//   0xA8-0xAA / 0xAC-0xAE: channel 3's operator frequencies in its special
//                 mode, laid out as 0xA0 / 0xA4
//   0xB0 + c      | - | - |    FB     |   ALG     |  feedback() algorithm()
//   0xB4 + c      | L | R |  AMS  | - |   PMS     |  leftOn() rightOn() amSensitivity()
//                                                    pmSensitivity()   (OPNA, OPN2)
//
// YM2608 rhythm (first port) and ADPCM (second port):
//   0x10 RHYTHM   |DMP| - |RIM|TOM|HH |TOP|SD |BD |  drum keys (DMP: key off)
//   0x11          | - | - |     rhythm TL         |  rhythmLevel(), higher is louder
//   0x18-0x1D     | L | R | - |   level           |  per drum
//   0x100 CONTROL |STA|REC|MEM|RPT|SPK| - | - |RST|
//   0x10B         |          ADPCM level          |  adpcmLevelValue(), higher is louder
//
// The key-on byte's operator bits go S1, S2, S3, S4 (bit 4 up) while the
// slot registers go S1, S3, S2, S4. TL is 0.75 dB a step. A note's frequency
// is F x 2^(block - 1) x fs / 2^20 at the chip's sample rate fs.
#pragma once

#include <array>
#include <cstdint>

#include "synth/RegisterField.h"

namespace synth {

class OpnRegisters {
public:
    static constexpr unsigned registerCount = 0x200;
    static constexpr unsigned secondPort = 0x100;
    static constexpr unsigned channelsPerPort = 3;
    static constexpr unsigned maximumChannelCount = 6;
    static constexpr unsigned ssgRegisterCount = 0x10;

    // Operators in slot register order.
    enum Operator : unsigned { s1 = 0, s3 = 1, s2 = 2, s4 = 3 };

    // Addresses (first port unless said).
    static constexpr std::uint16_t rhythmKeys = 0x10;
    static constexpr std::uint16_t rhythmTotalLevel = 0x11;
    static constexpr std::uint16_t lfo = 0x22;
    static constexpr std::uint16_t timerAHigh = 0x24;
    static constexpr std::uint16_t timerALow = 0x25;
    static constexpr std::uint16_t timerB = 0x26;
    static constexpr std::uint16_t mode = 0x27;
    static constexpr std::uint16_t keyOn = 0x28;
    static constexpr std::uint16_t irqEnable = 0x29;
    static constexpr std::uint16_t dacData = 0x2A;
    static constexpr std::uint16_t dacEnable = 0x2B;
    static constexpr std::uint16_t prescalerFirst = 0x2D;
    static constexpr std::uint16_t prescalerLast = 0x2F;
    static constexpr std::uint16_t adpcmControl = 0x100;
    static constexpr std::uint16_t adpcmLevel = 0x10B;

    static constexpr std::uint8_t detuneMultipleBase = 0x30;
    static constexpr std::uint8_t totalLevelBase = 0x40;
    static constexpr std::uint8_t attackBase = 0x50;
    static constexpr std::uint8_t decayBase = 0x60;
    static constexpr std::uint8_t sustainRateBase = 0x70;
    static constexpr std::uint8_t releaseBase = 0x80;
    static constexpr std::uint8_t ssgEnvelopeBase = 0x90;
    static constexpr std::uint8_t fNumberLowBase = 0xA0;
    static constexpr std::uint8_t blockHighBase = 0xA4;
    static constexpr std::uint8_t channel3FNumberLowBase = 0xA8;
    static constexpr std::uint8_t channel3BlockHighBase = 0xAC;
    static constexpr std::uint8_t feedbackAlgorithmBase = 0xB0;
    static constexpr std::uint8_t panSensitivityBase = 0xB4;
    static constexpr std::uint8_t slotRegistersEnd = 0xA0;

    // A channel 0-5's port offset and the channel within its port.
    static constexpr std::uint16_t portOf(unsigned ch) {
        return static_cast<std::uint16_t>(ch / channelsPerPort * secondPort);
    }
    static constexpr std::uint16_t channelRegister(std::uint8_t base, unsigned ch) {
        return static_cast<std::uint16_t>(portOf(ch) | (base + ch % channelsPerPort));
    }
    static constexpr std::uint16_t slotRegister(std::uint8_t base, unsigned ch, Operator op) {
        return static_cast<std::uint16_t>(portOf(ch) | (base + 4 * op + ch % channelsPerPort));
    }
    // The channel 0-5 of a channel or slot register (any of its address's
    // low two bits but 3), and its operator.
    static constexpr unsigned channelOf(unsigned address) {
        return (address & 3) + (address & secondPort ? channelsPerPort : 0);
    }
    static constexpr Operator operatorOf(unsigned address) {
        return static_cast<Operator>(address >> 2 & 3);
    }
    // Whether an address (either port) is a channel's register of a block
    // starting at base with one per channel, or a slot register of one of
    // sixteen; address bits 1-0 of 3 name no channel.
    static constexpr bool isChannelRegister(unsigned address, std::uint8_t base) {
        const unsigned reg = address & 0xFF;
        return reg >= base && reg < base + 4u && (reg & 3) != 3;
    }
    static constexpr bool isSlotRegister(unsigned address, std::uint8_t base) {
        const unsigned reg = address & 0xFF;
        return reg >= base && reg < base + 16u && (reg & 3) != 3;
    }
    static constexpr bool isSsgRegister(unsigned address) { return address < ssgRegisterCount; }

    // Fields.
    using lfoEnableField = RegisterFlag<3>;
    using lfoRateField = RegisterField<0, 3>;
    using timerALowField = RegisterField<0, 2>;
    using channel3ModeField = RegisterField<6, 2>;
    using keyOnSlotsField = RegisterField<4, 4>;
    using keyOnSecondPortField = RegisterFlag<2>;
    using keyOnChannelField = RegisterField<0, 2>;
    using sixChannelsField = RegisterFlag<7>;
    using dacEnableField = RegisterFlag<7>;
    using detuneField = RegisterField<4, 3>;
    using multipleField = RegisterField<0, 4>;
    using totalLevelField = RegisterField<0, 7>;
    using keyScaleField = RegisterField<6, 2>;
    using attackRateField = RegisterField<0, 5>;
    using amEnableField = RegisterFlag<7>;
    using decayRateField = RegisterField<0, 5>;
    using sustainRateField = RegisterField<0, 5>;
    using sustainLevelField = RegisterField<4, 4>;
    using releaseRateField = RegisterField<0, 4>;
    using ssgEnvelopeField = RegisterField<0, 4>;
    using blockField = RegisterField<3, 3>;
    using fNumberHighField = RegisterField<0, 3>;
    using feedbackField = RegisterField<3, 3>;
    using algorithmField = RegisterField<0, 3>;
    using leftField = RegisterFlag<7>;
    using rightField = RegisterFlag<6>;
    using amSensitivityField = RegisterField<4, 2>;
    using pmSensitivityField = RegisterField<0, 3>;
    using rhythmDumpField = RegisterFlag<7>;
    using rhythmLevelField = RegisterField<0, 6>;
    using adpcmResetField = RegisterFlag<0>;

    // Key-on operator bits, in the key-on byte's order S1, S2, S3, S4.
    static constexpr unsigned allSlots = 0xF;
    static constexpr unsigned keyOnBit(Operator op) {
        constexpr unsigned bits[4] = {0x1, 0x4, 0x2, 0x8}; // s1, s3, s2, s4
        return bits[op];
    }
    // The key-on byte's channel code of a channel 0-5 (3 is no channel).
    static constexpr unsigned keyOnCode(unsigned ch) { return ch < channelsPerPort ? ch : ch + 1; }
    static constexpr std::uint8_t keyOnByte(unsigned ch, unsigned slots) {
        return keyOnSlotsField::with(static_cast<std::uint8_t>(keyOnCode(ch)), slots);
    }
    // The channel 0-5 a key-on byte addresses, or -1 for the code 3 (or 7).
    static constexpr int keyOnTarget(std::uint8_t value) {
        const unsigned ch = keyOnChannelField::of(value);
        if (ch == channelsPerPort) return -1;
        return static_cast<int>(ch + (keyOnSecondPortField::of(value) ? channelsPerPort : 0));
    }

    // Whether an operator is a carrier in an algorithm.
    static constexpr bool isCarrier(unsigned algorithm, Operator op) {
        // Bits in slot register order: S1, S3, S2, S4.
        constexpr std::uint8_t carriers[8] = {0x8, 0x8, 0x8, 0x8, 0xC, 0xE, 0xE, 0xF};
        return (carriers[algorithm & 7] >> op & 1) != 0;
    }

    static constexpr unsigned fNumberBits = 11;
    static constexpr unsigned maximumTotalLevel = totalLevelField::maximum;
    static constexpr double totalLevelStepDecibels = 0.75;

    // The register file.
    constexpr std::uint8_t read(unsigned address) const { return regs_[address % registerCount]; }
    constexpr void write(unsigned address, std::uint8_t data) {
        regs_[address % registerCount] = data;
    }

    bool lfoEnabled() const { return lfoEnableField::of(regs_[lfo]); }
    unsigned lfoRate() const { return lfoRateField::of(regs_[lfo]); }
    unsigned channel3Mode() const { return channel3ModeField::of(regs_[mode]); }
    unsigned keyOnSlots() const { return keyOnSlotsField::of(regs_[keyOn]); }
    int keyOnChannel() const { return keyOnTarget(regs_[keyOn]); }
    bool sixChannels() const { return sixChannelsField::of(regs_[irqEnable]); }
    bool dacEnabled() const { return dacEnableField::of(regs_[dacEnable]); }
    unsigned detune(unsigned ch, Operator op) const {
        return detuneField::of(regs_[slotRegister(detuneMultipleBase, ch, op)]);
    }
    unsigned multiple(unsigned ch, Operator op) const {
        return multipleField::of(regs_[slotRegister(detuneMultipleBase, ch, op)]);
    }
    unsigned totalLevel(unsigned ch, Operator op) const {
        return totalLevelField::of(regs_[slotRegister(totalLevelBase, ch, op)]);
    }
    unsigned keyScale(unsigned ch, Operator op) const {
        return keyScaleField::of(regs_[slotRegister(attackBase, ch, op)]);
    }
    unsigned attackRate(unsigned ch, Operator op) const {
        return attackRateField::of(regs_[slotRegister(attackBase, ch, op)]);
    }
    bool amEnabled(unsigned ch, Operator op) const {
        return amEnableField::of(regs_[slotRegister(decayBase, ch, op)]);
    }
    unsigned decayRate(unsigned ch, Operator op) const {
        return decayRateField::of(regs_[slotRegister(decayBase, ch, op)]);
    }
    unsigned sustainRate(unsigned ch, Operator op) const {
        return sustainRateField::of(regs_[slotRegister(sustainRateBase, ch, op)]);
    }
    unsigned sustainLevel(unsigned ch, Operator op) const {
        return sustainLevelField::of(regs_[slotRegister(releaseBase, ch, op)]);
    }
    unsigned releaseRate(unsigned ch, Operator op) const {
        return releaseRateField::of(regs_[slotRegister(releaseBase, ch, op)]);
    }
    unsigned ssgEnvelope(unsigned ch, Operator op) const {
        return ssgEnvelopeField::of(regs_[slotRegister(ssgEnvelopeBase, ch, op)]);
    }
    unsigned fNumber(unsigned ch) const {
        return fNumberHighField::of(regs_[channelRegister(blockHighBase, ch)]) << 8 |
               regs_[channelRegister(fNumberLowBase, ch)];
    }
    unsigned block(unsigned ch) const {
        return blockField::of(regs_[channelRegister(blockHighBase, ch)]);
    }
    unsigned feedback(unsigned ch) const {
        return feedbackField::of(regs_[channelRegister(feedbackAlgorithmBase, ch)]);
    }
    unsigned algorithm(unsigned ch) const {
        return algorithmField::of(regs_[channelRegister(feedbackAlgorithmBase, ch)]);
    }
    bool leftOn(unsigned ch) const {
        return leftField::of(regs_[channelRegister(panSensitivityBase, ch)]);
    }
    bool rightOn(unsigned ch) const {
        return rightField::of(regs_[channelRegister(panSensitivityBase, ch)]);
    }
    unsigned amSensitivity(unsigned ch) const {
        return amSensitivityField::of(regs_[channelRegister(panSensitivityBase, ch)]);
    }
    unsigned pmSensitivity(unsigned ch) const {
        return pmSensitivityField::of(regs_[channelRegister(panSensitivityBase, ch)]);
    }
    unsigned rhythmLevel() const { return rhythmLevelField::of(regs_[rhythmTotalLevel]); }
    unsigned adpcmLevelValue() const { return regs_[adpcmLevel]; }

private:
    std::array<std::uint8_t, registerCount> regs_{};
};

} // namespace synth
