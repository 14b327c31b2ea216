// Ym2151: a software YM2151 (OPM), the eight-channel four-operator FM chip,
// with the YM3012 DAC that turns its serial words into levels.
//
// Use: construct with the chip's input clock, write registers as the chip's
// address/data pair would, and call generate() for frames. One frame is one
// turn of the chip's 32 operator slots, 64 input clocks (62,500 frames/s at
// 4 MHz, 55,930 at 3.579545 MHz); it gives two values, left then right, each
// the level the DAC makes of the chip's floating-point output word:
// ((m - 512) << e) >> 1 for its 10-bit mantissa m and 3-bit exponent e. The
// model steps by frames, so the clock only sets how many frames a second are.
// Everything is integer arithmetic on the object's own state, nothing shared;
// the only allocation is the queue of writes waiting for their point in the
// pipeline, sized at construction for 64 and grown once by a larger burst.
//
// The output is a frame late: generate() gives each frame's DAC values in the
// frame after (the chip sums C2 of channels 4-7 after the next frame's writes
// have reached RL, see below).
//
// When a write takes effect, counting the first frame generated after it as
// frame 0 (the chip's slot pipeline takes each one up at its own point, and
// the model reproduces where):
//   - 0x01-0x1F (test, noise, timers, LFO): from frame 0 (NE chooses
//     between the noise and C2 of channel 7 as their value reaches the DAC,
//     so for the value computed in the frame before); CLKA and CSM (set or
//     cleared) reach timer A a frame later, LDA cleared two frames later; a
//     load of timer A overflows it two frames on;
//   - 0x20-0x3F (channel registers): from frame 0 for the slots from M2 of
//     channel 4 on, frame 1 for the slots before it; RL and which roles the
//     connection sends out reach the sums at once: every slot's value from
//     frame 0 on, and C2's of channels 4-7 from the frame before;
//   - 0x40-0xFF (operator registers): from frame 1 for slots 4 on, frame 2 for
//     slots 0-3;
//   - 0x08 (KON): a key-off reaches the envelopes in frame 1, a key-on in
//     frame 2 (where the phase restarts); a released slot's envelope holds its
//     level in frame 1 when a key-on follows; whether the attack is instant
//     goes by its key-scaled rate in the frame before the key-on's; a key-off
//     that leaves a first decay at its end (D1L 0 after an instant attack)
//     takes no step there, as the decay there takes none;
//   - 0xE0-0xFF (D1L): a D1L written ends a first decay only in the frame after
//     it is taken up, but one begun in the frame before after a key-on at
//     level 0 (found there or instant) ends there by the D1L before the write.
// CSM keys a slot for the frame timer A overflows in (slots 0-4 the frame
// after), holding its level there unless it keys again in the next frame
// (the last frame of a run keyed every frame holds too, if still in the
// attack), and its release steps at once (holds, keyed again in the next
// frame); it keys no slot that KON keyed in either of the two frames before
// (a KON key-off that reaches a slot in CSM's frame, a frame after its
// key-on, releases it there).
// A released slot's level holds in the frame before CSM's key-on too; a
// key-off in that frame steps at the rate of the state it leaves, the
// attack's too (from the top levels as well), and again in CSM's frame, whose
// level then does not hold; a KON key-on in the frame after
// CSM's lets the attack step in CSM's frame. Keying every frame (timer A's
// period one frame), CSM holds the key of every slot keyed, by KON too, from
// the frame before the run's first key: a KON key-on then holds no level, and
// its key-off releases nothing while CSM runs.
// Outside the attack a level that reaches 0x3F0 goes to 0x3FF in the next
// frame, between the envelope's steps (only the noise's output shows it),
// unless that frame holds before a key-on: the attack then starts from it.
// The LFO's values take effect later still: its multipliers form wave x depth
// over four frames of a free-running eight-frame cycle, two bits of the depth
// a frame (see LfoMultiplier::clock), AM's product reaching C1 and C2 four
// frames after the wave moves and M1 and M2 five, PM's eight (nine for the
// slots before C1 of channel 7); PMD written 0 takes PM to 0 at once (the
// slots before M2 of channel 3 a frame later), and written again other than 0
// gives the slots from M2 of channel 3 to C1 of channel 6 at once the product
// of the frame before (one a turn ended before the clear left holds). PM's sign changes with the
// phase's first step (its count as made, two under the triangle, whatever wave the sign reads the
// phase as; none for a wave selected after the noise in the step's frame), a second step of the
// rate multiplier reaches it with the magnitude. A sign with a magnitude of 0 (which moves a note
// on an unused code) counts while PMD is other than 0 as written, not as the multiplier's turn took
// it: at once for the slots from M2 of channel 3 on, a frame later for those before (the slots
// before C1 of channel 7 with the sign of the frame before). A write of LFRQ restarts the count of
// the LFO's prescaler turns. Under the noise wave a step loads the phase and the direction with
// noise bits, the wave's value being the phase inverted: another wave carries on from there (the
// noise selected in the frame of a step loads bits 5-7 alone, bits 0-4 counted, or every bit with
// the rate multiplier's extra count; another wave selected after it there leaves bits 0-4 loaded
// with the noise, bits 5-8 not counted but for the extra count); PM's sign reads its bit 7 as a
// single step would, a double step's value reaching the sign with the magnitude (the odd noise
// rates step the noise register in either half of a frame, where the two reads differ; a double
// step reads the register as an NFRQ written for its frame leaves it). The test register's LFO
// reset holds the phase at 0 from the frame it is written in; the prescaler and the rate
// multiplier's step count run on through it. It reaches each pair of the multipliers' depth bits in
// the frame the pair is taken (see LfoMultiplier::takeReset; in the reset's own frame a pair's
// first bit multiplies PM of the triangle as of the saw; each pair by the waveforms selected in its
// frame), and PM's sign at the start of the eight-frame cycle (a reset released within the cycle
// before too; the noise wave's sign too, over its first count's after a step; a step while the
// reset holds still gives the noise wave's sign its first count's for eight frames). The noise
// wave's sign reads the phase at the cycle's start alone, so a reset released in mid-cycle keeps
// the sign from before it until then. A step with the rate multiplier's extra count under the noise
// wave in the last frame the reset holds leaves bits 5-7 of the noise it loads and the triangle's
// direction (in the phase the multipliers read of that frame); held on, only the square and the
// triangle selected in the next frame show what it loaded, in the first bit of the next AM turn
// (see LfoMultiplier::clock). The phase has a ninth bit, the triangle's direction; under the
// triangle it counts two a step, under the other waves one (the rate multiplier's extra count by
// the LFRQ and waveform written up to the step's frame), and each wave carries on from the phase
// the one before left. A waveform selected reaches the multipliers at once, bit by bit of their
// turn (see LfoMultiplier::clock); a PM product of 128 or more that a turn of mixed waves gives
// turns the sign over. In a frame the LFO steps in, PMD's bit 0 multiplies the noise wave's sign
// spread over eight bits, not its magnitude, for the bits of the wave the waveforms selected give
// the noise (see LfoMultiplier::clock). The key scaling of the envelope rates sees the note after
// DT2 and PM. The PM is added before DT2, held at the bottom of octave 0; DT2 adds to that, the sum
// held at the top of octave 7 (a note DT2 moves past the top stays there for the PM). A PM moves a
// note on an unused note code from the code after it, its KF carry stepping over no unused code, a
// negative one added as a one's complement (see carriedFromUnusedCode); DT2 comes after, moving a
// note the PM left on an unused code by whole groups of four codes unless its KF carries (see
// noteReached). A note on an unused code that the PM or DT2 moves past octave 7 (key code 0x7F,
// whose code after is past the top, by any positive PM) goes by the pitch of the code after it
// instead, PM and DT2 added, held at the top.
//
// Register map: Ym2151Registers.h (one accessor per field, used here too).
//
// Connections (CON), each arrow a modulation, "out" the channel's output:
//   0: M1-C1-M2-C2-out      4: M1-C1-out, M2-C2-out
//   1: (M1+C1)-M2-C2-out    5: M1 into C1, M2 and C2; all three out
//   2: (M1+(C1-M2))-C2-out  6: M1-C1-out, M2-out, C2-out
//   3: ((M1-C1)+M2)-C2-out  7: all four out
//
// Not modelled: timer B, the status register and the IRQ pin, and the CT1/CT2
// output pins (nothing of them reaches the sound); the test register's bits other
// than the LFO reset; the analogue side of the DAC (its output filter and
// level), the value being the DAC's code; the write-busy time (writes are
// taken between frames, whatever their spacing).
// Known differences from the chip (measured against the die-shot-derived
// emulator): none in the comparison streams of tests/synth, nor in the random
// writes and driver-like streams probed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "synth/FmCore.h"
#include "synth/Ym2151Registers.h"

