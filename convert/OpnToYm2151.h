// OpnToYm2151: the writes of a YM2203, YM2608 or YM2612 played on a YM2151
// (its FM) and an SSG (the YM2203's and YM2608's SSG part). The OPN's
// registers are kept as written; the YM2151 registers that sound them are
// written where they change.
//
//   OpnToYm2151 convert({OpnModel::ym2612, 7670453}, 4000000, opmWrite, 2000000, ssgWrite);
//   convert.write(0x28, 0xF0); ...
//
// The mapping, per FM channel (0-2, and 3-5 on the second port) onto the
// YM2151 channel of the same number:
//   - operators S1, S2, S3, S4 are the YM2151's M1, C1, M2, C2: slot
//     register offset 4k goes to 8k, key-on bits S1-S4 (0x28 bits 4-7) to
//     M1, C1, M2, C2 (0x08 bits 3-6); the key-on's channel code 4-6 names the
//     second port's channels;
//   - DT/MUL, TL, SL and the AM enable as they are, algorithm and feedback
//     likewise, with L/R from 0xB4 (both on for the YM2203);
//   - the envelope rates and key scaling re-chosen for the same times at the
//     YM2151's clock (OpnEnvelopeRates.h), again when the note changes;
//   - pitch: F-number and block give the frequency at the chip's sample
//     rate, played as the nearest key code and fraction at the YM2151's
//     clock (KeyCode.h), clamped to its range. The F-number's high byte
//     (0xA4-0xA6) goes to one latch per port that the next low byte
//     (0xA0-0xA2) of any channel of the port takes up, as on the chip; the
//     special mode's (0xAC-0xAE) has a latch of its own;
//   - the LFO (0x22) on the YM2151's, a triangle: its rate as the nearest
//     LFRQ (the OPN's fastest, beyond the YM2151's, at its fastest), a fixed
//     PM depth (PMD 91) and AM depth (AMD 32) under which the
//     YM2151's PMS and AMS come nearest to the OPN's depths: PMS 1-7 as 1,
//     2, 2, 3, 3, 4, 5 (within about 25 %), AMS 1-3 as 0, 1, 2 (AMS 1's
//     1.3 dB is lost); the LFO off sets both depths to 0;
//   - registers 0x00-0x0F (YM2203, YM2608) to the SSG (SsgPart.h);
//   - the YM2608 keys its channels 4-6 only once 0x29 bit 7 asks for six.
//
// Knowingly different: the SSG-EG (0x90), channel 3's special mode (its
// operators play at channel 3's frequency), the YM2612's DAC (0x2A, 0x2B)
// and the YM2608's rhythm and ADPCM parts have no YM2151 counterpart: their
// writes are dropped and named in losses(). While the DAC is on, channel 6
// is silent as on the chip (keyed off on the YM2151; keyed again as it was
// when the DAC goes off, its envelope restarting where the chip's ran on).
// Envelope times come within a rate step of the OPN's (about 10 %, up to
// some 18 % where the clocks' ratio falls between the rates' steps); timers
// do nothing. The prescaler writes (0x2D-0x2F, YM2203 and YM2608) are
// followed: they set the sample rate and the SSG part's clock, and the
// pitches, rates and SSG periods are sent again.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/RegisterWriter.h"
#include "convert/SsgPart.h"
#include "synth/OpnRegisters.h"
#include "synth/Ym2151Registers.h"

namespace convert {

enum class OpnModel { ym2203, ym2608, ym2612 };

struct OpnSetup {
    OpnModel model = OpnModel::ym2612;
    std::uint32_t clock = 7670453;
};

class OpnToYm2151 {
public:
    static constexpr std::string_view ssgEnvelopeLoss = "SSG-EG dropped";
    static constexpr std::string_view channel3ModeLoss = "channel 3 special mode dropped";
    static constexpr std::string_view dacLoss = "DAC dropped";
    static constexpr std::string_view rhythmLoss = "rhythm dropped";
    static constexpr std::string_view adpcmLoss = "ADPCM dropped";

    OpnToYm2151(const OpnSetup& setup, std::uint32_t ym2151Clock, RegisterWriter ym2151,
                std::uint32_t ssgClock = 0, RegisterWriter ssg = {});

    // A write of the chip (second port 0x100 and up).
    void write(std::uint16_t address, std::uint8_t data);
    // What was dropped so far, "; "-separated: "DAC dropped; SSG-EG dropped".
    std::string losses() const;
    // What a write drops, "" when it loses nothing.
    static std::string_view lossOf(OpnModel model, std::uint16_t address, std::uint8_t data);

    // The chip's FM sample rate and its SSG part's PSG clock, under a
    // prescaler: 0 as at power-on or after 0x2D, 1 after 0x2E, 2 after 0x2F.
    static double sampleRate(const OpnSetup& setup, unsigned prescaler = 0);
    static double ssgClock(const OpnSetup& setup, unsigned prescaler = 0);
    static unsigned channelCount(OpnModel model);

private:
    using Opn = synth::OpnRegisters;
    using Opm = synth::Ym2151Registers;

    void writeSlot(std::uint16_t address);
    void writeChannel(unsigned ch);
    void writePan(unsigned ch);
    void writePitch(unsigned ch);
    void writeRates(unsigned ch, Opn::Operator op);
    void writeLfo();
    void writeKeyOn(std::uint8_t data);
    void writePrescaler(unsigned prescaler);
    void writeDacEnable(bool on);
    void send(std::uint8_t address, std::uint8_t data);
    unsigned opnKeyCode(unsigned ch) const;

    OpnSetup setup_;
    std::uint32_t ym2151Clock_;
    RegisterWriter ym2151_;
    RegisterWriter ssgWriter_;
    SsgPart ssg_;
    Opn opn_;
    std::array<std::uint8_t, 2> latch_{}; // F-number high byte, per port
    std::array<unsigned, 6> fNumber_{};   // committed per channel
    std::array<unsigned, 6> block_{};
    std::array<std::uint8_t, 6> ym2151KeyCode_{}; // as sent
    std::array<int, Opm::registerCount> sent_;    // -1: not yet
    std::vector<std::string_view> losses_;
    unsigned prescaler_ = 0;
    bool dacOn_ = false;
    std::uint8_t dacChannelKey_ = 0; // the DAC channel's last key-on byte
    bool started_ = false;           // the YM2151's channels set up for the song
};

} // namespace convert
