// SsgRegisters: the register map of the AY-3-8910 family's sound generator
// (YM2149, YMZ294, and the SSG part of the YM2203 and YM2608), one field type
// and one named accessor per field, shared by the software chip, the players
// and the converters. The object is a register file of the sixteen
// registers; the static parts name addresses and fields for building writes.
//
//                7     6     5     4     3     2     1     0
//   R0/R2/R4  |                fine tone period               |  tonePeriod(ch), low 8 bits
//   R1/R3/R5  |  -  |  -  |  -  |  -  |   coarse tone period  |  tonePeriod(ch), high 4 bits
//   R6        |  -  |  -  |  -  |         noise period        |  noisePeriod()
//   R7        | IOB | IOA |  NC |  NB |  NA |  TC |  TB |  TA |  noiseOff(ch), toneOff(ch)
//             (a set bit disables; IOA and IOB set the ports' direction only)
//   R8/R9/R10 |  -  |  -  |  -  |  M  |      fixed level      |  envelopeMode(ch), fixedLevel(ch)
//   R11       |              fine envelope period             |  envelopePeriod(), low 8 bits
//   R12       |             coarse envelope period            |  envelopePeriod(), high 8 bits
//   R13       |  -  |  -  |  -  |  -  | CONT| ATT | ALT | HOLD|  envelopeContinue(),
//                                                                envelopeAttack(),
//                                                                envelopeAlternate(),
//                                                                envelopeHold()
//   R14/R15   |                 I/O port data                 |
//
// A tone's frequency is clock / (16 x period) at the chip's PSG clock; the
// fixed level is about 3 dB a step, 0 silent. Writing R13 restarts the
// envelope, even with the value it already holds.
#pragma once

#include <array>
#include <cstdint>

#include "synth/RegisterField.h"

namespace synth {

class SsgRegisters {
public:
    static constexpr unsigned registerCount = 16;
    static constexpr unsigned channelCount = 3;

    // Addresses.
    static constexpr std::uint8_t toneFineBase = 0; // R0, R2, R4
    static constexpr std::uint8_t noisePeriodRegister = 6;
    static constexpr std::uint8_t mixer = 7;
    static constexpr std::uint8_t levelBase = 8; // R8, R9, R10
    static constexpr std::uint8_t envelopeFine = 11;
    static constexpr std::uint8_t envelopeCoarse = 12;
    static constexpr std::uint8_t envelopeShapeRegister = 13;
    static constexpr std::uint8_t portA = 14;
    static constexpr std::uint8_t portB = 15;

    static constexpr std::uint8_t toneFine(unsigned ch) {
        return static_cast<std::uint8_t>(toneFineBase + 2 * ch);
    }
    static constexpr std::uint8_t toneCoarse(unsigned ch) {
        return static_cast<std::uint8_t>(toneFine(ch) + 1);
    }
    static constexpr std::uint8_t level(unsigned ch) {
        return static_cast<std::uint8_t>(levelBase + ch);
    }
    static constexpr bool isToneRegister(unsigned address) {
        return address < toneFine(channelCount);
    }
    static constexpr bool isLevelRegister(unsigned address) {
        return address >= levelBase && address < levelBase + channelCount;
    }
    static constexpr bool isEnvelopePeriodRegister(unsigned address) {
        return address == envelopeFine || address == envelopeCoarse;
    }
    // The channel of a tone or level register.
    static constexpr unsigned channelOf(unsigned address) {
        return isLevelRegister(address) ? address - levelBase : address / 2;
    }

    // Fields.
    using toneCoarseField = RegisterField<0, 4>;
    using noisePeriodField = RegisterField<0, 5>;
    using portBOutputField = RegisterFlag<7>;
    using portAOutputField = RegisterFlag<6>;
    using envelopeModeField = RegisterFlag<4>;
    using fixedLevelField = RegisterField<0, 4>;
    using envelopeContinueField = RegisterFlag<3>;
    using envelopeAttackField = RegisterFlag<2>;
    using envelopeAlternateField = RegisterFlag<1>;
    using envelopeHoldField = RegisterFlag<0>;

    // Mixer bits of a channel (set: off).
    static constexpr std::uint8_t toneOffBit(unsigned ch) {
        return static_cast<std::uint8_t>(1u << ch);
    }
    static constexpr std::uint8_t noiseOffBit(unsigned ch) {
        return static_cast<std::uint8_t>(1u << (ch + channelCount));
    }
    // The mixer byte with both of a channel's bits set as asked (the rest kept).
    static constexpr std::uint8_t mixerWith(std::uint8_t mixerValue, unsigned ch, bool toneOn,
                                            bool noiseOn) {
        std::uint8_t value =
            static_cast<std::uint8_t>(mixerValue & ~(toneOffBit(ch) | noiseOffBit(ch)));
        if (!toneOn) value |= toneOffBit(ch);
        if (!noiseOn) value |= noiseOffBit(ch);
        return value;
    }

    static constexpr unsigned maximumTonePeriod = 0x0FFF;
    static constexpr unsigned maximumNoisePeriod = noisePeriodField::maximum;
    static constexpr unsigned maximumEnvelopePeriod = 0xFFFF;
    static constexpr unsigned maximumFixedLevel = fixedLevelField::maximum;
    static constexpr double fixedLevelStepDecibels = 3.0;

    // The register file.
    constexpr std::uint8_t read(unsigned address) const { return regs_[address % registerCount]; }
    constexpr void write(unsigned address, std::uint8_t data) {
        regs_[address % registerCount] = data;
    }

    unsigned tonePeriod(unsigned ch) const {
        return toneCoarseField::of(regs_[toneCoarse(ch)]) << 8 | regs_[toneFine(ch)];
    }
    unsigned noisePeriod() const { return noisePeriodField::of(regs_[noisePeriodRegister]); }
    bool toneOff(unsigned ch) const { return (regs_[mixer] & toneOffBit(ch)) != 0; }
    bool noiseOff(unsigned ch) const { return (regs_[mixer] & noiseOffBit(ch)) != 0; }
    bool portAOutput() const { return portAOutputField::of(regs_[mixer]); }
    bool portBOutput() const { return portBOutputField::of(regs_[mixer]); }
    bool envelopeMode(unsigned ch) const { return envelopeModeField::of(regs_[level(ch)]); }
    unsigned fixedLevel(unsigned ch) const { return fixedLevelField::of(regs_[level(ch)]); }
    unsigned envelopePeriod() const {
        return static_cast<unsigned>(regs_[envelopeCoarse]) << 8 | regs_[envelopeFine];
    }
    bool envelopeContinue() const {
        return envelopeContinueField::of(regs_[envelopeShapeRegister]);
    }
    bool envelopeAttack() const { return envelopeAttackField::of(regs_[envelopeShapeRegister]); }
    bool envelopeAlternate() const {
        return envelopeAlternateField::of(regs_[envelopeShapeRegister]);
    }
    bool envelopeHold() const { return envelopeHoldField::of(regs_[envelopeShapeRegister]); }

private:
    std::array<std::uint8_t, registerCount> regs_{};
};

} // namespace synth