namespace synth {

class Ym2151 {
public:
    // Input clocks per frame (32 slots of two clocks); two values per frame
    // (left, right), at most fullScale in magnitude (the 16-bit output).
    static constexpr std::uint32_t clocksPerFrame = 64;
    static constexpr std::size_t outputs = 2;
    static constexpr std::int32_t fullScale = 32768;
    static constexpr bool unipolar = false;

    explicit Ym2151(std::uint32_t clockHz);
    void reset();
    void write(std::uint8_t address, std::uint8_t data);
    void generate(std::int16_t* leftRight, std::size_t frames);

private:
    using EgState = fm::EnvelopeState;
    static constexpr std::uint16_t noEnd = 0x8000;
    static constexpr unsigned decayEndSpan = 15; // the first decay ends within 15 above D1L

    struct Slot {
        std::uint32_t phase = 0;
        std::uint32_t step = 0;   // phase step per frame, DT1/DT2/MUL applied, without PM
        std::uint32_t pmStep = 0; // the step with the PM offset last asked for
        int pmOffset = 0;         // that offset; 0 while pmStep is not known
        std::array<std::uint8_t, 4> rateBases{};  // per state, before key scaling
        int coarsePitch = 0;                      // the note after DT2, as pitch() counts
        std::uint8_t keyScaleShift = 3;           // 3 - KS
        std::array<std::uint8_t, 4> plainRates{}; // envelope rate per state without PM
        std::array<std::uint8_t, 4> pmRates{};    // and with the PM of pmStep
        bool pmOn = false;                        // PM applies this frame
        std::uint32_t stepNow = 0; // the step of this frame, taken before the slots of a quiet one
        const std::array<std::uint8_t, 4>& rates() const { return pmOn ? pmRates : plainRates; }
        std::uint8_t attackRateBefore = 0; // the attack's rate as the frame before gave it
        std::uint8_t sustainBand = 0;      // D1L as the top five bits of a level (15 as 31)
        std::uint16_t endFrom = 0;         // the state ends at a level from endFrom
        std::uint16_t endSpan = 0;         // to endFrom + endSpan
        std::uint16_t totalLevel = 0;      // TL in envelope steps
        std::uint16_t level = 0x3FF;       // envelope attenuation, 0 = loudest
        EgState state = EgState::release;
        EgState releaseLeft = EgState::release; // the state a key-off before CSM's overflow left
        bool keyRegister = false;               // key as written to KON
        bool keyed = false;                     // key as the envelope last saw it (register or CSM)
        bool keyedBefore = false;               // keyed by KON in the frame before
        bool holdLevel = false;             // no step this frame (a key-on comes next, or CSM's)
        bool releaseLate = false;           // keyed off before CSM's overflow: steps again there
        bool keyOnNext = false;             // KON keys the released slot in the next frame
        std::uint32_t keyOnAtZeroFrame = 0; // the frame of a key-on at level 0 (see endState)
        std::uint8_t bandBefore = 0;        // sustainBand before D1L's latest write
        std::uint32_t quickDecayFrame = 0;  // the frame a decay began in after one
        int amShift = -1;                   // AMS - 1 when AM applies to the slot, else -1
        std::int16_t out = 0;               // the operator's output this frame
        std::int16_t previous = 0;          // and in the frame before (kept for M1 and C1)
    };

