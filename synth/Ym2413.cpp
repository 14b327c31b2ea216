// Ym2413.cpp: the YM2413 model's frame loop: phase generator, envelope generator, operators,
// rhythm section and output pins (see Ym2413.h for the register map and the differences from
// the chip).
#include "synth/Ym2413.h"

#include "synth/FmCore.h"
#include "synth/Ym2413Tables.h"

#include <algorithm>
#include <bit>

namespace synth {

namespace {

using namespace ym2413;

constexpr int maxLevel = 127;
// The envelope's 0.375 dB steps in the operator's 1/256 octaves: 16 per step.
constexpr unsigned attenuationShift = 4;
constexpr int dampRate = 12;
// The level at which a damped slot starts its attack.
constexpr int dampEnd = 124;
// Frames, counting the key-off's, through which a slot keyed off at once while attacking from
// 124 keeps that level before it goes silent.
constexpr std::uint8_t silenceDelay = 2;
// The envelope counter in the first frame after reset, where it stands against the chip's
// (measured with the die-shot model).
constexpr std::uint32_t envelopeCounterAtReset = 4;
// The envelope clock of channel 8's carrier (melody or top cymbal): the counter a frame behind but
// for its low bits, which it sees level with channel 0's carrier.
constexpr std::size_t splitClock = 3;
constexpr std::uint32_t splitLowBits = 3;
// The drums' slots whose output the rhythm pin carries a second time after the point of the
// frame where a switch of rhythm mode takes effect.
constexpr std::size_t bassDrumSlot = 13;
constexpr std::size_t snareDrumSlot = 15;
constexpr std::size_t topCymbalSlot = 17;
// The melody modulators that take a write a turn early: those of channels 3-8.
constexpr std::size_t firstTurnAheadSlot = 6;

// The tremolo: a triangle from 0 to 13 envelope steps (4.875 dB), one step per 8 x 64
// frames, 210 x 64 frames per period (3.7 Hz at the nominal clock).
constexpr std::uint32_t tremoloPeriod = 210 * 64;

constexpr int tremolo(std::uint32_t tremoloCounter) {
    const int position = static_cast<int>(tremoloCounter >> 6);
    if (position < 104) return position >> 3;
    if (position < 107) return 13;
    if (position < 203) return 12 - ((position - 107) >> 3);
    return 0;
}

// The tremolo's steps (of 64 frames) where its level changes.
constexpr std::array<bool, tremoloPeriod / 64> tremoloChanges = [] {
    std::array<bool, tremoloPeriod / 64> t{};
    for (std::uint32_t p = 0; p < t.size(); ++p)
        t[p] = tremolo(p * 64) != tremolo((p + t.size() - 1) % t.size() * 64);
    return t;
}();

// The vibrato: an eight-step wave (0, +1/2, +1, +1/2, 0, -1/2, -1, -1/2) of the F-number's
// top three bits, added to twice the F-number; one step per 1024 frames (6.1 Hz).
int vibrato(std::uint32_t lfoCounter, int fNumber) {
    const int depth = fNumber >> 6;
    const int step = (lfoCounter >> 10) & 7;
    const int magnitude = (step & 3) == 0 ? 0 : ((step & 1) ? depth >> 1 : depth);
    return (step & 4) ? -magnitude : magnitude;
}

// What an operator output (13 bits, ones' complement) adds to the frame on the two pins,
// counted from their rest of 1: its 8-bit magnitude m, or -(m + 4) when negative, as then one
// pin carries -(m + 1) and the other -1.
int pinSum(int value) {
    const int sign = value >> 31;
    return (((value ^ sign) >> 4) ^ sign) + (sign & -3);
}

// The steps of the rates 12-15 (rate 48-63 with the low two bits) by the envelope counter's
// low five bits: the increment of a decay or release, and the attack's shift (0: no step),
// folded once from the step patterns.
struct FastRates {
    std::array<std::array<std::uint8_t, 32>, 16> increment;
    std::array<std::array<std::uint8_t, 32>, 16> attackShift;
};

constexpr FastRates fastRates = [] {
    FastRates t{};
    for (std::size_t r = 0; r < 16; ++r) {
        const int high = 12 + static_cast<int>(r >> 2);
        const std::size_t low = r & 3;
        for (std::size_t c = 0; c < 32; ++c) {
            int increment = 2;
            if (high == 12) increment = (c & 1) ? envelopeStepsHigh[low][(c >> 1) & 7] : 0;
            if (high == 13) increment = envelopeStepsHigh[low][((c & 0x0c) >> 1) | (c & 1)];
            if (high == 14) increment = envelopeStepsFast[low][(c >> 2) & 7];
            t.increment[r][c] = static_cast<std::uint8_t>(increment);
            t.attackShift[r][c] = static_cast<std::uint8_t>(
                high == 15 ? 0 : 16 - high - envelopeStepsHigh[low][(c & 0x0c) >> 1]);
        }
    }
    return t;
}();

int keyScaleRate(bool ksr, int block, int fNumber) {
    const int rate = block << 1 | fNumber >> 8;
    return ksr ? rate : rate >> 2;
}

} // namespace

Ym2413::Ym2413() {
    reset();
}

void Ym2413::reset() {
    registers_ = Ym2413Registers{};
    stale_ = true;
    for (Slot& slot : slots_) {
        slot = Slot{};
        slot.level = maxLevel;
        slot.state = slot.rateState = EnvelopeState::release;
    }
    envelopeCounter_ = envelopeCounterAtReset;
    lfoCounter_ = 1;
    tremoloCounter_ = 0; // the tremolo runs one frame behind the vibrato
    noise_ = 1;
    tcPhasePrevious_ = 0;
    lateOutputs_ = 0;
    rhythmBefore_ = false;
    heldSteps_ = 0;
    userWritten_ = 0;
    beforeLastStep_ = {};
}

void Ym2413::write(std::uint8_t address, std::uint8_t data) {
    if (address >= Ym2413Registers::registerCount) return;
    const int low = address & 0x0f;
    if (address < Ym2413Registers::fNumberLowBase
            ? (address > 0x07 && address != Ym2413Registers::rhythm)
            : low >= int(Ym2413Registers::channelCount))
        return;
    const bool changed = registers_.read(address) != data;
    registers_.write(address, data);
    stale_ = true;
    // Rewritten with the value it holds, a user register leaves the slots as they were.
    if (changed && address < Ym2413Registers::levelModulator + 6)
        userWritten_ = static_cast<std::uint8_t>(userWritten_ | 1u << address);
}

void Ym2413::generate(std::int16_t* mono, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i)
        mono[i] = static_cast<std::int16_t>(frame());
}

