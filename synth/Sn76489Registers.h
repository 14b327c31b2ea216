// Sn76489Registers: the SN76489's write format and its eight registers (the
// Sega VDP's copy of the chip too), one field type and one named accessor per
// field, shared by the converters. The chip takes one byte at a time: a
// latch byte names a register and sets its low four bits, a data byte that
// follows sets the rest of the latched register.
//
//   latch byte  | 1 |  CHANNEL  | T |     low four bits     |  latchChannel() latchVolume()
//                                                              latchLowBits()
//   data byte   | 0 | - |       high six bits (tone)        |  dataBits()
//                     (volume and noise take bits 3-0 only)
//
//   CHANNEL 0-2 tone channels, 3 the noise channel; T = 1 volume, 0 tone
//   period (or the noise control for channel 3).
//
//   tone period | 10 bits: low four from the latch, high six from data  |  tonePeriod(ch)
//   volume      | - | - | - | - |      attenuation      |  attenuation(ch), ch 3 = noise
//   noise       | - | - | - | - | - | FB |   RATE   |  noiseWhite() noiseRate()
//
// A tone's square wave is clock / (32 x period); the attenuation is 2 dB a
// step, 15 silent; noise RATE 0-2 shifts the noise register at clock / 512,
// / 1024, / 2048, RATE 3 at tone channel 2's rate (clock / (16 x its
// period)); FB 1 white noise, 0 periodic (one pulse per turn of the shift
// register). Writing the noise control restarts the shift register.
#pragma once

#include <array>
#include <cstdint>

#include "synth/RegisterField.h"

namespace synth {

class Sn76489Registers {
public:
    static constexpr unsigned toneChannelCount = 3;
    static constexpr unsigned noiseChannel = 3;
    static constexpr unsigned channelCount = 4;

    // Fields of the written bytes.
    using latchFlagField = RegisterFlag<7>;
    using latchChannelField = RegisterField<5, 2>;
    using latchVolumeField = RegisterFlag<4>;
    using latchLowField = RegisterField<0, 4>;
    using toneHighField = RegisterField<0, 6>;
    using lowDataField = RegisterField<0, 4>;
    // Fields of the registers.
    using attenuationField = RegisterField<0, 4>;
    using noiseWhiteField = RegisterFlag<2>;
    using noiseRateField = RegisterField<0, 2>;

    static constexpr unsigned tonePeriodBits = 10;
    static constexpr unsigned maximumTonePeriod = (1u << tonePeriodBits) - 1;
    static constexpr unsigned silentAttenuation = attenuationField::maximum;
    static constexpr double attenuationStepDecibels = 2.0;
    // RATE 3: the noise shifts with tone channel 2.
    static constexpr unsigned noiseRateFromTone2 = 3;
    static constexpr unsigned noiseSourceChannel = 2;
    // Clocks per shift of the noise register at RATE 0-2.
    static constexpr unsigned noiseShiftClocks(unsigned rate) { return 512u << rate; }
    // Clocks per shift at RATE 3 and per half wave of a tone: 16 x period.
    static constexpr unsigned clocksPerPeriodStep = 16;

    // Byte builders.
    static constexpr std::uint8_t latchByte(unsigned ch, bool volume, unsigned low) {
        return static_cast<std::uint8_t>(latchFlagField::make(1) | latchChannelField::make(ch) |
                                         latchVolumeField::make(volume ? 1 : 0) |
                                         latchLowField::make(low));
    }
    static constexpr std::uint8_t dataByte(unsigned bits) { return toneHighField::make(bits); }

    // Takes one written byte; returns the register it changed (channel x 2,
    // + 1 for a volume).
    constexpr unsigned write(std::uint8_t byte) {
        if (latchFlagField::of(byte)) {
            latched_ = latchChannelField::of(byte) * 2 + latchVolumeField::of(byte);
            if (isTone(latched_))
                regs_[latched_] =
                    static_cast<std::uint16_t>((regs_[latched_] & ~0xFu) | latchLowField::of(byte));
            else
                regs_[latched_] = static_cast<std::uint16_t>(latchLowField::of(byte));
        } else if (isTone(latched_)) {
            regs_[latched_] =
                static_cast<std::uint16_t>((regs_[latched_] & 0xFu) | toneHighField::of(byte) << 4);
        } else {
            regs_[latched_] = static_cast<std::uint16_t>(lowDataField::of(byte));
        }
        return latched_;
    }
    static constexpr unsigned channelOfRegister(unsigned reg) { return reg / 2; }
    static constexpr bool isVolumeRegister(unsigned reg) { return reg % 2 == 1; }

    unsigned tonePeriod(unsigned ch) const { return regs_[ch * 2]; }
    unsigned attenuation(unsigned ch) const { return attenuationField::of(lowByte(ch * 2 + 1)); }
    bool noiseWhite() const { return noiseWhiteField::of(lowByte(noiseControl)); }
    unsigned noiseRate() const { return noiseRateField::of(lowByte(noiseControl)); }

private:
    static constexpr unsigned noiseControl = noiseChannel * 2;
    static constexpr bool isTone(unsigned reg) { return reg < noiseControl && reg % 2 == 0; }
    std::uint8_t lowByte(unsigned reg) const { return static_cast<std::uint8_t>(regs_[reg]); }

    // Registers in latch order: tone 0, volume 0, ..., noise control, noise volume.
    std::array<std::uint16_t, channelCount * 2> regs_{0, 0xF, 0, 0xF, 0, 0xF, 0, 0xF};
    unsigned latched_ = 0;
};

} // namespace synth