    // What the frame loop reads of a channel's registers, kept up to date as
    // they are written (updateChannel).
    struct Channel {
        std::uint8_t carrierRoles = 0; // roles of the connection's output, a bit per role
        bool leftOn = false;           // RL, taken up as the sums are made (see frame())
        bool rightOn = false;
        std::uint8_t feedbackShift = 0; // 10 - FB, 0 without feedback
        std::uint8_t pmSensitivity = 0;
        std::array<std::uint8_t, 4> sources{}; // each role's modulators (see modulators)
    };

    struct PendingWrite {
        std::uint8_t address;
        std::uint8_t data;
        std::uint8_t position;
        bool keyOffOnly; // the key-off half of a KON write
    };

    void apply(std::uint8_t address, std::uint8_t data);
    void applyPending(unsigned position);
    void applyKeyOff(std::uint8_t data);
    void takeOutputs(unsigned ch, std::uint8_t data);
    void updateStep(unsigned slot);
    void updateRates(unsigned slot);
    void updateChannel(unsigned ch);
    int pitch(unsigned ch) const;
    std::uint32_t phaseStep(unsigned slot, int pmOffset) const;
    std::optional<unsigned> carriedFromUnusedCode(unsigned slot, int pmOffset) const;
    std::optional<unsigned> noteReached(unsigned slot, int pmOffset) const;
    std::array<std::uint8_t, 4> envelopeRates(unsigned slot, int pmOffset) const;
    void takeAttackRateBeforeKeyOn(unsigned slot, std::size_t written);
    static void enterState(Slot& s, EgState state);
    template <bool written> void endState(unsigned slot);
    static bool atEnd(const Slot& s) {
        return static_cast<unsigned>(s.level - s.endFrom) <= s.endSpan;
    }
    // Whether the level is where a first decay ends under the sustain band
    // (see endState), whatever the state.
    static bool atDecayEnd(const Slot& s, unsigned band) {
        return static_cast<unsigned>(s.level - (band << 5)) <= decayEndSpan;
    }
    bool keyEnvelope(unsigned slot, bool on);
    template <bool keys>
    void stepEnvelope(unsigned slot, bool released, EgState left, bool csmNext);
    void stepTimers();
    void stepLfo();
    void stepNoise();
    template <unsigned role> int modulation(unsigned ch) const;
    void takePm(unsigned ch);
    template <unsigned role, bool pending, bool csm, bool still>
    void runSlots(int& left, int& right);
    int slotPm(unsigned slot, unsigned ch) const;
    bool takeSlotPm(Slot& s, unsigned slot, int pm);
    void takeQuietFrame();
    template <bool pending, bool csm, bool still> void runAllSlots(int& left, int& right);
    std::int16_t operatorOutput(std::uint32_t phase, int mod, unsigned attenuation) const;
    void frame(std::int16_t* leftRight);