Ym2413::Voice Ym2413::voiceOf(int ch, bool rhythm) const {
    if (!rhythm || ch < 6) {
        const int inst = instrument(ch);
        if (inst == 0) return registers_;
    }
    const auto& rom =
        instrumentRom[static_cast<std::size_t>(rhythm && ch >= 6 ? 16 + ch - 6 : instrument(ch))];
    Voice voice;
    for (unsigned i = 0; i < rom.size(); ++i)
        voice.write(i, rom[i]);
    return voice;
}

void Ym2413::keySlot(Slot& slot, bool on) {
    if (on && !slot.keyOn) {
        slot.state = EnvelopeState::damp;
        slot.keyOn = true;
    } else if (!on && slot.keyOn) {
        // The envelope takes a key-off one frame after the key-on logic sees it.
        if (slot.keyOffSeen) {
            slot.state = EnvelopeState::release;
            slot.keyOn = false;
        }
        slot.keyOffSeen = !slot.keyOffSeen;
        return;
    }
    slot.keyOffSeen = false;
}

bool Ym2413::instantAttack(const Setup& setup) {
    return std::min(15, setup.attack + (setup.keyScale >> 2)) == 15;
}

void Ym2413::startAttack(Slot& slot, const Setup& setup) {
    slot.settled = false;
    slot.phaseReset = true;
    slot.state = EnvelopeState::attack;
    slot.instantAttack = instantAttack(setup);
}

void Ym2413::prepare() {
    stale_ = false;
    modulationStale_ = true;
    const bool rhythm = rhythmMode();
    for (int ch = 0; ch < 9; ++ch) {
        const Voice voice = voiceOf(ch, rhythm);
        const bool drum = rhythm && ch >= 7;
        const int f = fNumber(ch);
        const int b = block(ch);
        for (int op = 0; op < 2; ++op) {
            Setup& s = setups_[static_cast<std::size_t>(ch * 2 + op)];
            const Ym2413Registers::Operator o = operatorAt(op);
            s.fNumber = static_cast<std::int16_t>(f);
            s.block = static_cast<std::uint8_t>(b);
            s.multTimesTwo = multiplierTimesTwo[static_cast<std::size_t>(voice.mult(o))];
            s.increment = static_cast<std::uint32_t>((f * 2 * s.multTimesTwo) << b) >> 2;
            s.keyScale = static_cast<std::uint8_t>(keyScaleRate(voice.ksr(o), b, f));
            int keyScaleLevel = 0;
            if (voice.ksl(o) != 0) {
                const int base = keyScaleBase[static_cast<std::size_t>(f >> 5)] - 8 * (7 - b);
                if (base > 0) keyScaleLevel = (base << 1) >> (3 - voice.ksl(o));
            }
            const int level = op == 1 ? volume(ch) << 3
                              : drum  ? instrument(ch) << 3
                                      : voice.totalLevel() << 1;
            s.baseLevel = static_cast<std::uint8_t>(std::min(maxLevel, level + keyScaleLevel));
            s.attack = static_cast<std::uint8_t>(voice.attackRate(o));
            s.rates[sustainLevelAt] = static_cast<std::uint8_t>(voice.sustainLevel(o));
            // Percussive voices fall at their release rate once they reach the sustain level
            // and at rate 7 after key-off (5 with SUS), sustained ones hold and release at
            // their release rate; a melody modulator holds after key-off; the hi-hat and the
            // tom-tom release at their release rate.
            const int release = voice.releaseRate(o);
            const bool sustained = voice.egType(o);
            const bool drumModulator = drum && op == 0;
            int releaseRate = sustainOn(ch) ? 5 : sustained || drumModulator ? release : 7;
            if (op == 0 && !drum) releaseRate = 0;
            auto effective = [&](int rate) {
                return static_cast<std::uint8_t>(
                    rate == 0 ? 0 : std::min(15, rate + (s.keyScale >> 2)) << 2 | (s.keyScale & 3));
            };
            s.rates[static_cast<std::size_t>(EnvelopeState::attack)] = effective(s.attack);
            s.rates[static_cast<std::size_t>(EnvelopeState::decay)] = effective(voice.decayRate(o));
            s.rates[static_cast<std::size_t>(EnvelopeState::sustain)] =
                effective(sustained ? 0 : release);
            s.rates[static_cast<std::size_t>(EnvelopeState::release)] = effective(releaseRate);
            s.rates[static_cast<std::size_t>(EnvelopeState::damp)] = effective(dampRate);
            s.releaseAtOnce = !sustained && !sustainOn(ch);
            s.feedback = static_cast<std::uint8_t>(
                op == 0 && !drum && voice.feedback() != 0 ? 9 - voice.feedback() : 0);
            s.feedbackMask = s.feedback != 0 ? -1 : 0;
            s.tremolo = voice.am(o);
            s.vibrato = voice.vib(o);
            s.halfSineMask = voice.halfSine(o) ? -1 : 0;
            // The slots do not all stand at the same point of the chip's turn: a melody
            // modulator runs a frame ahead of its carrier, channels 5-8 a frame behind
            // channels 0-4; the hi-hat, snare drum, tom-tom and top cymbal run a frame behind.
            s.lead = static_cast<std::int8_t>(drum ? -1 : (op == 0 ? 1 : 0) - (ch >= 5 ? 1 : 0));
            // Channel 8's carrier reads the split envelope clock as the top cymbal as well.
            s.clock = static_cast<std::uint8_t>(ch == 8 && op == 1 ? splitClock : s.lead + 1);
            const bool drumChannel = rhythm && ch >= 6;
            // A key-on damps a sounding slot before its attack. A slot attacks in the frame its
            // level reaches 124, from there, and its phase restarts after that frame's output;
            // a melody modulator keyed on when silent attacks at the start of a frame once the
            // level has reached 127. The bass drum keys, damps and restarts as a melody channel
            // does. The damping rate applies from the frame after the key-on, an instant attack
            // (rate 15 with key scaling) no earlier than another's. Modulators and the four drums
            // of channels 7 and 8 take a key-off in the frame it comes, melody carriers and the
            // bass drum's carrier a frame later. Keyed off in their decay or sustain, the hi-hat
            // and the tom-tom step at that state's rate in the frame after, and so do the snare
            // drum and the top cymbal unless percussive without the sustain bit.
            s.modulator = op == 0 && (!drumChannel || ch == 6);
            s.keyOffAtOnce = drum || s.modulator;
            s.keyOffRateLags = drumModulator || (drum && !s.releaseAtOnce);
            using R = Ym2413Registers;
            s.key = keyOn(ch) ||
                    (drumChannel && rhythmKey(ch == 6   ? R::bassDrumBit
                                              : ch == 7 ? (op ? R::snareDrumBit : R::hiHatBit)
                                                        : (op ? R::topCymbalBit : R::tomTomBit)));
        }
    }
}

