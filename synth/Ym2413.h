// Ym2413.h: a software YM2413 (OPLL), the nine-channel two-operator FM chip with a built-in
// instrument ROM and a five-voice rhythm section, in fixed-point integer arithmetic.
//
// How it is used: construct with the chip's input clock, give it register writes with
// write(address, data) (each takes effect from the next frame) and pull frames with
// generate(). One frame is 72 input clocks (49,716 frames/s at 3.579545 MHz), one turn of the
// chip's 18 operator slots. A frame's value is the sum, over the turn's 18 output phases, of
// what the melody (MO) and rhythm (RO) pins carry, each counted from its resting level, in
// the chip's own 9-bit output steps: a silent frame is 0. The chip puts each melody channel on
// MO for one phase and each rhythm voice on RO for two. Its output is sign and magnitude: a
// phase carrying magnitude m puts m + 1 on its pin and 1 (the rest) on the other, or -(m + 1)
// and -1 when negative, so a negative value counts -(m + 4) in the sum. The clock only sets
// how many frames make a second. The model keeps no state outside the object, allocates
// nothing and never blocks.
//
// Register map (address: bits 7..0). M = modulator, C = carrier.
//
//   0x00 M, 0x01 C   | AM | VIB | EG | KSR |     MULT      |   am() vib() egType() ksr() mult()
//   0x02             |  KSL(M) |          TL (M)           |   ksl() totalLevel()
//   0x03             |  KSL(C) | -  | DC | DM |    FB     |   ksl() halfSine() feedback()
//   0x04 M, 0x05 C   |      AR       |      DR       |        attackRate() decayRate()
//   0x06 M, 0x07 C   |      SL       |      RR       |        sustainLevel() releaseRate()
//   0x0e             | -  | -  | R  | BD | SD | TOM| TC | HH |   rhythmMode() rhythmKey()
//   0x10-0x18        |        F-number bits 7..0             |   fNumber()
//   0x20-0x28        | -  | -  |SUS |KEY|    BLOCK     | F8 |   sustainOn() keyOn() block()
//   0x30-0x38        |      INST      |      VOL      |        instrument() volume()
//     in rhythm mode: 0x36 low VOL = bass drum; 0x37 INST = hi-hat, VOL = snare drum;
//                     0x38 INST = tom-tom, VOL = top cymbal
//
// Registers 0x00-0x07 are the user instrument (INST 0); INST 1-15 select the ROM voices, and
// rhythm mode plays channels 6-8 with the three rhythm voices of the ROM: bass drum (both
// operators of channel 6), hi-hat and snare drum (the two operators of channel 7, from its
// F-number), tom-tom and top cymbal (channel 8). The hi-hat, snare drum and top cymbal take
// their phase from the phase bits of the hi-hat and top cymbal slots and from the noise
// generator, as the chip wires them.
//
// How it works: each frame steps the envelope of all 18 slots against a global frame counter
// (a key-on first damps the slot to silence, then resets its phase and attacks), computes
// each operator from the log-sine and exponent ROMs with the modulator's previous output as
// phase modulation, and sums the pins. The slots do not all sit at the same point of the
// chip's turn, so a melody modulator runs a frame ahead of its carrier, the envelopes and
// LFOs of channels 5-8 a frame behind those of channels 0-4, the rhythm slots of channels 7
// and 8 a frame behind, and channel 5's output reaches the pins a turn before the
// other channels' (the frame holds the others' output of the previous turn). The chip takes
// a write at one point of its turn, so the melody modulators of channels 3-8 see it a turn
// before the other slots; the model takes every write at the start of a frame and makes up
// for it there: a key-on steps those modulators' envelopes once more, from the previous
// frame's counter, and a new F-number, block or multiple moves a sounding one's phase by its
// new step once.
//
// Known differences from the chip:
// - The test register 0x0f is ignored, and so are the unused addresses (0x08-0x0d, 0x19-0x1f,
//   0x29-0x2f, 0x39-0x3f), which the chip decodes as mirrors.
// - A note re-keyed while its modulator still sounds differs from the chip once the
//   modulator restarts (its damping and restart are not the chip's), and a carrier's damping
//   is a step apart in a few frames.
// - A key-off during an attack lets one more attack step through.
// - Channel 8's carrier now and then steps its release a frame apart; a modulator attacking
//   at rate 15 on channels 3-8 differs in the note's first frames.
// - The bass drum's first frames, a tom-tom re-keyed while still sounding and the top cymbal
//   now and then differ.
// - Switching rhythm mode on or off mid-note is applied at once, not through the chip's
//   transition cycles.
// - The analogue side (the DAC's step sizes and filtering) is left to whoever plays the frames.
#pragma once

#include "synth/FmCore.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace synth {

class Ym2413 {
public:
    explicit Ym2413(std::uint32_t clockHz);
    void reset();
    void write(std::uint8_t address, std::uint8_t data);
    void generate(std::int16_t* mono, std::size_t frames);

private:
    using EnvelopeState = fm::EnvelopeState;