    Ym2151Registers registers_;
    // A frame's LFO phase and triangle value, from which each waveform's AM
    // value and PM magnitude follow (the multipliers work them out as a turn's
    // product needs them). The default, a phase of 255 with the triangle at 0,
    // gives every AM value 0, as the multiplier holds before the first frame.
    struct LfoWave {
        std::uint8_t phase = 255;
        std::uint8_t triangle = 0;
    };
    // The LFO's multipliers of the wave by AMD and PMD (0x19 with bit 7 clear
    // and set): the depth as written, the partial sum and depth bits of the
    // turn, and the last product and the depth it was formed with.
    struct LfoMultiplier {
        unsigned depth = 0;
        unsigned depthBefore = 0; // the depth as the frame before's clock saw it
        unsigned assembling = 0;
        unsigned assemblingBefore = 0;  // the turn's first bits as the depth stood before
        std::array<LfoWave, 4> waves{}; // the LFO's waves, per frame
        std::array<unsigned, 4> earlierSelected{}; // the waveforms chosen, per frame
        std::array<unsigned, 4> selected{};
        unsigned product = 0;
        unsigned taken = 0;
        unsigned takenBefore = 0; // and its first bits as the depth stood before
        // The square's and the triangle's values a step under the noise wave
        // gave in the frame before while the LFO reset held, and as the
        // turn's first frame took them (see clock()).
        std::optional<LfoWave> heldLoad;
        std::optional<LfoWave> topLoad;
        // The waves' values before and after the LFO reset took hold, and
        // as a pair's first bit takes them in the reset's frame (see takeReset).
        std::array<unsigned, 4> beforeReset{};
        std::array<unsigned, 4> afterReset{};
        std::array<unsigned, 4> halfReset{};
        void clock(unsigned position, LfoWave values, bool pm, unsigned earlierWave, unsigned wave,
                   std::optional<unsigned> lastBitNoise = std::nullopt);
        void takeReset(unsigned age, std::optional<unsigned> lastBitNoise);
    };
    LfoMultiplier amMultiplier_;
    LfoMultiplier pmMultiplier_;
    bool pmCleared_ = false; // PMD was 0 in the frame before
    // The LFO's waves in the frame before.
    LfoWave lfoWaveBefore_{};
    unsigned waveWritten_ = 0;          // W as last written, before the slots take it up
    unsigned waveWrittenBefore_ = 0;    // and as it stood at the frame before's start
    unsigned rateWritten_ = 0;          // LFRQ as last written, before the slots take it up
    bool lfoHeldWritten_ = false;       // the test register's LFO reset as last written
    bool lfoHeldBefore_ = false;        // and as the frame before's LFO saw it
    bool lfoHeldLoaded_ = false;        // a step under the noise loaded bits under it
    unsigned lfoHeldLoad_ = 0;          // the phase bits it loaded (see stepLfo)
    bool lfoHeldRising_ = false;        // and the triangle's direction
    bool lfoHeldInCycle_ = false;       // it held in a frame of the eight-frame cycle so far
    unsigned lfoResetAge_ = 0;          // frames since the reset took hold (to lfoResetReach)
    unsigned lfoPhaseBeforeReset_ = 0;  // the phase it cleared
    bool lfoRisingBeforeReset_ = false; // and the triangle's direction
    unsigned lfoNoiseSignPhase_ = 0;    // the phase the noise wave's PM sign reads
    bool lfoNoiseSignHeld_ = false;     // and whether the reset held it there
    unsigned lfoCycle_ = 0;             // the free-running eight-frame cycle of the multipliers
    std::array<Slot, 32> slots_{};
    std::array<Channel, 8> channels_{};
    // The channels whose PMS is not 0, a bit each, and each channel's PM this
    // frame (see takePm) for the slots before C1 of channel 7 and from it on.
    std::uint8_t pmChannels_ = 0;
    std::uint8_t pmOnChannels_ = 0; // channels whose slots may have PM on (see takeQuietFrame)
    bool ratesMoved_ = true;        // a slot's attack rate may differ from the one it left
    bool pmMoved_ = true;           // a channel's PM may have moved (see takeQuietFrame)
    std::array<int, 8> channelPmEarly_{};
    std::array<int, 8> channelPmLate_{};
    std::array<int, 8> channelPmMiddle_{}; // the early PM with the sign the later slots see
    std::array<int, 6> pmTakenFrom_{};     // the LFO's PM they were taken from (see frame())
    // The slots whose D1L a write taken up this frame changed, a bit each.
    std::uint32_t bandWrittenSlots_ = 0;
    // The slots keyed by CSM alone, a bit each.
    std::uint32_t csmKeyedSlots_ = 0;
    // Frames generated since reset (wrapping), for the frame a state began in.
    std::uint32_t frameCount_ = 0;

