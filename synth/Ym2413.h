// Ym2413.h: a software YM2413 (OPLL), the nine-channel two-operator FM chip with a built-in
// instrument ROM and a five-voice rhythm section, in fixed-point integer arithmetic.
//
// How it is used: construct, give it register writes with write(address, data) (each takes
// effect from the next frame) and pull frames with generate(). One frame is clocksPerFrame
// (72) input clocks (49,716 frames/s at 3.579545 MHz), one turn of the chip's 18 operator
// slots; the model counts in frames and needs no clock. A frame's value is the sum, over the turn's
// 18 output phases, of what the melody (MO) and rhythm (RO) pins carry, each counted from its
// resting level, in the chip's own 9-bit output steps: a silent frame is 0. The chip puts each
// melody channel on MO for one phase and each rhythm voice on RO for two. Its output is sign and
// magnitude: a phase carrying magnitude m puts m + 1 on its pin and 1 (the rest) on the other, or
// -(m + 1) and -1 when negative, so a negative value counts -(m + 4) in the sum. The model keeps no
// state outside the object, allocates nothing and never blocks.
//
// The register map is drawn in Ym2413Registers.h, whose accessors the model reads.
//
// Registers 0x00-0x07 are the user instrument (INST 0); INST 1-15 select the ROM voices, and
// rhythm mode plays channels 6-8 with the three rhythm voices of the ROM: bass drum (both
// operators of channel 6), hi-hat and snare drum (the two operators of channel 7, from its
// F-number), tom-tom and top cymbal (channel 8). The hi-hat, snare drum and top cymbal take
// their phase from the phase bits of the hi-hat and top cymbal slots and from the noise
// generator, as the chip wires them; the hi-hat sees the top cymbal's phase of the previous turn
// through a latch the chip loads in rhythm mode only, so rhythm mode switched on again gives it
// the cymbal's phase of the last turn before it was switched off.
//
// How it works: each frame steps the envelope of all 18 slots against a global frame counter
// (a key-on first damps the slot to silence, then resets its phase and attacks), computes
// each operator from the log-sine and exponent ROMs with the modulator's previous output as
// phase modulation, and sums the pins. The slots do not all sit at the same point of the
// chip's turn, so a melody modulator runs a frame ahead of its carrier, the envelopes and
// LFOs of channels 5-8 a frame behind those of channels 0-4 (channel 8's carrier, melody or
// top cymbal, sees the envelope counter's two low bits level with channel 0's), the rhythm slots of
// channels 7 and 8 a frame behind, and channel 5's output reaches the pins a turn before the other
// channels' (the frame holds the others' output of the previous turn). The chip takes a write at
// one point of its turn, so the melody modulators of channels 3-8 see it a turn before the other
// slots; the model takes every write at the start of a frame and makes up for it there: a key-on
// steps those modulators' envelopes once more, from the previous frame's counter, and a new
// F-number, block or multiple moves a sounding one's phase by its new step once. A write to the
// user instrument reaches the modulators of channels 0-4 and the carriers of channels 2-4 a turn
// earlier still (their phase, the modulators' last outputs if the write is to the modulator's
// multiple, LFOs, level, wave or feedback, and the output of channels 2-4 that the pins carry in
// that frame, each remade at the envelope level and with the tremolo it was made with; a channel
// playing a ROM voice takes nothing of it, and a slot moves its phase by the change of its step at
// the vibrato of the frame before, the modulators of channels 3 and 4 of two frames before (those
// whose carrier's attack restarted them in the frame before take the restart after the write and
// move once));
// rewritten with the value it holds, as a driver reloading it before every note does, a user
// register changes nothing. A melody modulator of channels 0-2 keyed off in the frame after its
// instant attack started reaches full level in the key-off's frame all the same (taking no step
// there) and holds it; one of channels 3-8 keyed off in the frame after its attack started, instant
// or not, goes silent in that frame. A write changes a slot's envelope rates from the frame after
// (a modulator of channels 3-8 at once, and when it is to the user instrument the carriers of
// channels 2-4 and the modulators of channels 0-2 at once, those of channels 3 and 4 from the frame
// before: the model takes their last envelope step again, a damping step too, and one whose attack
// started two frames before the write takes a rate raised to 15, or slowed from it, in the frame
// that decides whether the attack is instant, and one whose decay had just reached the old sustain
// level compares with the new one there; one that step leaves silent gave no output there; one
// whose damping ended in that step, its damping slowed by key scaling switched off, damps on from
// where it was and attacks when it ends at the slower rate, and one whose damping is sped by key
// scaling switched on passes 124 in that step and attacks from the level it reaches; one whose
// damping that step taken again ends keeps its phase running under a carrier that sounds or
// damps, as one whose damping ends in its own step does); the sustain level
// changes with the rates. A decay reaches its sustain level by a comparison in the frame after its
// step, with that frame's sustain level (a new one a turn early where the rates are): a level that
// finds the band passed decays on, and one that a new sustain level meets ends its decay there, in
// the write's frame (in the frame before where a write reaches the rates a frame early), at the
// sustain's rate from the frame after. Vibrato adds its offset to twice the F-number; the block's
// shift drops the half step an odd offset leaves before the multiple applies. A write elsewhere
// leaves the last output of a modulator running a turn ahead as it was, made with the tremolo of
// the frame before.
//
// Keys: a melody carrier's attack (the end of its damping, or from silence) restarts its
// modulator's phase too, wherever the modulator's envelope stands, but a key-off that cuts the
// damping short does not, nor one that comes in the frame the damping ends (the bass drum's as
// well), and a drum of channels 7 and 8 whose damping ends in the frame rhythm mode is switched off
// keeps its own phase running; a melody modulator keyed on when silent while its carrier still
// sounds keeps its phase running, one of channels 3-8 attacks at once, a turn ahead; a sounding
// modulator
// re-keyed ends its damping at 124 and attacks in that frame, and one whose own damping ends while
// its carrier damps or after it attacked keeps its phase running; in the frame of a key-on every
// slot steps at the rate it had (a release), the damping's from the frame after, and attacks in the
// frame its level reaches 124, an instant attack (rate 15 with key scaling, by the rate of the
// frame after: a write that raises it to 15 there makes it one) as well. A modulator takes a
// key-off in the frame it comes (keyed off while attacking from 124, it keeps 124 through that
// frame and the next before it goes silent, as a drum of channels 7 and 8 does) and holds the level
// it has then (on channels 3-8 the level before that frame's step); a melody carrier takes it a
// frame later, stepping in that frame not at all if it was attacking, at its release rate if
// percussive without sustain or if still damping (a faster release than the damping as well), else
// at its old rate. The bass drum keys, damps and restarts as a melody channel does; switching
// rhythm mode on takes a hi-hat or tom-tom that was keyed as a melody modulator a step back (out of
// its turn ahead) and skips their envelope's step in that frame (it took it a turn ahead already:
// one still damping from a melody key-on goes on a step behind, and one whose damping ended in the
// frame before under its sounding carrier, its phase kept running for the carrier's attack to
// restart, restarts it after that frame's output, while one whose carrier's attack restarted it in
// the frame before runs on from where it was: the restart comes too late); switching it off makes
// the hi-hat and the tom-tom melody modulators that step their envelope once more in that frame and
// run a turn ahead from there, as one keyed on does (sounding or silent, a new step moves them a
// turn early; one whose damping ends in that step under a sounding carrier keeps its phase running,
// and one whose snare drum or top cymbal started its attack in the frame before restarts it in that
// step, the output its carrier takes next made from the phase before), and take up the outputs they
// fed back when it was switched on (the drums' outputs feed back none); the hi-hat, snare drum,
// tom-tom and top cymbal end their damping at 124 and attack in that frame as a melody carrier
// does, their damping rate applying a frame late as a modulator's, and they take a key-off in the
// frame it comes; the hi-hat and the tom-tom, keyed off in their decay or sustain, step at its rate
// in the frame after too, and so do the snare drum and the top cymbal with the channel's sustain
// bit set; keyed off in their attack, they take no step in the frame after, and an instant attack
// keyed off in its first frame reaches full level in that frame and releases from there (all
// measured against the die-shot emulator).
//
// Known differences from the chip:
// - The test register 0x0f is ignored, and so are the unused addresses (0x08-0x0d, 0x19-0x1f,
//   0x29-0x2f, 0x39-0x3f), which the chip decodes as mirrors.
// - Switching rhythm mode on or off mid-note is applied at once to the slots (the pins follow it
//   from the frame's sixth output phase, as the chip's do). Streams of channels 6-8 keyed, re-keyed
//   and retuned at random with rhythm mode switched on and off every few hundred frames have come
//   out equal (349 streams of 100,000 frames each).
// - The user instrument's registers rewritten at random a few frames after key-ons and key-offs
//   have come out equal in all of 330 streams of 100,000 frames.
// - Random songs (ten seconds each: seeds 1,000-2,999 with the drums and user writes, 1,200-1,899
//   of melody with user writes, 1,200-1,799 with the drums alone) and songs as drivers write them
//   (volumes and F-numbers every tick, the user instrument reloaded between notes, drums; 130
//   forty-second songs) have come out equal.
// - The analogue side (the DAC's step sizes and filtering) is left to whoever plays the frames.
#pragma once

