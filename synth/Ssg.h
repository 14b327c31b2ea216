// Ssg: the three-channel square-wave sound generator of the AY-3-8910 family as
// the YM2149 and YMZ294 build it (32-step envelope, 5-bit DAC levels).
//
// Use: construct, write registers 0-15 with write() between calls of
// generate(), which renders one frame per clocksPerFrame (8) PSG clocks
// (250,000 frames per second at 2 MHz): the model counts in frames and needs
// no clock; whoever plays the frames knows their rate. Every counter of the chip
// steps once per frame, so a frame is one chip state and no resampling happens
// here. A write takes effect from the next frame. Each frame is the sum of the
// three channels' DAC outputs, unipolar like the chip's output pins: 0 when
// every channel is silent, at most 3 x 10922 = 32766 with all three at full
// level. levels() tells the channels' current 5-bit level indices.
//
// The KX7M board clocks its SSG at the board clock and runs it as a PSG at
// half of it (the catalog states that as the chip's alternate type and clock):
// a 4 MHz board gives a 2 MHz PSG and 250,000 frames per second.
//
// Register map (bit 7 on the left; '-' bits are ignored):
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
//   R14/R15   |                 I/O port data                 |  stored only
//
// A tone channel's square wave flips every tonePeriod frames (frequency
// clock / (16 x period)); the noise generator, a 17-bit shift register fed
// with bit 0 xor bit 3, shifts every 2 x noisePeriod frames; the envelope
// takes one of its 32 steps every envelopePeriod frames. A period of 0 acts
// as 1. A channel's gate is open while (tone or toneOff) and (noise or
// noiseOff); an open gate puts the channel's level on its DAC: the envelope's
// step when M is set, else the 4-bit fixed level L on the 32-step scale as
// step 2L + 1 (level 0 as step 0, silent). Writing R13 restarts the envelope,
// even with the value it already holds.
//
// The DAC follows the chip's logarithmic law of 1.5 dB per 5-bit step (3 dB
// per 4-bit fixed level), step 31 at 10922 and step 0 off.
//
// Not modelled: the analogue side (the real DAC's steps depart from the pure
// law, most at the lowest steps; channels mixed through output resistors do
// not add linearly; no output filtering); the I/O ports; the
// AY-3-8910's 16-step envelope and levels; the chip's address mask for
// register numbers above 15 (such writes are ignored); the phase of the
// counters at power-on (reset starts every counter and flip-flop at 0 and the
// noise register at 1).
//
// Known differences from the emulators it is compared with frame by frame
// (tests/synth/SsgReferenceTest.cpp): none from ayumi. ymfm's SSG differs in
// one rule only: writing R13 leaves its envelope period count running where
// we restart it (as ayumi does), so a shape written within an envelope step
// steps at another phase there; and from power-on it runs shape 0 where we
// hold step 0 until R13 is first written. Nothing in ../shared/formats
// states which of the two the chip does; we follow ayumi, which
// ../shared/reference/README.md names the accurate one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace synth {

class Ssg {
public:
    // PSG clocks per frame; one value per frame (mono), unipolar, 0 to fullScale
    // (three channels at their loudest step).
    static constexpr std::uint32_t clocksPerFrame = 8;
    static constexpr std::size_t outputs = 1;
    static constexpr std::int32_t fullScale = 32766;
    static constexpr bool unipolar = true;

    Ssg();
    void reset();
    void write(std::uint8_t address, std::uint8_t data);
    void generate(std::int16_t* mono, std::size_t frames);
    void levels(std::uint8_t out[3]) const;

private:
    static constexpr int channels = 3;

    // Register fields (see the map above).
    std::uint32_t tonePeriod(int ch) const;
    std::uint32_t noisePeriod() const { return regs_[6] & 0x1fu; }
    bool toneOff(int ch) const { return (regs_[7] >> ch) & 1u; }
    bool noiseOff(int ch) const { return (regs_[7] >> (ch + 3)) & 1u; }
    bool envelopeMode(int ch) const { return (regs_[8 + ch] >> 4) & 1u; }
    std::uint8_t fixedLevel(int ch) const { return regs_[8 + ch] & 0x0fu; }
    std::uint32_t envelopePeriod() const;
    bool envelopeContinue() const { return (regs_[13] >> 3) & 1u; }
    bool envelopeAttack() const { return (regs_[13] >> 2) & 1u; }
    bool envelopeAlternate() const { return (regs_[13] >> 1) & 1u; }
    bool envelopeHold() const { return regs_[13] & 1u; }

    void restartEnvelope();
    void stepEnvelope();
    void stepFrame();
    void advanceQuiet(std::uint32_t frames);
    std::uint32_t framesToNextEvent() const;
    std::uint8_t gateMask() const;
    std::uint8_t level(int ch) const;
    void updateOutput();

    std::array<std::uint8_t, 16> regs_{};

    // Decoded from the registers at each write; periods already made >= 1.
    std::array<std::uint32_t, channels> tonePeriod_{};
    std::uint32_t noisePeriod_ = 2; // frames per shift
    std::uint32_t envelopePeriod_ = 1;
    std::uint8_t toneOffMask_ = 0;  // bit ch set: tone disabled
    std::uint8_t noiseOffMask_ = 0; // bit ch set: noise disabled
    std::uint8_t envelopeMask_ = 0; // bit ch set: level from the envelope
    std::array<std::uint8_t, channels> fixedStep_{};

    // Counters and generator state.
    std::array<std::uint32_t, channels> toneCount_{};
    std::uint8_t toneOut_ = 0; // bit ch: channel's square-wave flip-flop
    std::uint32_t noiseCount_ = 0;
    std::uint32_t noiseShift_ = 1;
    std::uint32_t envelopeCount_ = 0;
    std::uint8_t envelopeStep_ = 0;   // 0-31 within the current cycle
    std::uint8_t envelopeInvert_ = 0; // 0 rising, 31 falling
    std::uint8_t envelopeValue_ = 0;  // the step the DAC sees
    bool envelopeHolding_ = true;

    std::int16_t output_ = 0;
};

} // namespace synth