    // Envelope clock: the counter steps once every three frames.
    unsigned egDivider_ = 0;
    std::uint32_t egCounter_ = 0;
    bool egTick_ = false;
    bool envelopesMoved_ = true; // a level or state may have moved for an end (see frame())
    bool endsToCheck_ = true;    // and did in the frame before

    // LFO: a frame prescaler, the rate multiplier's step count and the 8-bit phase.
    std::uint32_t lfoPrescale_ = 0;
    unsigned lfoSteps_ = 0; // the rate multiplier's 4-bit step count
    unsigned lfoPhase_ = 0;
    unsigned triangleAm_ = 255;   // the triangle's value (see stepLfo)
    bool triangleRising_ = false; // the phase's ninth bit: the triangle rises
    unsigned lfoRandom_ = 0;
    // The noise wave's sign as the step's first count read it (see stepLfo).
    bool lfoNoiseFirstNegative_ = false;
    unsigned lfoFirstCount_ = 1;       // what the latest step's first count added to the phase
    unsigned lfoAm_ = 0;               // 0-255 after AMD, as C1 and C2 see it
    unsigned lfoAmModulators_ = 0;     // as M1 and M2 see it, a frame later
    int lfoPm_ = 0;                    // -127..127 after PMD, as C1 and C2 of channel 7 on see it
    int lfoPmEarly_ = 0;               // as the slots before them see it, a frame later
    int lfoPmMiddle_ = 0;              // and as the slots from 11 on (PMD cleared at once)
    bool lfoPmNegativeLate_ = false;   // the sign of each, which counts even when
    bool lfoPmNegativeEarly_ = false;  // the value is 0 (with a PMD other than 0)
    bool lfoPmNegativeMiddle_ = false; // the early sign as the slots from 11 on see it
    bool lfoPmNegative_ = false;       // the PM sign of the frame before
    std::array<std::uint16_t, 16> lfoPhaseHistory_{}; // the nine-bit phase, one per frame
    unsigned pmSignWave_ = 0;                         // the waveform PM's sign reads the phase as
    unsigned lfoHistoryIndex_ = 0;
    unsigned lfoFramesSinceStep_ = 0; // up to the PM delay