#include "synth/FmCore.h"
#include "synth/Ym2413Registers.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace synth {

class Ym2413 {
public:
    // Input clocks per frame; one value per frame (mono), at most fullScale in magnitude:
    // 18 output phases of 255 steps.
    static constexpr std::uint32_t clocksPerFrame = 72;
    static constexpr std::size_t outputs = 1;
    static constexpr std::int32_t fullScale = 4590;
    static constexpr bool unipolar = false;

    Ym2413();
    void reset();
    void write(std::uint8_t address, std::uint8_t data);
    void generate(std::int16_t* mono, std::size_t frames);

private:
    using EnvelopeState = fm::EnvelopeState;

    struct Slot {
        std::uint32_t phase;        // 19-bit accumulator; the top 10 bits address the wave
        std::int16_t output[2];     // the last two operator outputs, newest first (feedback)
        std::uint32_t lastPhase;    // the phase of the newest output, without feedback
        std::int16_t lastFeedback;  // the sum of the two outputs fed back into it
        std::uint32_t earlierPhase; // the same for the output before
        std::int16_t earlierFeedback;
        std::uint16_t level; // 7-bit attenuation in 0.375 dB steps (not a byte: a byte store
                             // may alias anything, so the frame loop would reload around it)
        EnvelopeState state;
        EnvelopeState rateState; // the state whose rate applies now: the chip's one-frame lag
        bool keyOn;
        bool keyOffSeen;    // key-off seen by the key logic, not yet by the envelope
        bool instantAttack; // attack rate 15: full level from the frame after the attack starts
        bool attackStarted; // the damping ended at the end of the last frame: the attack rate of
                            // this one decides whether the attack is instant
        bool phaseReset;    // the attack started: the phase restarts after this frame's output
        bool settled;       // no key change or new state pending: the state's rate steps
        std::uint16_t silenceLate; // falls left at 124 after a key-off at once in the attack
        bool turnAhead; // a melody modulator of channels 3-8 keyed on, or left by rhythm mode
                        // switched off: its phase a turn ahead
        std::uint32_t restartedFrom; // a modulator's phase when its carrier's attack restarted it
        std::uint32_t restartedAt;   // and the envelope counter of that frame
    };