    struct Slot {
        std::uint32_t phase;    // 19-bit accumulator; the top 10 bits address the wave
        std::int16_t output[2]; // the last two operator outputs, newest first (feedback)
        std::uint8_t level;     // 7-bit attenuation in 0.375 dB steps
        EnvelopeState state;
        EnvelopeState rateState; // the state whose rate applies now: the chip's one-frame lag
        bool keyOn;
        bool keyOffSeen;    // key-off seen by the key logic, not yet by the envelope
        bool instantAttack; // attack rate 15: full level from the frame after the attack starts
        bool phaseReset;    // the attack started: the phase restarts after this frame's output
    };

    // One operator's view of an instrument (ROM voice or the user registers 0x00-0x07).
    struct Voice {
        const std::uint8_t* bytes;
        bool am(int op) const { return bytes[op] & 0x80; }
        bool vib(int op) const { return bytes[op] & 0x40; }
        bool egType(int op) const { return bytes[op] & 0x20; } // 1: sustained, 0: percussive
        bool ksr(int op) const { return bytes[op] & 0x10; }
        int mult(int op) const { return bytes[op] & 0x0f; }
        int ksl(int op) const { return bytes[2 + op] >> 6; }
        int totalLevel() const { return bytes[2] & 0x3f; }
        bool halfSine(int op) const { return bytes[3] & (op ? 0x10 : 0x08); }
        int feedback() const { return bytes[3] & 0x07; }
        int attackRate(int op) const { return bytes[4 + op] >> 4; }
        int decayRate(int op) const { return bytes[4 + op] & 0x0f; }
        int sustainLevel(int op) const { return bytes[6 + op] >> 4; }
        int releaseRate(int op) const { return bytes[6 + op] & 0x0f; }
    };

    // Channel and rhythm registers.
    int fNumber(int ch) const {
        return registers_[0x10 + ch] | (registers_[0x20 + ch] & 0x01) << 8;
    }
    int block(int ch) const { return (registers_[0x20 + ch] >> 1) & 0x07; }
    bool keyOn(int ch) const { return registers_[0x20 + ch] & 0x10; }
    bool sustainOn(int ch) const { return registers_[0x20 + ch] & 0x20; }
    int instrument(int ch) const { return registers_[0x30 + ch] >> 4; }
    int volume(int ch) const { return registers_[0x30 + ch] & 0x0f; }
    bool rhythmMode() const { return registers_[0x0e] & 0x20; }
    bool rhythmKey(int bit) const { return registers_[0x0e] & (1 << bit); }

    // What a slot's registers say, decoded once after writes rather than every frame.
    struct Setup {
        std::uint32_t increment; // phase step per frame without vibrato
        std::int16_t fNumber;
        std::uint8_t block;
        std::uint8_t multTimesTwo;
        std::uint8_t keyScale;  // key-scale rate, 0-15
        std::uint8_t baseLevel; // total level or volume plus key-scale level, envelope steps
        std::uint32_t stepNow;  // the phase step with the vibrato of this frame
        std::uint8_t levelNow;  // the base level with the tremolo of this frame
        std::uint8_t attack, sustainLevel;
        std::array<std::uint8_t, 5> rates; // per envelope state: 4 x rate + key scale, 0 = none
        std::uint8_t feedback;             // 0, or the feedback's shift 9 - FB
        bool tremolo, vibrato;
        int halfSineMask; // -1 when the negative half-wave is muted
        bool key;
        std::uint8_t dampEnd;    // the level at which a damped slot starts its attack
        bool attackAtFrameStart; // at the start of a frame, or in the frame it gets there
        bool modulator;          // a melody channel's modulator
        std::int8_t lead; // frames the slot's envelope and LFOs run ahead of channel 0's carrier
    };

    Voice voiceOf(int ch, bool rhythm) const;
    void prepare();
    int frame();
    static void keySlot(Slot& slot, bool on);
    // The envelope counter as the slots of one place in the turn see it in a frame.
    struct EnvelopeClock {
        std::uint32_t counter; // the envelope counter as a slot sees it
        int attackFrom;        // the lowest rate whose attack steps in this frame
        int fallFrom;          // the lowest rate below 48 whose decay or release steps
    };
    static void stepEnvelope(Slot& slot, const Setup& setup, bool key, const EnvelopeClock* clocks);
    static void startAttack(Slot& slot, const Setup& setup);
    static bool instantAttack(const Setup& setup);
    std::uint32_t phaseStep(const Setup& setup, int frameOffset = 0) const;
    void modulate();
    static void clock(std::uint32_t counter, EnvelopeClock* clocks);
    static std::int16_t operatorOutput(std::uint32_t phase10, int attenuation, int halfSineMask);

    std::array<std::uint8_t, 0x40> registers_{};
    std::array<Slot, 18> slots_{}; // channel * 2 + operator (0 modulator, 1 carrier)
    std::array<Setup, 18> setups_{};
    bool stale_ = true;           // registers written since setups_ was decoded
    bool modulationStale_ = true; // the LFOs' share of setups_ to be brought up to date
    std::uint32_t envelopeCounter_ = 0;
    std::uint32_t lfoCounter_ = 0;
    std::uint32_t tremoloCounter_ = 0;
    std::uint32_t noise_ = 1;
    std::int32_t lateOutputs_ = 0;      // the part of the previous turn that lands in this frame
    std::uint32_t tcPhasePrevious_ = 0; // the top cymbal's phase in the previous turn
};

} // namespace synth