bool Ym2413::keyEnvelope(Slot& slot, const Setup& setup, const Rates& lastRates, bool key,
                         bool keepPhase, EnvelopeState& stepping, int& rate) {
    // A decay reaches its sustain level by the comparison of the frame after its step: a slot
    // that sees a new sustain level there (a write a turn early) compares with that.
    // The same comparison ends a decay whose level a new sustain level has reached: its rate
    // applies from the frame after.
    if (slot.rateState == EnvelopeState::decay &&
        (slot.state == EnvelopeState::sustain || slot.state == EnvelopeState::decay))
        slot.state = (slot.level >> 3) == lastRates[sustainLevelAt] ? EnvelopeState::sustain
                                                                    : EnvelopeState::decay;
    // A state's rate applies from the frame after the state is entered.
    if (setup.keyOffAtOnce && !key) slot.keyOffSeen = true;
    const EnvelopeState before = slot.state;
    const bool wasReleasing = before == EnvelopeState::release;
    const bool wasDamping = before == EnvelopeState::damp;
    keySlot(slot, key);
    // A slot that takes a key-off in the frame it comes while attacking from 124 keeps that level
    // through the frame and the next (the falls left to hold: one if this frame's step is still
    // the attack's).
    if (setup.keyOffAtOnce && before == EnvelopeState::attack &&
        slot.state == EnvelopeState::release && slot.level >= dampEnd)
        slot.silenceLate = stepping == EnvelopeState::attack ? silenceDelay - 1 : silenceDelay;
    // An instant attack reaches full level in the frame after it starts, unless a key-off
    // comes first; a modulator of channels 0-2 keyed off then reaches it all the same, takes no
    // step in that frame and holds it (one of channels 3-8 took the key-off a turn early, before
    // its attack).
    // (The attack rate decides it in that frame: a write that slows it first makes it a plain
    // attack, one that speeds a damped slot's attack to rate 15 there an instant one.)
    const bool instantRate =
        (lastRates[static_cast<std::size_t>(EnvelopeState::attack)] >> 2) == 15;
    if (!instantRate)
        slot.instantAttack = false;
    else if (slot.attackStarted && slot.state == EnvelopeState::attack)
        slot.instantAttack = true;
    slot.attackStarted = false;
    const bool drum = setup.keyOffAtOnce && !setup.modulator;
    bool heldFull = false;
    if (slot.instantAttack) {
        if (slot.state == EnvelopeState::attack || (drum && before == EnvelopeState::attack))
            slot.level = 0;
        else if (setup.modulator && before == EnvelopeState::attack) {
            slot.level = 0;
            heldFull = true;
        }
        slot.instantAttack = false;
    }
    // The hi-hat and the tom-tom step at the rate they had for a frame more after a key-off; the
    // four drums of channels 7 and 8 keyed off in their attack hold the attack's place for a frame
    // more (in which they take no step).
    const bool rateHeld = slot.state == EnvelopeState::release &&
                          ((setup.keyOffRateLags &&
                            (before == EnvelopeState::decay || before == EnvelopeState::sustain)) ||
                           (drum && before == EnvelopeState::attack));
    slot.rateState = rateHeld ? before : slot.state;
    // The end of the damping (see prepare()): a melody modulator keyed on when silent starts its
    // attack at the start of a frame and restarts its phase at once, but one whose carrier is
    // already damping or has attacked keeps its phase running (the carrier's attack restarts it).
    if (slot.state == EnvelopeState::damp && setup.modulator && !wasDamping &&
        slot.level >= maxLevel) {
        startAttack(slot, setup);
        if (!keepPhase) slot.phase = 0;
        slot.phaseReset = false;
        return false;
    }
    const bool resting = stepping == EnvelopeState::damp && slot.state == EnvelopeState::attack;
    rate = resting || heldFull ? 0 : lastRates[static_cast<std::size_t>(stepping)];
    if (drum && wasReleasing && stepping == EnvelopeState::attack) { // (the frame held, above)
        stepping = EnvelopeState::release;
        rate = 0;
    }
    // In the frame a melody carrier takes a key-off, one cut short in its attack takes no step;
    // one cut short in its damping, and a percussive voice without sustain, step at the release
    // rate already (faster or slower than the damping); any other at the rate it had.
    if (!wasReleasing && slot.state == EnvelopeState::release && !setup.keyOffAtOnce) {
        if (stepping == EnvelopeState::attack)
            rate = 0;
        else if (stepping == EnvelopeState::damp || setup.releaseAtOnce)
            rate = setup.rates[static_cast<std::size_t>(EnvelopeState::release)];
    }
    slot.settled = key == slot.keyOn && !slot.keyOffSeen && !slot.instantAttack &&
                   slot.state != EnvelopeState::damp && !rateHeld;
    return true;
}

// Rates 1-11 step in windows of four frames, every 2^(13 - rate) frames, by the pattern of their
// low two bits; rates 12-15 step in every frame (see fastRates).
int Ym2413::slowStep(int rate, const EnvelopeClock& clock) {
    const std::uint32_t slow = clock.counter - 4;
    return fm::envelopeSteps[static_cast<std::size_t>(rate & 3)][(slow >> (13 - (rate >> 2))) & 7];
}