    // An instrument (ROM voice or the user registers 0x00-0x07) in the user instrument's
    // register layout, read through the register map's accessors.
    using Voice = Ym2413Registers;
    static Ym2413Registers::Operator operatorAt(int op) {
        return op == 0 ? Ym2413Registers::modulator : Ym2413Registers::carrier;
    }

    // Channel and rhythm registers.
    int fNumber(int ch) const { return static_cast<int>(registers_.fNumber(unsigned(ch))); }
    int block(int ch) const { return static_cast<int>(registers_.block(unsigned(ch))); }
    bool keyOn(int ch) const { return registers_.keyOn(unsigned(ch)); }
    bool sustainOn(int ch) const { return registers_.sustainOn(unsigned(ch)); }
    int instrument(int ch) const { return static_cast<int>(registers_.instrument(unsigned(ch))); }
    int volume(int ch) const { return static_cast<int>(registers_.volume(unsigned(ch))); }
    bool rhythmMode() const { return registers_.rhythmMode(); }
    bool rhythmKey(unsigned bit) const { return registers_.rhythmKeys() & bit; }

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
        std::uint8_t attack;
        std::array<std::uint8_t, 6> rates; // see Rates
        bool releaseAtOnce;    // a percussive voice without sustain: released at its rate at once
        std::uint8_t feedback; // 0, or the feedback's shift 9 - FB
        int feedbackMask;      // -1 with feedback, else 0
        bool tremolo, vibrato;
        int halfSineMask; // -1 when the negative half-wave is muted
        bool key;
        bool modulator;      // a melody channel's modulator, or the bass drum's
        bool keyOffAtOnce;   // the envelope takes a key-off in the frame it comes
        bool keyOffRateLags; // the release rate applies two frames after a key-off
        std::int8_t lead;    // frames the slot's envelope and LFOs run ahead of channel 0's carrier
        std::uint8_t clock;  // the envelope clock it reads (see clock())
    };

    Voice voiceOf(int ch, bool rhythm) const;
    void prepare();
    int frame();
    // Brings the decoded setups up to date after writes, and what the slots that take a write a
    // turn early have done with it already (out of the frame's path: writes are rare).
    [[gnu::noinline]] void applyWrites();
    // The turn of the 18 slots and the pins, with rhythm mode off or on, in a frame with or
    // without writes.
    template <bool rhythm, bool wrote> int turn();
    static void keySlot(Slot& slot, bool on);
    // The envelope counter as the slots of one place in the turn see it in a frame.
    struct EnvelopeClock {
        std::uint32_t counter; // the envelope counter as a slot sees it
        int attackFrom;        // the lowest rate whose attack steps in this frame
        int fallFrom;          // the lowest rate below 48 whose decay or release steps
    };
    // Per envelope state: 4 x rate + key scale, 0 = none; then the sustain level, which a
    // write changes with the rates.
    using Rates = std::array<std::uint8_t, 6>;
    static constexpr std::size_t sustainLevelAt = 5;
    // lastRates: the rates decoded before this frame's writes (a change applies a frame late).
    static void stepEnvelope(Slot& slot, const Setup& setup, const Rates& lastRates, bool key,
                             const EnvelopeClock* clocks, bool keepPhase = false);
    // A key change or a new state: the frame's stepping state and rate, false when the slot
    // started its attack at the frame's start.
    static bool keyEnvelope(Slot& slot, const Setup& setup, const Rates& lastRates, bool key,
                            bool keepPhase, EnvelopeState& stepping, int& rate);
    static void startAttack(Slot& slot, const Setup& setup);
    // One frame's step of an attack, and of a decay, sustain or release (stepping), at a rate.
    static int slowStep(int rate, const EnvelopeClock& clock);
    static void attackStep(Slot& slot, int rate, const EnvelopeClock& clock);
    static void fallStep(Slot& slot, int sustainLevel, EnvelopeState stepping, int rate,
                         const EnvelopeClock& clock);
    static bool instantAttack(const Setup& setup);
    std::uint32_t phaseStep(const Setup& setup, int frameOffset = 0) const;
    void modulate();
    // The envelope clocks of a frame: a frame behind, level and ahead of channel 0's
    // carrier, and the split one of channel 8's carrier (clocks).
    static constexpr std::size_t clocks = 4;
    static void clock(std::uint32_t counter, EnvelopeClock* clocks);
    // The phase offset a modulator's feedback adds for the sum of its fed-back outputs.
    static int feedbackOf(const Setup& setup, int fedBack) {
        return (fedBack >> setup.feedback) & setup.feedbackMask;
    }
    static std::int16_t operatorOutput(std::uint32_t phase10, int attenuation, int halfSineMask);

    Ym2413Registers registers_;
    std::array<Slot, 18> slots_{}; // channel * 2 + operator (0 modulator, 1 carrier)
    std::array<Setup, 18> setups_{};
    std::array<Rates, 18> ratesBeforeWrites_{}; // the rates decoded before the latest writes
    bool stale_ = true;                         // registers written since setups_ was decoded
    bool modulationStale_ = true; // the LFOs' share of setups_ to be brought up to date
    std::uint32_t envelopeCounter_ = 0;
    std::uint32_t lfoCounter_ = 0;
    std::uint32_t tremoloCounter_ = 0;
    std::uint32_t noise_ = 1;
    std::int32_t lateOutputs_ = 0;      // the part of the previous turn that lands in this frame
    std::uint32_t tcPhasePrevious_ = 0; // the top cymbal's phase in the last rhythm turn
    std::uint8_t userWritten_ = 0; // the user registers written since the last frame, a bit each
    // The modulators of channels 3 and 4 as the previous frame found them, before its envelope
    // step: a write to the user instrument's rates reached that step already.
    struct EnvelopeBefore {
        std::uint16_t level;
        EnvelopeState state;
        EnvelopeState rateState;
        bool settled;
        bool attackStarted;
    };
    std::array<EnvelopeBefore, 2> beforeLastStep_{};
    bool rhythmBefore_ = false; // rhythm mode as the previous frame had it
    // The hi-hat (bit 0) and the tom-tom (bit 1) left a turn ahead by melody mode when rhythm mode
    // is switched on: their envelope took the frame's step already.
    std::uint8_t heldSteps_ = 0;
    // The hi-hat's and the tom-tom's last two outputs and their sum fed back, as melody
    // modulators, when rhythm mode was switched on: the drums' outputs do not feed back.
    std::array<std::array<std::int16_t, 3>, 2> heldFeedback_{};
};

} // namespace synth