    // Noise: a 17-bit shift register stepped twice a frame at most; what it held
    // after the frame's first half, and before its latest step (the LFO's noise
    // wave reads both).
    std::uint32_t noiseShift_ = 1;
    unsigned noiseCounter_ = 0;
    std::uint32_t noiseMidFrame_ = 1;
    std::uint32_t noiseBeforeStep_ = 1;

    // Timer A, counting frames (timer B reaches no sound and is not kept).
    unsigned timerA_ = 0;
    unsigned timerAPeriod_ = 0;     // CLKA as the timer sees it
    bool csmKey_ = false;           // timer A overflowed this frame with CSM set
    bool csmKeyLate_ = false;       // and in the frame before
    bool csmKeyEarlier_ = false;    // and in the frame before that
    bool csmKeyNext_ = false;       // it overflows in the next frame with CSM set
    bool csmKeyAfterNext_ = false;  // and in the frame after that
    bool timerALoadBefore_ = false; // LDA and CSM as the frame before saw them
    bool csmBefore_ = false;
    bool timerALoadBefore2_ = false; // LDA as the frame two before saw it

    // Writes not yet taken up by the slot pipeline.
    std::vector<PendingWrite> pending_;

    // The left sum of the slots whose value reaches the left output a frame late.
    int lateLeft_ = 0;
    // The last frame's sums, given out a frame later, once the C2 values of
    // channels 4-7 (heldC2_, a carrier's value or 0, from the frame before)
    // have met the RL written since.
    int previousLeft_ = 0;
    int previousRight_ = 0;
    std::array<std::int16_t, 4> heldC2_{};
    std::array<std::int16_t, 4> nextHeldC2_{};
    // C2 of channel 7's noise value, held so with the operator's (nextHeldC2_)
    // until NE chooses between them.
    std::int16_t heldNoise_ = 0;
    std::int16_t nextHeldNoise_ = 0;
};

} // namespace synth