void Ym2413::attackStep(Slot& slot, int rate, const EnvelopeClock& clock) {
    int attackShift = 0;
    if (rate >= 48)
        attackShift =
            fastRates.attackShift[static_cast<std::size_t>(rate - 48)][clock.counter & 31];
    else if (rate >= clock.attackFrom && slowStep(rate, clock))
        attackShift = 4;
    if (attackShift > 0 && slot.level > 0)
        slot.level =
            static_cast<std::uint16_t>(std::max(0, slot.level - (slot.level >> attackShift) - 1));
}

void Ym2413::fallStep(Slot& slot, int sustainLevel, EnvelopeState stepping, int rate,
                      const EnvelopeClock& clock) {
    int increment = 0;
    // (fallFrom is never above 48: the fast rates step in every frame.)
    if (rate >= clock.fallFrom)
        increment =
            rate >= 48
                ? fastRates.increment[static_cast<std::size_t>(rate - 48)][clock.counter & 31]
                : slowStep(rate, clock);
    // The decay stops at the sustain level at once.
    if (stepping == EnvelopeState::decay && (slot.level >> 3) == sustainLevel) increment = 0;
    // The fall ends at 124: from there the slot goes silent (an attack that starts there keeps
    // the level).
    if (slot.level < 124) {
        slot.level = static_cast<std::uint16_t>(slot.level + increment);
        slot.silenceLate = 0;
    } else if (slot.silenceLate > 0)
        --slot.silenceLate;
    else if (slot.state != EnvelopeState::attack)
        slot.level = maxLevel;
}

inline void Ym2413::stepEnvelope(Slot& slot, const Setup& setup, const Rates& lastRates, bool key,
                                 const EnvelopeClock* clocks, bool keepPhase) {
    // A silent slot whose key stays off has nothing to do.
    if (!key && !slot.keyOn && slot.level >= maxLevel && slot.state == EnvelopeState::release &&
        slot.rateState == EnvelopeState::release && !slot.instantAttack) {
        slot.keyOffSeen = false;
        return;
    }
    const EnvelopeClock& clock = clocks[setup.clock];
    if (slot.settled) {
        // No key change and no new state: the state's own rate steps, and only the end of an
        // attack or of a decay leads on.
        const EnvelopeState state = slot.state;
        const int rate = lastRates[static_cast<std::size_t>(state)];
        if (state == EnvelopeState::attack) {
            attackStep(slot, rate, clock);
            if (slot.level == 0) slot.state = EnvelopeState::decay, slot.settled = false;
        } else {
            fallStep(slot, lastRates[sustainLevelAt], state, rate, clock);
            if (state == EnvelopeState::decay && (slot.level >> 3) == lastRates[sustainLevelAt])
                slot.state = EnvelopeState::sustain, slot.settled = false;
        }
        return;
    }
    EnvelopeState stepping = slot.rateState;
    int rate;
    if (!keyEnvelope(slot, setup, lastRates, key, keepPhase, stepping, rate)) return;
    if (stepping == EnvelopeState::attack)
        attackStep(slot, rate, clock);
    else
        fallStep(slot, lastRates[sustainLevelAt], stepping, rate, clock);
    switch (slot.state) {
    case EnvelopeState::damp:
        if (slot.level >= dampEnd) {
            startAttack(slot, setup);
            slot.attackStarted = true;
            // A slot whose key is off by then keeps its phase running (a drum of channels 7 and 8
            // left by rhythm mode switched off; a melody carrier takes a key-off a frame late).
            if (keepPhase || !key) slot.phaseReset = false;
        }
        break;
    case EnvelopeState::attack:
        if (slot.level == 0) slot.state = EnvelopeState::decay, slot.settled = false;
        break;
    case EnvelopeState::decay:
        if ((slot.level >> 3) == setup.rates[sustainLevelAt])
            slot.state = EnvelopeState::sustain, slot.settled = false;
        break;
    default: break;
    }
}

std::uint32_t Ym2413::phaseStep(const Setup& setup, int frameOffset) const {
    if (!setup.vibrato) return setup.increment;
    const int twice =
        setup.fNumber * 2 +
        vibrato(lfoCounter_ + static_cast<std::uint32_t>(setup.lead + frameOffset), setup.fNumber);
    // The block's shift drops an odd offset's half step before the multiple applies.
    return static_cast<std::uint32_t>(((twice << setup.block) >> 1) * setup.multTimesTwo) >> 1;
}

std::int16_t Ym2413::operatorOutput(std::uint32_t phase10, int attenuation, int halfSineMask) {
    const int negative = fm::negativeHalf(phase10);
    // The log-sine and the envelope's attenuation stay below 17 octaves together, and the
    // 11-bit mantissa is gone from 11 octaves down: a plain shift gives the chip's 0 for the rest.
    static_assert(((fm::logSin[0] + (maxLevel << attenuationShift)) >> 8) < 32);
    const unsigned level = fm::logSinHalf[phase10 & (fm::phaseMask >> 1)] +
                           (static_cast<unsigned>(attenuation) << attenuationShift);
    int magnitude = fm::expMantissa[level & 0xff] >> (level >> 8);
    magnitude &= ~(halfSineMask & -negative); // the muted negative half-wave: a negative zero
    return static_cast<std::int16_t>((magnitude ^ -negative) * 2);
}

void Ym2413::clock(std::uint32_t counter, EnvelopeClock* clocks) {
    for (std::size_t i = 0; i < Ym2413::clocks; ++i) {
        EnvelopeClock& clock = clocks[i];
        // Channel 8's carrier sees the counter's low bits a frame ahead of the rest.
        clock.counter = i == splitClock ? ((counter - 1) & ~splitLowBits) | (counter & splitLowBits)
                                        : counter + static_cast<std::uint32_t>(i) - 1;
        const int quietBits = std::countr_zero((clock.counter - 4) >> 2);
        clock.attackFrom = 4 * std::max(1, 11 - quietBits);
        clock.fallFrom = (clock.counter & 3) == 3 ? clock.attackFrom : 48;
    }
}

