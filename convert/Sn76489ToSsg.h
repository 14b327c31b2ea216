// Sn76489ToSsg: an SN76489's writes played on an SSG (YM2149, the OPN's SSG
// part): each data byte of the song updates the SN76489's registers, and the
// SSG registers that sound them are written where they change.
//
//   Sn76489ToSsg convert({3579545, 16, false}, 2000000, ssgFamilyWrite);
//   convert.write(0x8E); convert.write(0x0F); ...
//
// The mapping:
//   - tone channels 0-2 on SSG channels A-C, pitch by frequency: the SSG
//     period nearest to SSG clock / (16 x f) for f = clock / (32 x period);
//     period 0 acts as 1, or as 1024 when the song says so;
//   - levels by decibels: the SN76489's 2 dB steps on the SSG level nearest
//     in dB (within 1 dB; attenuation 15 silent);
//   - the noise channel on the SSG channel of a silent tone channel, C first,
//     then B, then A; when all three tones sound, on C in place of tone 2
//     while the noise is the louder, else not at all. White noise is the
//     SSG's noise generator shifting at the nearest rate to the SN76489's
//     (RATE 0-2: clock / 512, / 1024, / 2048; RATE 3: clock / (16 x tone 2's
//     period)), the channel's tone off; periodic noise is a tone at its
//     pitch, the shift rate over the shift register's width (16 on the Sega
//     chips, 15 on TI's).
//
// Knowingly different from the chip: the SSG's noise is its own 17-bit
// sequence, slower than 1/31 of its shift rate limit (SSG clock / 496) it
// cannot go, and writing the noise control does not restart it; periodic
// noise is a square wave at its pitch rather than a narrow pulse, so its
// timbre is rounder; three tones and a quieter noise leave the noise out;
// tones above the SSG's highest (SSG clock / 16) play at it. The Game Gear
// stereo byte has no SSG counterpart: it is dropped, and named in losses().
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "convert/RegisterWriter.h"
#include "synth/Sn76489Registers.h"
#include "synth/SsgRegisters.h"

namespace convert {

// What the song says of its SN76489.
struct Sn76489Setup {
    std::uint32_t clock = 3579545;
    unsigned shiftWidth = 16; // the noise shift register's bits: 16 Sega, 15 TI
    bool zeroPeriodIs1024 = false;
};

class Sn76489ToSsg {
public:
    static constexpr const char* stereoLoss = "Game Gear stereo dropped";
    // The stereo byte that enables every channel on both sides loses nothing.
    static constexpr std::uint8_t stereoAllOn = 0xFF;

    Sn76489ToSsg(const Sn76489Setup& setup, std::uint32_t ssgClock, RegisterWriter ssg);

    // A byte written to the chip.
    void write(std::uint8_t byte);
    // A Game Gear stereo byte (dropped).
    void writeStereo(std::uint8_t byte);
    // "Game Gear stereo dropped" once a stereo byte that matters came; else "".
    std::string losses() const;
    // Whether a stereo byte loses anything (a channel off on a side).
    static bool losesStereo(std::uint8_t byte) { return byte != stereoAllOn; }

    // The tone frequency of a period, and of the noise (periodic: its pitch;
    // white: its shift rate), by the chip's registers.
    double toneHz(unsigned period) const;
    double noiseShiftHz(const synth::Sn76489Registers& regs) const;
    // The SSG period of a tone and of the noise's shift rate, in range.
    unsigned ssgTonePeriod(double hz) const;
    unsigned ssgNoisePeriod(double shiftHz) const;
    // The SSG level of an attenuation 0-15 (0 for 15).
    static unsigned ssgLevel(unsigned attenuation);

private:
    static constexpr unsigned noNoiseChannel = synth::SsgRegisters::channelCount;
    unsigned noiseChannel() const;
    void update();
    void send(unsigned address, unsigned value);

    Sn76489Setup setup_;
    std::uint32_t ssgClock_;
    RegisterWriter ssg_;
    synth::Sn76489Registers regs_;
    std::array<int, synth::SsgRegisters::registerCount> sent_; // -1: not yet
    bool stereoLost_ = false;
};

} // namespace convert