void Ym2413::modulate() {
    modulationStale_ = false;
    // The tremolo a frame behind, now and a frame ahead.
    const int tremoloLevels[3] = {
        tremolo(tremoloCounter_ == 0 ? tremoloPeriod - 1 : tremoloCounter_ - 1),
        tremolo(tremoloCounter_),
        tremolo(tremoloCounter_ + 1 == tremoloPeriod ? 0 : tremoloCounter_ + 1)};
    for (std::size_t i = 0; i < setups_.size(); ++i) {
        Setup& setup = setups_[i];
        // A melody modulator of channels 3-8 never keyed on as one is level with the chip's turn,
        // and follows the vibrato a frame later than one running a turn ahead.
        const bool behind = setup.modulator && i >= firstTurnAheadSlot && !slots_[i].turnAhead;
        setup.stepNow = phaseStep(setup, behind ? -1 : 0);
        setup.levelNow = static_cast<std::uint8_t>(
            setup.baseLevel + (setup.tremolo ? tremoloLevels[setup.lead + 1] : 0));
    }
}

int Ym2413::frame() {
    if (stale_) {
        applyWrites();
        return rhythmMode() ? turn<true, true>() : turn<false, true>();
    }
    return rhythmMode() ? turn<true, false>() : turn<false, false>();
}

void Ym2413::applyWrites() {
    for (Slot& slot : slots_)
        slot.settled = false;
    std::array<Rates, 18>& oldRates = ratesBeforeWrites_;
    // A melody modulator of channels 3-8 takes a write a turn earlier than the rest of the
    // chip: a key-on has already stepped its envelope once (from the previous frame's
    // counter), and a sounding one has already moved its phase by its new step and given
    // its last output at its new level and wave.
    std::array<std::uint32_t, 18> oldSteps;
    for (std::size_t i = 0; i < setups_.size(); ++i)
        oldSteps[i] = setups_[i].stepNow;
    for (std::size_t i = 0; i < setups_.size(); ++i)
        oldRates[i] = setups_[i].rates;
    const std::uint32_t hiHatStep = setups_[14].stepNow;
    const std::uint32_t tomTomStep = setups_[16].stepNow;
    // The steps the slots a user write reaches early had before it, at the vibrato they take it
    // with: the frame before's, and the modulators of channels 3 and 4 (a turn ahead) the one
    // before that; a vibrato step in the write's frame is none of the write's.
    auto userStepOffset = [](std::size_t i) { return i == 6 || i == 8 ? -2 : -1; };
    std::array<std::uint32_t, 10> oldUserSteps{};
    if (userWritten_)
        for (std::size_t i = 0; i < oldUserSteps.size(); ++i)
            oldUserSteps[i] = phaseStep(setups_[i], userStepOffset(i));
    prepare();
    modulate();
    // Rhythm mode switched on takes the hi-hat's and the tom-tom's phase (the modulators of
    // channels 7 and 8) a step back if they were keyed as melody modulators: those run a
    // turn ahead.
    bool switchedOff = false;
    if (rhythmMode() != rhythmBefore_) {
        rhythmBefore_ = rhythmMode();
        switchedOff = !rhythmBefore_;
        // The pins follow the switch from the sixth output phase of the frame: the second
        // phases of the bass drum, snare drum and top cymbal already carry (or no longer
        // carry) the outputs of the previous turn; the tom-tom's and the hi-hat's come before.
        const int switched = pinSum(slots_[bassDrumSlot].output[0]) +
                             pinSum(slots_[snareDrumSlot].output[0]) +
                             pinSum(slots_[topCymbalSlot].output[0]);
        lateOutputs_ += switchedOff ? -switched : switched;
        Slot& hiHat = slots_[14];
        Slot& tomTom = slots_[16];
        if (rhythmBefore_) {
            // Keyed as melody modulators and keyed on through the switch, their envelope, a turn
            // ahead as well, has taken this frame's step already.
            auto held = [](const Slot& slot, const Setup& setup) {
                return slot.turnAhead && slot.keyOn && setup.key;
            };
            heldSteps_ = static_cast<std::uint8_t>((held(hiHat, setups_[14]) ? 1 : 0) |
                                                   (held(tomTom, setups_[16]) ? 2 : 0));
            // A restart their carrier's attack gave them in the frame before comes too late: they
            // run on from where they were.
            for (Slot* slot : {&hiHat, &tomTom}) {
                const std::uint32_t step = slot == &hiHat ? hiHatStep : tomTomStep;
                if (!slot->turnAhead) continue;
                slot->phase = slot->restartedAt + 1 == envelopeCounter_
                                  ? slot->restartedFrom
                                  : (slot->phase - step) & 0x7ffff;
            }
            // One whose damping ended as a melody modulator in the frame before kept its phase
            // running for its carrier's attack to restart; as a drum it restarts it itself, after
            // this frame's output.
            hiHat.phaseReset = hiHat.phaseReset || hiHat.attackStarted;
            tomTom.phaseReset = tomTom.phaseReset || tomTom.attackStarted;
            hiHat.turnAhead = tomTom.turnAhead = false;
            heldFeedback_[0] = {hiHat.output[0], hiHat.output[1], hiHat.lastFeedback};
            heldFeedback_[1] = {tomTom.output[0], tomTom.output[1], tomTom.lastFeedback};
        } else {
            // Switched off, they take up the outputs they fed back before rhythm mode (a silent
            // one gives none).
            for (std::size_t i : {0u, 1u}) {
                Slot& slot = i ? tomTom : hiHat;
                slot.output[0] = slot.level < maxLevel ? heldFeedback_[i][0] : 0;
                slot.output[1] = heldFeedback_[i][1];
                slot.lastFeedback = heldFeedback_[i][2];
            }
        }
    }
    // A write to the user instrument reaches the modulators of channels 0-4 and the carriers
    // of channels 2-4 a turn early (on top of the modulators' turn below): a sounding
    // modulator of channels 0-2 has already given its last output with it.
    if (userWritten_) {
        // The registers that shape a modulator's output: its multiple and LFOs, its level, its
        // wave and feedback.
        const bool modulatorWritten = userWritten_ & 0x0d;
        const bool modulatorRatesWritten = userWritten_ & 0x51;
        userWritten_ = 0;
        // The modulators' new rates reached the envelope of channels 0-2 in this frame and that
        // of channels 3 and 4 (which take a write a turn early) in the frame before: one that
        // only stepped there, or damped, takes that step again at its new rate (a damping that
        // ends with it attacks).
        if (modulatorRatesWritten) {
            EnvelopeClock previous[clocks];
            clock(envelopeCounter_ - 1, previous);
            for (std::size_t i : {6u, 8u}) {
                const EnvelopeBefore& before = beforeLastStep_[i / 2 - 3];
                Slot& slot = slots_[i];
                const bool damping =
                    before.state == EnvelopeState::damp && slot.state == EnvelopeState::damp;
                // One whose attack had started there, raised to rate 15 or slowed from it, makes
                // it instant or not: that frame's rate decides it.
                constexpr auto attack = static_cast<std::size_t>(EnvelopeState::attack);
                const bool attackStarted =
                    before.attackStarted && before.state == EnvelopeState::attack &&
                    ((setups_[i].rates[attack] >> 2) == 15) != ((oldRates[i][attack] >> 2) == 15);
                // One whose decay reached its band in the step before compared it there with the
                // new sustain level.
                const bool compared =
                    before.rateState == EnvelopeState::decay &&
                    (before.state == EnvelopeState::sustain ||
                     before.state == EnvelopeState::decay) &&
                    setups_[i].rates[sustainLevelAt] != oldRates[i][sustainLevelAt];
                // One whose damping ended there takes that step again at the damping rate key
                // scaling gives it now: slowed, it damps on from where it was; still ending, it
                // keeps the attack it started, from the level the step reaches.
                constexpr auto damp = static_cast<std::size_t>(EnvelopeState::damp);
                if (before.state == EnvelopeState::damp && slot.state == EnvelopeState::attack &&
                    setups_[i].rates[damp] != oldRates[i][damp]) {
                    const Slot started = slot;
                    slot.level = before.level;
                    slot.state = EnvelopeState::damp;
                    slot.settled = true;
                    stepEnvelope(slot, setups_[i], setups_[i].rates, slot.keyOn, previous);
                    if (slot.level >= dampEnd) {
                        const std::uint16_t level = slot.level;
                        slot = started;
                        slot.level = level;
                    }
                    slot.settled = false;
                    continue;
                }
                if ((!before.settled && !damping && !attackStarted && !compared) ||
                    setups_[i].rates == oldRates[i])
                    continue;
                slot.level = before.level;
                slot.state = before.state;
                if (compared) slot.rateState = before.rateState;
                slot.settled = !attackStarted && !compared;
                slot.attackStarted = attackStarted;
                stepEnvelope(slot, setups_[i], setups_[i].rates, slot.keyOn, previous);
                // A decay the new sustain level reaches there ends in that frame's comparison.
                if (before.state == EnvelopeState::decay &&
                    (before.level >> 3) == setups_[i].rates[sustainLevelAt])
                    slot.rateState = EnvelopeState::sustain;
                slot.settled = false;
                if (damping && slot.level >= dampEnd) {
                    startAttack(slot, setups_[i]);
                    // (keeping its phase running under a carrier that sounds or damps, as one
                    // whose damping ends in its own step does)
                    const Slot& car = slots_[i + 1];
                    if (!slot.keyOn || car.state != EnvelopeState::release || car.level < maxLevel)
                        slot.phaseReset = false;
                }
            }
        }
        // The outputs remade with the write were made with the tremolo of the frame the slot
        // takes the write in, as its step with the vibrato.
        auto levelMade = [this, &userStepOffset](const Setup& setup, std::size_t i) {
            if (!setup.tremolo) return int(setup.baseLevel);
            const int at = static_cast<int>(tremoloCounter_) + setup.lead + userStepOffset(i);
            constexpr int period = static_cast<int>(tremoloPeriod);
            return setup.baseLevel + tremolo(static_cast<std::uint32_t>((at + period) % period));
        };
        for (std::size_t i : {0u, 2u, 4u, 5u, 6u, 7u, 8u, 9u}) {
            // A channel playing a ROM voice has nothing of the write.
            if (instrument(static_cast<int>(i / 2)) != 0) continue;
            Slot& slot = slots_[i];
            // The carriers' and the modulators' new rates apply in this frame already.
            if (i <= 5 || (i & 1)) oldRates[i] = setups_[i].rates;
            const std::uint32_t moved = phaseStep(setups_[i], userStepOffset(i)) - oldUserSteps[i];
            // (The modulators of channels 3 and 4 restarted by their carrier's attack in the frame
            // before take the restart after the write: they move once, below.)
            if ((i != 6 && i != 8) || slot.restartedAt + 1 != envelopeCounter_)
                slot.phase = (slot.phase + moved) & 0x7ffff;
            // The modulators of channels 3 and 4 gave their last two outputs with it already
            // (a write that leaves the modulator as it was keeps the outputs it gave: remade at
            // the level it has now they would differ while its envelope moves).
            if (i == 6 || i == 8) {
                slot.lastPhase = (slot.lastPhase + moved) & 0x7ffff;
                const Setup& setup = setups_[i];
                // (made at the level before the previous frame's envelope step)
                const int earlierLevel = beforeLastStep_[i / 2 - 3].level;
                if (earlierLevel < maxLevel && modulatorWritten) {
                    const std::int16_t earlier = operatorOutput(
                        ((slot.earlierPhase >> 9) + feedbackOf(setup, slot.earlierFeedback)) &
                            0x3ff,
                        std::min(maxLevel, earlierLevel + levelMade(setup, i)), setup.halfSineMask);
                    slot.lastFeedback =
                        static_cast<std::int16_t>(slot.lastFeedback + earlier - slot.output[1]);
                    slot.output[1] = earlier;
                }
            }
            if (i <= 4) {
                const Setup& setup = setups_[i];
                if (slot.level < maxLevel)
                    slot.output[0] = operatorOutput(
                        ((slot.lastPhase >> 9) + feedbackOf(setup, slot.lastFeedback)) & 0x3ff,
                        std::min(maxLevel, slot.level + levelMade(setup, i)), setup.halfSineMask);
            }
            // The carriers of channels 2-4 gave the output this frame's pins carry with their
            // new wave and level already (those of channels 3 and 4 with the modulator's new
            // output too).
            if (i == 5 || i == 7 || i == 9) {
                const Setup& setup = setups_[i];
                if (slot.level < maxLevel) {
                    const std::int16_t heard = operatorOutput(
                        ((slot.lastPhase >> 9) +
                         static_cast<std::uint32_t>(slots_[i - 1].output[1])) &
                            0x3ff,
                        std::min(maxLevel, slot.level + levelMade(setup, i)), setup.halfSineMask);
                    lateOutputs_ += pinSum(heard) - pinSum(slot.output[0]);
                    slot.output[0] = heard;
                }
            }
        }
    }
    EnvelopeClock previous[clocks];
    clock(envelopeCounter_ - 1, previous);
    for (std::size_t ch = 3; ch < 9; ++ch) {
        Slot& mod = slots_[ch * 2];
        const Setup& setup = setups_[ch * 2];
        if (!setup.modulator) continue;
        bool stepped = false;
        if (switchedOff && ch >= 7) {
            // The hi-hat and the tom-tom, a frame behind as drums, step once more as they
            // become melody modulators, and run a turn ahead from here: the output their
            // carrier takes next is made from the phase they have now. One whose damping ends
            // there under a sounding carrier keeps its phase running, as a melody modulator does.
            const Slot& car = slots_[ch * 2 + 1];
            stepEnvelope(mod, setup, oldRates[ch * 2], mod.keyOn, previous,
                         car.state != EnvelopeState::release || car.level < maxLevel);
            // The snare drum's or the top cymbal's attack started in the frame before, as a
            // melody carrier's, restarts the modulator's phase in this step (the output the
            // carrier takes next is made from the phase before).
            mod.lastPhase = mod.phase;
            if (car.attackStarted) mod.phase = 0;
            mod.phase = (mod.phase + setup.stepNow) & 0x7ffff;
            mod.turnAhead = stepped = true;
        } else if (setup.key && !mod.keyOn) {
            const std::uint32_t running = mod.phase;
            const bool wasAhead = mod.turnAhead;
            stepEnvelope(mod, setup, setup.rates, true, previous);
            modulationStale_ = modulationStale_ || !mod.turnAhead;
            mod.turnAhead = true;
            // One keyed on when silent attacks at once, its phase running on a turn ahead
            // (one already a turn ahead takes the new step a turn early, as a sounding one).
            if (mod.state == EnvelopeState::attack) {
                mod.phase = (running +
                             (wasAhead ? phaseStep(setup, -1) - oldSteps[ch * 2] : setup.stepNow)) &
                            0x7ffff;
                continue;
            }
        }
        // One running a turn ahead (keyed on as a melody modulator, or left by rhythm mode
        // switched off), sounding or silent, has already moved by its new step.
        if (!stepped && mod.turnAhead)
            mod.phase = (mod.phase + phaseStep(setup, -1) - oldSteps[ch * 2]) & 0x7ffff;
        // Its last output, made in the previous frame: with the tremolo of that frame.
        const int levelBefore =
            setup.baseLevel + (setup.tremolo ? tremolo(setup.lead == 1        ? tremoloCounter_
                                                       : tremoloCounter_ == 0 ? tremoloPeriod - 1
                                                                              : tremoloCounter_ - 1)
                                             : 0);
        if (mod.level < maxLevel)
            mod.output[0] =
                operatorOutput(((mod.lastPhase >> 9) + feedbackOf(setup, mod.lastFeedback)) & 0x3ff,
                               std::min(maxLevel, mod.level + levelBefore), setup.halfSineMask);
        else // (one that a write's rates left silent in that step gave nothing)
            mod.output[0] = 0;
        // A key-off stops the envelope before this frame's step: one attacking from 124 keeps
        // that level through the frame, but one whose attack started only at the end of the
        // frame before (in the key-off's turn, for the chip) goes silent at once.
        if (!setup.key && mod.keyOn) {
            if (mod.state == EnvelopeState::attack && mod.level >= dampEnd && !mod.attackStarted)
                mod.silenceLate = silenceDelay - 1;
            mod.state = mod.rateState = EnvelopeState::release;
            mod.keyOn = mod.keyOffSeen = false;
        }
    }
}

template <bool rhythm, bool wrote> int Ym2413::turn() {
    const std::array<Rates, 18>& oldRates = ratesBeforeWrites_;
    // The noise generator, a 23-bit shift register fed back from bits 0 and 14, steps once per
    // slot; the hi-hat and the snare drum take its output after the 13th and the 16th step.
    const std::uint32_t hhNoise = (noise_ >> 13) & 1;
    const std::uint32_t sdNoise = (noise_ >> 16) & 1;
    const std::uint32_t fedBack = (noise_ ^ (noise_ >> 14)) & 0x1ff;
    noise_ = (noise_ >> 18) | (fedBack | (((noise_ >> 9) ^ fedBack) & 0x1ff) << 9) << 5;
    const std::uint32_t hhPhase = slots_[14].phase >> 9;
    const std::uint32_t tcPhase = slots_[17].phase >> 9;
    // The LFOs move a slot's step or level only every 1024 frames, and at the tremolo's steps of
    // 64 frames where its level changes (a frame apart by the slot's place in the turn): the
    // slots follow them then, and after writes.
    if (modulationStale_ || ((lfoCounter_ + 1) & 1023) <= 2 ||
        (((tremoloCounter_ + 1) & 63) <= 2 &&
         tremoloChanges[(tremoloCounter_ + 1) / 64 % tremoloChanges.size()]))
        modulate();
    auto attenuation = [](const Slot& slot, const Setup& setup) {
        return std::min(maxLevel, slot.level + setup.levelNow);
    };
    // Where the envelope counter stands for the slots a frame behind, level and ahead, and
    // from which rate the slow rates (1-11) step in this frame: in windows of four frames
    // every 2^(13 - rate) frames, a fall in the window's last frame.
    EnvelopeClock clocks[Ym2413::clocks];
    clock(envelopeCounter_, clocks);
    for (std::size_t i : {6u, 8u})
        beforeLastStep_[i / 2 - 3] = {slots_[i].level, slots_[i].state, slots_[i].rateState,
                                      slots_[i].settled, slots_[i].attackStarted};
    int sum = lateOutputs_;
    int late = 0;
    for (int ch = 0; ch < 9; ++ch) {
        Slot& mod = slots_[static_cast<std::size_t>(ch * 2)];
        Slot& car = slots_[static_cast<std::size_t>(ch * 2 + 1)];
        const Setup& modSetup = setups_[static_cast<std::size_t>(ch * 2)];
        const Setup& carSetup = setups_[static_cast<std::size_t>(ch * 2 + 1)];
        const bool drum = rhythm && ch >= 6;
        // The bass drum keys, damps and restarts as a melody channel does.
        const bool melodyKeys = !drum || ch == 6;
        // A write changes a slot's rates from the frame after, but for the melody modulators of
        // channels 3-8, which take it a turn early.
        const bool lags = wrote && !(ch >= 3 && modSetup.modulator);
        // A melody modulator keyed on while its carrier damps, attacks or still sounds in its
        // release keeps its phase running (the carrier's attack restarts it); only a key change
        // or a new state asks (a settled slot never restarts its phase).
        const bool keepPhase = !mod.settled && melodyKeys && modSetup.modulator &&
                               (car.state != EnvelopeState::release || car.level < maxLevel);
        if (!(rhythm && wrote && ch >= 7 && (heldSteps_ >> (ch - 7) & 1)))
            stepEnvelope(mod, modSetup,
                         lags ? oldRates[static_cast<std::size_t>(ch * 2)] : modSetup.rates,
                         modSetup.key, clocks, keepPhase);
        const EnvelopeState carBefore = car.state;
        stepEnvelope(car, carSetup,
                     wrote ? oldRates[static_cast<std::size_t>(ch * 2 + 1)] : carSetup.rates,
                     carSetup.key, clocks);
        // A melody carrier's attack, after damping or from silence, restarts its modulator's
        // phase too (after this frame's output), wherever the modulator's own envelope stands;
        // a key-off that cuts the damping short does not, nor one in the frame the damping ends
        // (the modulator has taken it, the carrier takes it in the frame after).
        if (melodyKeys && carBefore != car.state && car.state != EnvelopeState::release &&
            (carBefore == EnvelopeState::damp || car.state == EnvelopeState::attack) &&
            carSetup.key) {
            mod.phaseReset = true;
            mod.restartedFrom = mod.phase;
            mod.restartedAt = envelopeCounter_;
        }

        const int feedbackIn = feedbackOf(modSetup, mod.output[0] + mod.output[1]);
        std::uint32_t modPhase = (mod.phase >> 9) + static_cast<std::uint32_t>(feedbackIn);
        // The carrier takes the modulator's output of the previous frame.
        std::uint32_t carPhase = (car.phase >> 9) + static_cast<std::uint32_t>(mod.output[0]);
        if (drum && ch != 6) {
            // The hi-hat, snare drum and top cymbal take their phase from bits of the hi-hat's
            // and the top cymbal's phase (the hi-hat sees the cymbal's of the previous turn in
            // rhythm mode) and from the noise.
            auto bit = [](std::uint32_t v, int n) { return (v >> n) & 1; };
            const std::uint32_t tc = ch == 7 ? tcPhasePrevious_ : tcPhase;
            const std::uint32_t hh = hhPhase;
            const std::uint32_t ring =
                (bit(hh, 2) ^ bit(hh, 7)) | (bit(hh, 3) ^ bit(tc, 5)) | (bit(tc, 3) ^ bit(tc, 5));
            if (ch == 7) {
                modPhase = ring << 9 | ((ring ^ hhNoise) ? 0xd0 : 0x34);
                carPhase = bit(hh, 8) << 9 | (bit(hh, 8) ^ sdNoise) << 8;
            } else {
                carPhase = ring << 9 | 0x100;
            }
        }
        mod.earlierPhase = mod.lastPhase;
        mod.earlierFeedback = mod.lastFeedback;
        mod.lastPhase = mod.phase;
        car.lastPhase = car.phase;
        mod.lastFeedback = static_cast<std::int16_t>(mod.output[0] + mod.output[1]);
        mod.output[1] = mod.output[0];
        mod.output[0] = mod.level >= maxLevel
                            ? 0
                            : operatorOutput(modPhase & 0x3ff, attenuation(mod, modSetup),
                                             modSetup.halfSineMask);
        car.output[1] = car.output[0];
        car.output[0] = car.level >= maxLevel
                            ? 0
                            : operatorOutput(carPhase & 0x3ff, attenuation(car, carSetup),
                                             carSetup.halfSineMask);
        mod.phase = ((mod.phaseReset ? 0 : mod.phase) + modSetup.stepNow) & 0x7ffff;
        car.phase = ((car.phaseReset ? 0 : car.phase) + carSetup.stepNow) & 0x7ffff;
        mod.phaseReset = false;
        car.phaseReset = false;

        // Which output phases fall into this frame's window of the pins: channel 5 and one of
        // the hi-hat's two from this turn, the rest from the previous one. Each drum is on the
        // rhythm pin twice.
        if (!drum) {
            (ch == 5 ? sum : late) += pinSum(car.output[0]);
        } else if (ch == 6) {
            late += 2 * pinSum(car.output[0]);
        } else if (ch == 7) {
            late += 2 * pinSum(car.output[0]) + pinSum(mod.output[0]);
            sum += pinSum(mod.output[0]);
        } else {
            late += 2 * pinSum(mod.output[0]) + 2 * pinSum(car.output[0]);
        }
    }
    if constexpr (wrote) heldSteps_ = 0;
    ++envelopeCounter_;
    ++lfoCounter_;
    tremoloCounter_ = tremoloCounter_ + 1 == tremoloPeriod ? 0 : tremoloCounter_ + 1;
    lateOutputs_ = late;
    // The hi-hat's latch of the cymbal's phase is loaded in rhythm mode only.
    if (rhythm) tcPhasePrevious_ = tcPhase;
    return sum;
}

} // namespace synth
