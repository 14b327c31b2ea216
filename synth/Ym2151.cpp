// Ym2151: the frame loop of the OPM model (see Ym2151.h for the register map
// and what is not modelled). Per frame: timers (CSM key-on), noise, LFO, then
// the 32 slots in the chip's order (M1, M2, C1, C2 of channels 0-7 each), each
// slot's phase, envelope and operator, then the channel sums into the DAC word.
// Most frames have no write to take up and no key (CSM's included): those take
// each slot's PM, step and attack rate before the slots, and only when they may
// have moved (takeQuietFrame), and skip the envelopes between their steps when
// none moved in the frame before (runSlots' still); the output is the same as
// the slot-by-slot way the other frames take (tests/synth/Ym2151Test.cpp,
// FramesWithoutWritesSoundAsFramesWithThem).
#include "synth/Ym2151.h"

#include "synth/FmCore.h"
#include "synth/Ym2151Tables.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

namespace synth {

namespace {

constexpr unsigned maxLevel = 0x3FF;
// Outside the attack a level at this or above goes to maxLevel in the next
// frame (see stepEnvelope).
constexpr unsigned silentLevel = 0x3F0;

using Regs = Ym2151Registers;

// Pitch in 64ths of a semitone from C# of octave 0, the highest being C of
// octave 8 less a 64th.
constexpr int maxPitch = 8 * 768 - 1;

// The 5-bit key code (octave and top two bits of the note code) of a pitch.
constexpr unsigned keyCodeOf(int pitch) {
    const unsigned semitone = static_cast<unsigned>(pitch % 768) / 64;
    const unsigned noteCode = semitone + semitone / 3;
    return (static_cast<unsigned>(pitch / 768) << 2) | (noteCode >> 2);
}

// Slots of a channel, by role, and the role of a slot.
using Role = Regs::Operator;
constexpr Role m1 = Regs::m1, m2 = Regs::m2, c1 = Regs::c1, c2 = Regs::c2;

// The modulators of each connection's M2, C1 and C2 (M1 has its feedback), and
// when their output is taken: M1's reaches C1 and C2 in the same frame but M2
// only in the next; C1's reaches M2 and C2 in the next frame; M2's reaches C2
// at once.
enum Source : std::uint8_t { m1Now = 1, m1Late = 2, c1Late = 4, m2Now = 8 };
constexpr std::array<std::array<std::uint8_t, 4>, 8> modulators{{
    //  M1  M2               C1     C2
    {{0, c1Late, m1Now, m2Now}},
    {{0, m1Late | c1Late, 0, m2Now}},
    {{0, c1Late, 0, m1Now | m2Now}},
    {{0, 0, m1Now, c1Late | m2Now}},
    {{0, 0, m1Now, m2Now}},
    {{0, m1Late, m1Now, m1Now}},
    {{0, 0, m1Now, 0}},
    {{0, 0, 0, 0}},
}};

// The operator's output magnitude has 13 bits; its attenuation is in 1/64
// octaves (1/256 octaves shifted by 2).
constexpr unsigned operatorBits = 13;

// Envelope steps (the slow rates' pattern is the FM core's). Below rate 48 a step of 1 comes every
// 2^(11 - rate/4) counts of the envelope counter, thinned by the sub-rate's pattern over eight such
// counts. From rate 48 there is a step at every count, of 2^(rate/4 - 12),
// doubled on the counts the sub-rate's four-count pattern marks; from rate 60
// the step is 8.
constexpr std::array<std::array<std::uint8_t, 4>, 4> fastDoubling{{
    {0, 0, 0, 0},
    {0, 1, 0, 0},
    {0, 1, 0, 1},
    {1, 1, 0, 1},
}};

constexpr unsigned envelopeIncrement(unsigned rate, std::uint32_t counter) {
    if (rate == 0) return 0;
    if (rate < 48) {
        const unsigned shift = 11 - (rate >> 2);
        if ((counter & ((1u << shift) - 1)) != 0) return 0;
        return fm::envelopeSteps[rate & 3][(counter >> shift) & 7];
    }
    if (rate >= 60) return 8;
    return (1u << ((rate >> 2) - 12)) << fastDoubling[rate & 3][counter & 3];
}

// A signed value scaled by a 7-bit depth, rounded towards zero as the chip's
// sign-and-magnitude arithmetic does.
constexpr int scaleSigned(int value, unsigned depth) {
    const int magnitude = ((value < 0 ? -value : value) * static_cast<int>(depth)) >> 7;
    return value < 0 ? -magnitude : magnitude;
}

// The DAC: the clipped 16-bit sum as the 10-bit mantissa and 3-bit exponent
// the chip sends, then the level ((m - 512) << e) >> 1 the DAC makes of it.
constexpr std::int16_t dacLevel(int sum) {
    sum = std::clamp(sum, -32768, 32767);
    // The exponent is 1 plus the shift that brings the sum into 10 bits.
    const unsigned magnitude = static_cast<unsigned>(sum < 0 ? ~sum : sum);
    const unsigned width = static_cast<unsigned>(std::bit_width(magnitude));
    const unsigned exponent = width > 9 ? width - 8 : 1;
    const int mantissa = (sum >> (exponent - 1)) + 512;
    return static_cast<std::int16_t>(((mantissa - 512) * (1 << exponent)) >> 1);
}

// Where the chip's slot pipeline takes up a write, counting the first frame
// generated after it as frame 0: position p applies it just before slot p % 32
// of frame p / 32. Channel registers reach the slots from M2 of channel 4 on in
// frame 0 (the slots before it in frame 1), operator registers reach slots 4 on
// in frame 1 (the slots before them in frame 2), and a key-on reaches every
// slot in frame 2, a key-off in frame 1 (keyOffPosition).
constexpr std::uint8_t keyOffPosition = 32;
// The first slot an operator register reaches in frame 1.
constexpr unsigned firstSlotOfOperatorWrites = 4;

// A PM offset that the channel's PMS brings to 0 from a negative value: no
// offset, but the sign still counts (see phaseStep).
constexpr int negativeZeroPm = std::numeric_limits<int>::min();

// The phase step (at octave 2, before DT1 and MUL) of a note left on an
// unused note code by a negative PM, for its KF after the offset: it repeats
// every 16 KF steps, rising by 2 per step and by 4, 5 and 6 more at each
// quarter (values measured on the die-shot-derived emulator,
// tests/synth/Ym2151OracleTest.cpp, UnusedNoteCodes).
constexpr std::uint32_t unusedCodeStep(unsigned kf) {
    const unsigned quarter = (kf >> 2) & 3;
    return 2 * (kf & 3) + quarter * (quarter + 7) / 2;
}

// The codes and KF by which DT2 1 and 3 move a note on an unused code (see
// noteReached; DT2 2 moves it onto a used code, as the pitch does).
constexpr unsigned detuneLeavingUnused = 2;
constexpr std::array<unsigned, 4> unusedCodeDetuneCodes{0, 8, 0, 12};
constexpr std::array<unsigned, 4> unusedCodeDetuneFraction{0, 0, 0, 32};

// The depth bits each frame of a multiplier's turn takes, a pair a frame, the
// top pair first (see LfoMultiplier::clock).
constexpr std::array<unsigned, 4> turnFirstBits{0x40, 0x10, 0x04, 0x01};
constexpr std::array<unsigned, 4> turnSecondBits{0x20, 0x08, 0x02, 0x00};
// Frames from the LFO reset taking hold to the first turn's end whose product
// it reaches whole (see LfoMultiplier::takeReset).
constexpr unsigned lfoResetReach = 4;
// The low bits of the wave each pair's first bit multiplies by the depth as it
// stood before a write in the pair's frame (see LfoMultiplier::clock).
constexpr std::array<unsigned, 4> earlyWaveBits{0x00, 0x00, 0x03, 0x0F};
// The bits of the phase the reset leaves to AM's first bits in its frame.
constexpr unsigned lfoResetHalfBits = 0x1F;
// The bits of the phase a step counts when the noise wave is selected in its
// frame (the noise loads the rest).
constexpr unsigned lfoSwitchCountedBits = 0x1F;

// Where in the free-running eight-frame cycle of the LFO each multiplier's turn
// begins (see LfoMultiplier::clock).
constexpr unsigned amTurnStart = 1;
constexpr unsigned pmTurnStart = 5;
// The bit above the PM product's seven.
constexpr unsigned pmCarry = 0x80;
// The LFO's waveforms by their W value: saw, square, triangle, noise.
constexpr unsigned squareWave = 1;
constexpr unsigned triangleWave = 2;
constexpr unsigned noiseWave = 3;
// The multiplier's pair of depth bits that holds bit 0 alone (the turn's last).
constexpr unsigned lastBitPair = 3;
constexpr unsigned lfoByteMask = 0xFF;
// The phase's bit 7: set, the noise wave's value (the phase inverted) is negative.
constexpr unsigned lfoNoiseNegative = 0x80;
// The phase's ninth bit: the triangle rises.
constexpr unsigned triangleDirection = 0x100;

// Timer A counts frames up from its period to this overflow. A load overflows
// it two frames on (keying in CSM), its period counted from there.
constexpr unsigned timerAOverflow = 1024;
constexpr unsigned timerALoadFrames = 2;
// The first slot CSM keys in the frame timer A overflows.
constexpr unsigned firstCsmSlot = 5;

// Room for the writes a driver makes between two frames, reserved at once.
constexpr std::size_t usualPendingWrites = 64;

// Where the chip's pipeline splits the slots (slot = role * 8 + channel). Its
// two outputs are accumulated over windows 16 phases apart: on the left (bit 6
// of 0x20-0x27) the slots from M2 of channel 7 (slot 15) on reach the DAC a
// frame late, on the right only the last slot, C2 of channel 7 (31), does. The
// LFO's PM value reaches the slots from C1 of channel 7 (23) on a frame before
// the slots ahead of them.
constexpr unsigned firstLateLeftSlot = 15;
// C2 of the channels from 4 on meets RL a frame after its value is computed,
// as the sums are made, so the model gives each frame's sums a frame late.
constexpr unsigned firstHeldChannel = 4;
constexpr unsigned firstLatePmSlot = 23;
// PM's sign with a magnitude of 0 (which moves a note on an unused code)
// counts from PMD written other than 0 on, and stops with PMD written 0: at
// once for the slots from M2 of channel 3 (11) on, a frame later for the
// slots before them.
constexpr unsigned firstPmSignAtOnceSlot = 11;

// Frames from a step of the LFO to the PM magnitude of its new phase, for the
// slots from C1 of channel 7 on.
constexpr unsigned lfoPmDelay = 8;

// The noise generator: 17 bits, the newest (bit 0) the noise's sign, each new
// bit the XOR of the bits 14 and 17 steps back; its state and its timer's count
// after reset.
constexpr std::uint32_t noiseSeed = 0x1FF68;

// The noise's output for an attenuation and the noise bit, as measured on the
// die-shot-derived emulator (tests/synth/Ym2151OracleTest.cpp, NoiseLevel;
// the two highest attenuations by the stream noise_fading): the negative value
// is -8 from attenuation 0x3FE on, where 0x3FC and 0x3FD give -1.
constexpr std::int16_t noiseOutput(unsigned attenuation, bool positive) {
    constexpr int silentNegative = -8;
    constexpr unsigned silentFrom = maxLevel - 1;
    const int magnitude = static_cast<int>(((attenuation ^ maxLevel) >> 2) << 3);
    if (positive) return static_cast<std::int16_t>(magnitude);
    return static_cast<std::int16_t>(attenuation >= silentFrom ? silentNegative : ~magnitude);
}
constexpr unsigned noiseTimerStart = 4;
constexpr std::uint32_t noiseStepped(std::uint32_t shift) {
    return ((shift << 1) | (((shift >> 13) ^ (shift >> 16)) & 1)) & 0x1FFFF;
}
// The register one step before: the inverse of noiseStepped.
constexpr std::uint32_t noiseSteppedBack(std::uint32_t shift) {
    return (shift >> 1) | (((shift ^ (shift >> 14)) & 1) << 16);
}
constexpr unsigned fastestNoise = 31;

// The parity masks over the noise register that give the noise bit d steps
// ahead, for d = (2 + b) / 16 modulo the sequence's period 2^17 - 1 (so 8192 x
// (2 + b)), b = 0 to 8: nine consecutive bits of the noise sequence counted
// sixteen times finer than the model steps it, the eight of the noise wave's
// value and the ninth the triangle's direction it loads (see stepLfo). Each
// step ahead turns the mask for bit 0 of the next register into one over this
// one.
constexpr std::array<std::uint32_t, 9> lfoNoiseTaps() {
    constexpr std::uint32_t sixteenth = 8192;
    std::array<std::uint32_t, 9> taps{};
    std::uint32_t mask = 1;
    std::uint32_t ahead = 0;
    for (unsigned b = 0; b < taps.size(); ++b) {
        for (; ahead < sixteenth * (2 + b); ++ahead)
            mask = (mask >> 1) ^ ((mask & 1) != 0 ? (1u << 13) | (1u << 16) : 0);
        taps[b] = mask;
    }
    return taps;
}
constexpr std::array<std::uint32_t, 9> lfoNoiseMasks = lfoNoiseTaps();
// The noise wave's value has eight bits; the ninth is the direction.
constexpr unsigned lfoNoiseValueBits = 8;
// The LFO reads bits 0-2 of the noise wave's value and bits 3-7 at different
// points of the frame (see stepLfo).
constexpr unsigned lfoNoiseLateBits = 3;

// A linear map of the noise register: each bit the parity of the bits in its
// row's mask.
using NoiseMap = std::array<std::uint32_t, 17>;
constexpr std::uint32_t applyNoiseMap(const NoiseMap& map, std::uint32_t shift) {
    std::uint32_t out = 0;
    for (unsigned bit = 0; bit < map.size(); ++bit)
        out |= static_cast<std::uint32_t>(std::popcount(map[bit] & shift) & 1) << bit;
    return out;
}
// The inverse of an invertible map, by Gauss-Jordan elimination over GF(2):
// reducing the map's rows to the identity turns the identity alongside into
// the inverse's rows.
constexpr NoiseMap invertNoiseMap(const NoiseMap& map) {
    NoiseMap rows = map;
    NoiseMap inverse{};
    for (unsigned bit = 0; bit < rows.size(); ++bit)
        inverse[bit] = 1u << bit;
    for (unsigned column = 0; column < rows.size(); ++column) {
        unsigned pivot = column;
        while (((rows[pivot] >> column) & 1) == 0)
            ++pivot;
        std::swap(rows[pivot], rows[column]);
        std::swap(inverse[pivot], inverse[column]);
        for (unsigned r = 0; r < rows.size(); ++r) {
            if (r != column && ((rows[r] >> column) & 1) != 0) {
                rows[r] ^= rows[column];
                inverse[r] ^= inverse[column];
            }
        }
    }
    return inverse;
}
constexpr NoiseMap noiseEnteringFire = invertNoiseMap(ym2151::noiseLeavingRate31);
// The noise register, and the register before its latest step, as a new NFRQ
// leaves them with the noise timer at `counter` (see apply).
struct NoiseForm {
    std::uint32_t shift;
    std::uint32_t before;
};
constexpr NoiseForm noiseAfterRateWrite(unsigned counter, unsigned rate, unsigned newRate,
                                        NoiseForm form) {
    const bool firing = counter == fastestNoise - rate;
    const bool willFire = counter == fastestNoise - newRate;
    if (firing && !willFire) form.shift = applyNoiseMap(ym2151::noiseLeavingRate31, form.shift);
    if (willFire && !firing) form.shift = applyNoiseMap(noiseEnteringFire, form.shift);
    if (firing != willFire) form.before = noiseSteppedBack(form.shift);
    return form;
}
constexpr unsigned writePosition(unsigned address) {
    if (address == Regs::keyOn) return 64;
    if (address >= Regs::channelControlBase && address < Regs::detuneMultipleBase) return 12;
    if (address >= Regs::detuneMultipleBase) return 32 + firstSlotOfOperatorWrites;
    return 0;
}

// Each LFO waveform's AM value and PM magnitude, by W, for a phase and the
// triangle's value (the multipliers read the one selected, see
// LfoMultiplier::clock). Saw: AM falls over the period, PM rises through zero,
// -127 to 127. Triangle: AM the count, PM its distance from the nearer end,
// negative while it rises. Noise: AM the value, PM the noise bits uninverted,
// read as a one's complement byte (bit 7 the sign).
constexpr std::array<unsigned, 4> lfoAmValues(unsigned phase, unsigned triangle) {
    const unsigned noiseValue = ~phase & 0xFF;
    return {255 - phase, phase >= 128 ? 0u : 255u, triangle, noiseValue};
}
constexpr std::array<unsigned, 4> lfoPmMagnitudes(unsigned phase, unsigned triangle) {
    const unsigned q = phase & 127;
    const unsigned noiseValue = ~phase & 0xFF;
    const bool noiseNegative = noiseValue < 128;
    return {phase >= 128 ? 127 - q : q, 128, triangle >= 128 ? 255 - triangle : triangle,
            (noiseNegative ? noiseValue : noiseValue ^ 127) & 127};
}

} // namespace

Ym2151::Ym2151(std::uint32_t) {
    pending_.reserve(usualPendingWrites);
    reset();
}

void Ym2151::reset() {
    registers_ = Ym2151Registers{};
    amMultiplier_ = LfoMultiplier{};
    pmMultiplier_ = LfoMultiplier{};
    pmCleared_ = false;
    lfoWaveBefore_ = LfoWave{};
    waveWritten_ = 0;
    rateWritten_ = 0;
    lfoHeldWritten_ = false;
    lfoHeldBefore_ = false;
    lfoHeldLoad_ = 0;
    lfoHeldLoaded_ = false;
    lfoHeldRising_ = false;
    lfoHeldInCycle_ = false;
    lfoResetAge_ = lfoResetReach;
    lfoPhaseBeforeReset_ = 0;
    lfoRisingBeforeReset_ = false;
    lfoNoiseSignPhase_ = 0;
    lfoNoiseSignHeld_ = false;
    waveWrittenBefore_ = 0;
    slots_.fill(Slot{});
    channels_.fill(Channel{});
    pmChannels_ = 0;
    pmOnChannels_ = 0;
    pmMoved_ = true;
    ratesMoved_ = true;
    channelPmEarly_.fill(0);
    channelPmMiddle_.fill(0);
    channelPmLate_.fill(0);
    pmTakenFrom_.fill(0);
    bandWrittenSlots_ = 0;
    csmKeyedSlots_ = 0;
    frameCount_ = 0;
    for (unsigned ch = 0; ch < channels_.size(); ++ch)
        takeOutputs(ch, 0);
    egDivider_ = 1;
    egCounter_ = 0;
    egTick_ = false;
    envelopesMoved_ = true;
    endsToCheck_ = true;
    lfoSteps_ = 0;
    lfoPrescale_ = 2;
    lfoCycle_ = 2;
    lfoPhase_ = 0;
    lfoRandom_ = 0xFF; // the noise wave's value before the LFO's first step
    lfoNoiseFirstNegative_ = false;
    lfoFirstCount_ = 1;
    lfoAm_ = 0;
    lfoAmModulators_ = 0;
    lfoPm_ = 0;
    lfoPmEarly_ = 0;
    lfoPmNegativeLate_ = false;
    lfoPmNegativeEarly_ = false;
    lfoPmNegativeMiddle_ = false;
    lfoPmMiddle_ = 0;
    lfoPmNegative_ = false;
    lfoPhaseHistory_.fill(0);
    pmSignWave_ = 0;
    lfoFramesSinceStep_ = lfoPmDelay;
    lfoHistoryIndex_ = 0;
    noiseShift_ = noiseSeed;
    noiseCounter_ = noiseTimerStart;
    noiseMidFrame_ = noiseSeed;
    noiseBeforeStep_ = noiseSeed;
    timerA_ = 0;
    timerAPeriod_ = 0;
    csmKey_ = false;
    csmKeyLate_ = false;
    csmKeyEarlier_ = false;
    csmKeyNext_ = false;
    csmKeyAfterNext_ = false;
    timerALoadBefore_ = false;
    timerALoadBefore2_ = false;
    csmBefore_ = false;
    lateLeft_ = 0;
    previousLeft_ = 0;
    previousRight_ = 0;
    heldC2_.fill(0);
    nextHeldC2_.fill(0);
    heldNoise_ = 0;
    nextHeldNoise_ = 0;
    pending_.clear();
    for (unsigned s = 0; s < 32; ++s)
        updateStep(s);
}

// Every write waits for its point in the pipeline, however many arrive between
// two frames: the queue grows when a burst needs it and keeps its capacity.
void Ym2151::write(std::uint8_t address, std::uint8_t data) {
    // The multipliers see a waveform selected at once (see LfoMultiplier::clock).
    if (address == Regs::lfoWaveform) waveWritten_ = Regs::lfoWaveField::of(data);
    // So does LFRQ the rate multiplier's extra step (see stepLfo()).
    if (address == Regs::lfoFrequency) rateWritten_ = data;
    // And the LFO reset its phase (see stepLfo()).
    if (address == Regs::test) lfoHeldWritten_ = Regs::lfoResetField::of(data);
    // A depth reaches the LFO's multiplier at once, bit by bit (see stepLfo()).
    if (address == Regs::lfoDepth)
        (Regs::depthSelectField::of(data) ? pmMultiplier_ : amMultiplier_).depth =
            Regs::depthField::of(data);
    // RL and which roles the connection sends out reach the sums at once: the
    // values of this frame on, and C2's of channels 4-7 from the frame before
    // (see frame()).
    if (Regs::isChannelRegister(address, Regs::channelControlBase)) takeOutputs(address & 7, data);
    if (address == Regs::keyOn) {
        // A key-off reaches the envelopes a frame before a key-on does.
        pending_.push_back({address, data, keyOffPosition, true});
    }
    pending_.push_back({address, data, static_cast<std::uint8_t>(writePosition(address)), false});
}

// RL and the roles the connection sends out, from a byte of 0x20-0x27.
void Ym2151::takeOutputs(unsigned ch, std::uint8_t data) {
    Channel& c = channels_[ch];
    c.leftOn = Regs::leftField::of(data) != 0;
    c.rightOn = Regs::rightField::of(data) != 0;
    c.carrierRoles = 0;
    for (unsigned role = 0; role < 4; ++role)
        if (Regs::isCarrier(Regs::connectionField::of(data), static_cast<Role>(role)))
            c.carrierRoles |= static_cast<std::uint8_t>(1u << role);
}

void Ym2151::applyPending(unsigned position) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        const PendingWrite& w = pending_[i];
        if (w.position == position) {
            if (w.keyOffOnly) {
                applyKeyOff(w.data);
            } else {
                apply(w.address, w.data);
                if (Regs::isSlotRegister(w.address, Regs::attackBase))
                    takeAttackRateBeforeKeyOn(w.address & 0x1F, i);
            }
        } else {
            pending_[kept++] = w;
        }
    }
    pending_.resize(kept);
}

// The chip takes a write at most every frame, so that a KS or AR written before
// a key-on always reaches the slot in a frame before the key-on's. Written
// together with it (a burst the chip's busy flag would have spread out), it
// reaches slots 0-3 after their turn in that frame: the instant attack then
// goes by the rate as it reached them.
void Ym2151::takeAttackRateBeforeKeyOn(unsigned slot, std::size_t written) {
    if (slot >= firstSlotOfOperatorWrites) return;
    Slot& s = slots_[slot];
    const Role role = Regs::operatorOfSlot(slot);
    for (std::size_t j = written + 1; j < pending_.size(); ++j) {
        const PendingWrite& w = pending_[j];
        if (w.address == Regs::keyOn && !w.keyOffOnly &&
            Regs::keyOnChannelField::of(w.data) == (slot & 7) &&
            (Regs::keyOnSlotsField::of(w.data) & Regs::keyOnBit(role)) != 0) {
            s.attackRateBefore = s.rates()[static_cast<unsigned>(EgState::attack)];
            return;
        }
    }
}

void Ym2151::applyKeyOff(std::uint8_t data) {
    const unsigned keys = Regs::keyOnSlotsField::of(data);
    for (unsigned s = 0; s < 4; ++s) {
        const Role role = Regs::operatorOfSlot(s * 8);
        Slot& slot = slots_[Regs::slot(Regs::keyOnChannelField::of(data), role)];
        if ((keys & Regs::keyOnBit(role)) == 0)
            slot.keyRegister = false;
        else if (!slot.keyRegister)
            slot.holdLevel = slot.keyOnNext = true;
    }
}

void Ym2151::apply(std::uint8_t address, std::uint8_t data) {
    if (address == Regs::keyOn) {
        const unsigned keys = Regs::keyOnSlotsField::of(data);
        for (unsigned s = 0; s < 4; ++s) {
            const Role role = Regs::operatorOfSlot(s * 8);
            Slot& slot = slots_[Regs::slot(Regs::keyOnChannelField::of(data), role)];
            slot.keyRegister = (keys & Regs::keyOnBit(role)) != 0;
            slot.keyOnNext = false;
        }
        return;
    }
    if (address == Regs::lfoDepth) return;
    // A write of LFRQ starts the LFO's count of prescaler turns again (the
    // eight-frame prescaler runs on).
    if (address == Regs::lfoFrequency) lfoPrescale_ &= 7;
    // The load bit starts timer A from its period when it goes from 0 to 1, and
    // the load keys as an overflow does, two frames on.
    if (address == Regs::timerControl && Regs::timerALoadField::of(data) &&
        !registers_.timerALoad()) {
        timerA_ = timerAOverflow - timerALoadFrames;
    }
    // The noise register takes another form while its timer is about to fire
    // (always so at rate 31): a new NFRQ that ends that turns it as leaving rate
    // 31 does, one that brings it turns it back. The register before its latest
    // step, which the LFO's noise wave reads, is then the new form's step back
    // (found in random writes: NFRQ 30 to 16 two frames before a step of the
    // noise wave at frame 337,371 of seed 1; measured with AM on the noise,
    // whose level gives the wave, NFRQ 30 and 31 left and entered a few frames
    // before steps at three LFRQs; stream lfo_noise_after_noise_rate_writes).
    if (address == Regs::noise) {
        const NoiseForm form = noiseAfterRateWrite(noiseCounter_, registers_.noiseFrequency(),
                                                   Regs::noiseFrequencyField::of(data),
                                                   {noiseShift_, noiseBeforeStep_});
        noiseShift_ = form.shift;
        noiseBeforeStep_ = form.before;
    }
    registers_.write(address, data);
    if (Regs::isChannelRegister(address, Regs::channelControlBase) ||
        Regs::isChannelRegister(address, Regs::sensitivityBase))
        updateChannel(address & 7);
    if (address >= Regs::keyCodeBase && address < Regs::sensitivityBase) {
        for (unsigned role = 0; role < 4; ++role) {
            updateStep(Regs::slot(address & 7, Regs::operatorOfSlot(role * 8)));
            updateRates(Regs::slot(address & 7, Regs::operatorOfSlot(role * 8)));
        }
    } else if (address >= Regs::detuneMultipleBase) {
        updateStep(address & 0x1F);
        updateRates(address & 0x1F);
        if (Regs::isSlotRegister(address, Regs::decay1Base)) updateChannel(address & 7);
    }
}

// A channel's KC and KF as a pitch in 64ths of a semitone from C# of octave 0.
// The unused note codes 3, 7, 11 and 15 sound as the code after them (the
// next octave's C# for 15), and the key scaling of the envelope rates sees
// them so too.
int Ym2151::pitch(unsigned ch) const {
    const unsigned kc = registers_.keyCode(ch);
    const unsigned note = kc & 15;
    return static_cast<int>((kc >> 4) * 768 + (note - (note >> 2)) * 64 +
                            registers_.keyFraction(ch));
}

// A PM on a note on an unused code moves it from the code after it: the PM's
// whole semitones step over the unused codes as from the first code of a
// group of four, but KF's carry into the next code steps over none, so that
// the note lands on an unused code (at its small step) when it carries from
// the third code of a group. A negative PM is added as the one's complement of
// its magnitude with a carry into KF, so that one of 0 with the sign set, or
// one that borrows nothing from KF, leaves the note on its unused code.
// Measured on the die-shot-derived emulator for every note code of an octave,
// four KFs and offsets -508 to 508 (the phase step read from a sine's output:
// 10,960 of 10,960 fit); compared in the streams pm_carried_from_unused_codes
// and pm_unused_codes. Gives the note reached as octave << 10 | note code << 6
// | KF, before DT2 (see noteReached), or nothing where the rule does not apply
// (a used code, no PM, or a note moved outside the eight octaves).
std::optional<unsigned> Ym2151::carriedFromUnusedCode(unsigned slot, int pmOffset) const {
    const unsigned kc = registers_.keyCode(slot & 7);
    if (pmOffset == 0 || (kc & 3) != 3) return std::nullopt;
    constexpr int semitonesPerOctave = 12, codesPerGroup = 4, semitonesPerGroup = 3;
    const bool negative = pmOffset < 0;
    const int magnitude = pmOffset == negativeZeroPm ? 0 : std::abs(pmOffset);
    const int added = negative ? ~magnitude : magnitude;
    const int fraction =
        static_cast<int>(registers_.keyFraction(slot & 7)) + (added & 63) + (negative ? 1 : 0);
    const int reached = static_cast<int>(kc >> 4) * semitonesPerOctave +
                        static_cast<int>((kc & 15) + 1) / codesPerGroup * semitonesPerGroup +
                        (added >> 6);
    // Below octave 0 the note is held at its bottom, code 0 with KF 0 (measured
    // with notes on codes 3 and 7 of octave 0 at four KFs and every DT2 under
    // the triangle's PM at PMS 7; stream pm_unused_codes_below_octave_0).
    if (reached < 0) return 0u;
    const unsigned within = static_cast<unsigned>(reached % semitonesPerOctave);
    const unsigned octave = static_cast<unsigned>(reached / semitonesPerOctave);
    const unsigned note = within / semitonesPerGroup * codesPerGroup + within % semitonesPerGroup;
    const unsigned code = (octave << 4 | note) + static_cast<unsigned>(fraction >> 6);
    if (code > 0x7F) return std::nullopt;
    return code << 6 | static_cast<unsigned>(fraction & 63);
}

// DT2 comes after the PM: a note the PM leaves on an unused code (see
// carriedFromUnusedCode) DT2 1 and 3 move by whole groups of four codes (1 by
// two, 3 by three and 32 KF), so that it stays on an unused code at its small
// step, unless DT2 3's 32 KF carries; then, as from a used code and under DT2
// 2, DT2 is added to the pitch, an unused code sounding as the code after it.
// Measured on the die-shot-derived emulator for code 7 of octave 3 under DT2
// 3, every KF and every positive PM of PMS 7 (the phase step read from a
// sine's output: 8,128 of 8,128 fit), and for unused codes of octaves 1-6,
// eight KFs and PM -2 and -40 under DT2 1 and 3 (streams pm_unused_codes_dt2,
// pm_carried_from_unused_codes_dt2). Gives the note as carriedFromUnusedCode
// does, on an unused code only at its small step.
std::optional<unsigned> Ym2151::noteReached(unsigned slot, int pmOffset) const {
    const std::optional<unsigned> carried = carriedFromUnusedCode(slot, pmOffset);
    const unsigned dt2 = registers_.detune2(slot);
    if (!carried || dt2 == 0) return carried;
    const unsigned code = *carried >> 6;
    const unsigned fraction = *carried & 63;
    if ((code & 3) == 3 && dt2 != detuneLeavingUnused &&
        fraction + unusedCodeDetuneFraction[dt2] < 64 && code + unusedCodeDetuneCodes[dt2] <= 0x7F)
        return (code + unusedCodeDetuneCodes[dt2]) << 6 |
               (fraction + unusedCodeDetuneFraction[dt2]);
    const unsigned sounding = code + ((code & 3) == 3 ? 1 : 0);
    const unsigned note = sounding & 15;
    const int pitch = std::min(static_cast<int>((sounding >> 4) * 768 + (note - (note >> 2)) * 64 +
                                                fraction + ym2151::coarseDetune[dt2]),
                               maxPitch);
    const unsigned semitone = static_cast<unsigned>(pitch % 768) / 64;
    return (static_cast<unsigned>(pitch / 768) << 4 | (semitone + semitone / 3)) << 6 |
           static_cast<unsigned>(pitch % 64);
}

std::uint32_t Ym2151::phaseStep(unsigned slot, int pmOffset) const {
    const unsigned mul = registers_.multiple(slot);
    const int pm = pmOffset == negativeZeroPm ? 0 : pmOffset;
    std::uint32_t step = 0;
    unsigned keyCode = 0;
    if (const std::optional<unsigned> reached = noteReached(slot, pmOffset)) {
        const unsigned code = *reached >> 6;
        const unsigned note = code & 15;
        const unsigned octave = code >> 4;
        step = (note & 3) == 3
                   ? (unusedCodeStep(*reached & 63) << octave) >> 2
                   : (ym2151::noteStep[(note - note / 4) * 64 + (*reached & 63)] << octave) >> 2;
        keyCode = code >> 2;
    } else {
        // The PM is added to the note before DT2 and held at the bottom of
        // octave 0 there; DT2 then adds to it, and only that sum is held at the
        // top of octave 7 (so a note DT2 moves past the top keeps its place
        // there for the PM). Measured with DT2 1-3 on notes of octaves 6 and 7
        // under PM of both signs (stream pm_past_octave_7), and on the lowest
        // notes under a negative PM, the phase and the key scaling (stream
        // pm_below_octave_0).
        const int detune = static_cast<int>(ym2151::coarseDetune[registers_.detune2(slot)]);
        const int index = std::min(std::max(pitch(slot & 7) + pm, 0) + detune, maxPitch);
        const unsigned octave = static_cast<unsigned>(index) / 768;
        step = (ym2151::noteStep[static_cast<unsigned>(index) % 768] << octave) >> 2;
        keyCode = keyCodeOf(index);
    }
    const unsigned dt1 = registers_.detune1(slot);
    const unsigned offset = ym2151::detuneStep[dt1 & 3][keyCode];
    step = ((dt1 & 4) ? step - offset : step + offset) & 0x1FFFF;
    return mul ? step * mul : step >> 1;
}

void Ym2151::updateChannel(unsigned ch) {
    Channel& c = channels_[ch];
    const unsigned con = registers_.connection(ch);
    for (unsigned role = 0; role < 4; ++role) {
        c.sources[role] = modulators[con][role];
        const unsigned slot = Regs::slot(ch, static_cast<Role>(role));
        const unsigned ams = registers_.amSensitivity(ch);
        slots_[slot].amShift =
            registers_.amEnabled(slot) && ams != 0 ? static_cast<int>(ams) - 1 : -1;
    }
    const unsigned fb = registers_.feedback(ch);
    c.feedbackShift = static_cast<std::uint8_t>(fb == 0 ? 0 : 10 - fb);
    c.pmSensitivity = static_cast<std::uint8_t>(registers_.pmSensitivity(ch));
    pmChannels_ = static_cast<std::uint8_t>((pmChannels_ & ~(1u << ch)) |
                                            (c.pmSensitivity != 0 ? 1u << ch : 0u));
    takePm(ch);
}

void Ym2151::updateStep(unsigned slot) {
    slots_[slot].step = phaseStep(slot, 0);
    slots_[slot].pmOffset = 0;
}

// The envelope rates of a slot's four states: twice the 5-bit rate (four times
// the release rate, plus 2) plus the 5-bit key code scaled by KS, the key code
// of the note as the phase takes it (after DT2 and the LFO's PM); a rate of 0
// stays 0.
std::array<std::uint8_t, 4> Ym2151::envelopeRates(unsigned slot, int pmOffset) const {
    const Slot& s = slots_[slot];
    const std::optional<unsigned> carried = noteReached(slot, pmOffset);
    if (pmOffset == negativeZeroPm) pmOffset = 0;
    const unsigned keyCode =
        carried ? *carried >> 8
                : keyCodeOf(std::min(
                      std::max(s.coarsePitch + pmOffset,
                               static_cast<int>(ym2151::coarseDetune[registers_.detune2(slot)])),
                      maxPitch));
    const unsigned scaled = keyCode >> s.keyScaleShift;
    std::array<std::uint8_t, 4> rates{};
    for (unsigned i = 0; i < rates.size(); ++i)
        rates[i] = static_cast<std::uint8_t>(
            s.rateBases[i] == 0 ? 0 : std::min(s.rateBases[i] + scaled, 63u));
    return rates;
}

void Ym2151::updateRates(unsigned slot) {
    Slot& s = slots_[slot];
    s.coarsePitch =
        pitch(slot & 7) + static_cast<int>(ym2151::coarseDetune[registers_.detune2(slot)]);
    s.keyScaleShift = static_cast<std::uint8_t>(3 - registers_.keyScale(slot));
    s.rateBases[static_cast<unsigned>(EgState::attack)] =
        static_cast<std::uint8_t>(registers_.attackRate(slot) * 2);
    s.rateBases[static_cast<unsigned>(EgState::decay)] =
        static_cast<std::uint8_t>(registers_.decay1Rate(slot) * 2);
    s.rateBases[static_cast<unsigned>(EgState::sustain)] =
        static_cast<std::uint8_t>(registers_.decay2Rate(slot) * 2);
    s.rateBases[static_cast<unsigned>(EgState::release)] =
        static_cast<std::uint8_t>(registers_.releaseRate(slot) * 4 + 2);
    s.plainRates = envelopeRates(slot, 0);
    s.totalLevel = static_cast<std::uint16_t>(registers_.totalLevel(slot) << 3);
    const auto band = static_cast<std::uint8_t>(
        registers_.decay1Level(slot) == 15 ? 31 : registers_.decay1Level(slot));
    const std::uint32_t slotBit = 1u << slot;
    bandWrittenSlots_ =
        band != s.sustainBand ? bandWrittenSlots_ | slotBit : bandWrittenSlots_ & ~slotBit;
    if (band != s.sustainBand) s.bandBefore = s.sustainBand;
    s.sustainBand = band;
    enterState(s, s.state);
}

void Ym2151::enterState(Slot& s, EgState state) {
    s.state = state;
    // The levels that end the state (none for the sustain and the release).
    s.endFrom = state == EgState::attack  ? 0
                : state == EgState::decay ? static_cast<std::uint16_t>(s.sustainBand << 5)
                                          : noEnd;
    s.endSpan = state == EgState::decay ? decayEndSpan : 0;
}

// The attack ends at level 0, the first decay at the sustain level; the other
// states end only by a key. A state moves on one a frame, looking at the level
// of the frame before and before a key of this frame: a key-on's attack at the
// fastest rates ends in the frame after it, its first decay in the next. The
// first decay ends when the level is within 15 above the sustain level (its
// top six bits equal D1L's, with a 0 below; measured with D1L written during a
// fast decay, d1l_written_in_decay), not past it: under a D1L lowered below
// the level it runs on to the end.
// A D1L written in the frame ends the first decay only in the next; in this
// one, at its band, the decay takes no step. A decay begun in the frame before
// after a key-on that found the level at 0 or took it there at once (an
// instant attack; D1L 0) still ends in it, by the D1L before the write; one
// whose attack stepped to 0 in the key-on's frame does not (found in random
// writes; measured with D1L rewritten at every frame after instant and other
// attacks, from D1L 0, 2 and 4 to others, under several first and second decay
// rates, and in the frames around the decay's start after attacks at several
// rates from silence and from levels 0 and 1; stream
// d1l_written_after_key_on_at_zero).
// Without a write taken up in the frame or the one before (written false), no
// D1L has been written.
template <bool written> inline void Ym2151::endState(unsigned slot) {
    Slot& s = slots_[slot];
    bool bandWritten = false;
    if (written && bandWrittenSlots_ != 0) {
        bandWritten = ((bandWrittenSlots_ >> slot) & 1) != 0;
        bandWrittenSlots_ &= ~(1u << slot);
    }
    if (bandWritten && s.state == EgState::decay) {
        // Begun in the frame before, after a key-on at level 0 (the attack
        // instant or none), the decay still ends by the D1L before the write.
        if (s.quickDecayFrame != frameCount_ - 1 || !atDecayEnd(s, s.bandBefore)) return;
    } else if (!atEnd(s)) {
        return;
    }
    if (s.state == EgState::attack && s.keyOnAtZeroFrame == frameCount_ - 1)
        s.quickDecayFrame = frameCount_;
    enterState(s, s.state == EgState::attack ? EgState::decay : EgState::sustain);
    envelopesMoved_ = true;
}

inline bool Ym2151::keyEnvelope(unsigned slot, bool on) {
    Slot& s = slots_[slot];
    if (on == s.keyed) return false;
    s.keyed = on;
    if (on) {
        enterState(s, EgState::attack);
        s.phase = 0;
        // Whether the attack is instant goes by its rate in the frame before:
        // a key code or AR that reaches the slot in the key-on's frame counts
        // from its first step (stream key_on_with_note_written).
        if (s.attackRateBefore >= 62) s.level = 0;
        if (s.level == 0) s.keyOnAtZeroFrame = frameCount_;
        return false;
    }
    enterState(s, EgState::release);
    return true;
}

// One frame of a slot's envelope. On the frame a key-off reaches it, the step is
// taken at the rate of the state it leaves, and none when it leaves the attack
// unless CSM keys the slot in the next frame (csmNext).
template <bool keys>
inline void Ym2151::stepEnvelope(unsigned slot, bool released, EgState left, bool csmNext) {
    Slot& s = slots_[slot];
    // In the frame before a key-on reaches a released slot its level stays.
    if (keys && s.holdLevel) {
        s.holdLevel = false;
        return;
    }
    // Outside the attack a level that has reached silentLevel is taken to
    // maxLevel in the next frame, whether or not the envelope steps there
    // (seen on the noise, whose output shows the top levels); not in the frame
    // that holds before a key-on, so that the attack starts from such a level
    // (stream rekey_at_top_levels). Nor in the frame before CSM's key-on for
    // a slot that leaves its attack there: it takes the attack's step
    // (stream csm_key_on_between).
    if (s.level >= silentLevel && s.state != EgState::attack &&
        !(released && left == EgState::attack && csmNext)) {
        if (s.level != maxLevel) envelopesMoved_ = true;
        s.level = maxLevel;
        return;
    }
    if (!egTick_) return;
    if (released && left == EgState::attack && !csmNext) return;
    // A first decay at the sustain level takes no step (it ends in the next
    // frame), nor in the frame a key-off leaves it there: the release's first
    // step, at the decay's rate, is none (found in random writes; measured
    // with a carrier keyed for one frame at an instant attack, D1L 0 and 1,
    // the key-off at every frame of the envelopes' turn; stream
    // key_off_at_decay_end).
    if (released ? left == EgState::decay && atDecayEnd(s, s.sustainBand) : atEnd(s)) return;
    const EgState stepped = released ? left : s.state;
    const unsigned rate = s.rates()[static_cast<unsigned>(stepped)];
    const unsigned inc = envelopeIncrement(rate, egCounter_);
    if (inc == 0) return;
    if (stepped == EgState::attack) {
        if (rate >= 62) return;
        const int level = s.level + ((~static_cast<int>(s.level) * static_cast<int>(inc)) >> 4);
        s.level = static_cast<std::uint16_t>(std::max(level, 0));
    } else {
        s.level = static_cast<std::uint16_t>(std::min<unsigned>(s.level + inc, maxLevel));
    }
}

void Ym2151::stepTimers() {
    csmKeyEarlier_ = csmKeyLate_;
    csmKeyLate_ = csmKey_;
    csmKey_ = false;
    // The period reaches the timer a frame after a write.
    const unsigned period = timerAPeriod_;
    timerAPeriod_ = registers_.timerAPeriod();
    // CSM reaches the timer a frame after the write, set (stream
    // csm_set_while_running) or cleared, LDA cleared two: an overflow in
    // those frames still happens and still keys (stream csm_stopped).
    const bool load = registers_.timerALoad() || timerALoadBefore_ || timerALoadBefore2_;
    const bool csm = csmBefore_;
    timerALoadBefore2_ = timerALoadBefore_;
    timerALoadBefore_ = registers_.timerALoad();
    csmBefore_ = registers_.csm();
    if (load && ++timerA_ >= timerAOverflow) {
        timerA_ = period;
        csmKey_ = csm;
    }
    csmKeyNext_ = registers_.csm() && registers_.timerALoad() && timerA_ == timerAOverflow - 1;
    // And in the frame after that, reloaded with a period of one frame.
    csmKeyAfterNext_ = csmKeyNext_ && timerAPeriod_ == timerAOverflow - 1;
}

// The LFO advances in steps, one every 8 << (15 - LFRQ/16) frames. A step adds
// one to the 8-bit phase, and one more as a rate multiplier driven by a 4-bit
// step count wants it: LFRQ's bit 3 on odd counts, bit 2 on counts 2 mod 4,
// bit 1 on 4 mod 8, bit 0 on 8 mod 16, so that 16 steps gain 16 + LFRQ%16. The
// waves give AM as 0-255 and PM as a sign and a 7-bit magnitude, each then
// scaled by its 7-bit depth.
// The LFO's multiplier forms wave x depth serially over four frames of a
// free-running eight-frame cycle: the depth's bits a pair a frame, its top two
// first and bit 0 alone last, and gives the product (the sum >> 7) in the
// fourth. Each pair multiplies the wave of a frame before the turn's last (the
// top pair the last's, bit 0 the first's), each waveform's value of that frame;
// which waveform is chosen as the pair's frame begins: the one selected by then
// for the pair's second bit and bits 5-7 of the wave under its first, the one
// selected by the frame before's start for bits 0-4 under its first. A wave
// selected, or a depth written, in the middle of a turn gives a product of old
// and new parts for one turn. In the frame a depth is written, the first bit of
// the third pair (bit 2) multiplies the wave's two low bits, and bit 0 its four
// low bits, as the depth stood before the write, the rest of the wave as
// written (measured with AMD rewritten at each frame of the turn under
// constant waves, the turn's product being the one value that gives the
// output; stream lfo_depth_written_in_turn). AM's turn begins four frames before PM's.
// In a frame the LFO steps in, bit 0 of the depth does not multiply the noise
// wave's magnitude but its sign spread over eight bits: 255 for a negative value,
// 0 for a positive one (passed in as lastBitNoise; PM's turn ends in the frames
// the LFO steps in). Measured with PM of the noise wave at odd PMDs on a sine,
// the product of each turn read back as the one that keeps the output equal
// (stream lfo_noise_pm_odd_depths). A step under the noise wave with the
// rate multiplier's extra count while the LFO reset holds (see stepLfo)
// leaves its mark on the next turn of AM alone, which begins in the frame
// after: there the top pair's first bit takes bits 5-7 of the square from the
// phase the step loaded and of the triangle from the direction it loaded, the
// saw's and every other bit the phase the reset holds (found in random writes
// of the waveform and the reset; measured with each wave selected at every
// frame of a step's turn while the reset holds the noise wave, AMD 0x40 alone
// and 0x70, on the noise; stream lfo_wave_selected_after_held_double_step).
// With the noise switched to or from
// another wave in that frame, the sign takes the bits the noise gives as
// above: bits 0-4 where it was selected by the frame before's start, bits 5-7
// where it is selected by the frame's (measured the same way, the switches at
// every frame of a step's turn; stream lfo_noise_switched_under_pm).
[[gnu::always_inline]] inline void
Ym2151::LfoMultiplier::clock(unsigned position, LfoWave values, bool pm, unsigned earlierWave,
                             unsigned wave, std::optional<unsigned> lastBitNoise) {
    constexpr const std::array<unsigned, 4>& firstBits = turnFirstBits;
    constexpr const std::array<unsigned, 4>& secondBits = turnSecondBits;
    constexpr unsigned lateWaveBits = 0xE0;
    position &= 7;
    const unsigned before = depthBefore;
    depthBefore = depth;
    if (position >= firstBits.size()) return;
    if (position == 0) {
        assembling = 0;
        assemblingBefore = 0;
        topLoad = heldLoad;
    }
    assembling |= depth & (firstBits[position] | secondBits[position]);
    assemblingBefore |= before & firstBits[position];
    waves[position] = values;
    earlierSelected[position] = earlierWave;
    selected[position] = wave;
    if (position == firstBits.size() - 1) {
        taken = assembling;
        takenBefore = assemblingBefore;
        // Without a depth bit in the turn (a depth of 0, as much music has)
        // the product is 0 whatever the waves.
        if ((assembling | assemblingBefore) == 0) {
            product = 0;
            return;
        }
        unsigned sum = 0;
        for (unsigned g = 0; g < firstBits.size(); ++g) {
            const LfoWave w = waves[firstBits.size() - 1 - g];
            const std::array<unsigned, 4> v =
                pm ? lfoPmMagnitudes(w.phase, w.triangle) : lfoAmValues(w.phase, w.triangle);
            const unsigned late = v[selected[g]];
            unsigned early = v[earlierSelected[g]];
            unsigned lateBits = late;
            if (g == lastBitPair && lastBitNoise) {
                if (earlierSelected[g] == noiseWave) early = *lastBitNoise;
                if (selected[g] == noiseWave) lateBits = *lastBitNoise;
            }
            if (g == 0 && topLoad && (selected[g] == squareWave || selected[g] == triangleWave))
                lateBits = lfoAmValues(topLoad->phase, topLoad->triangle)[selected[g]];
            const unsigned mixed = (early & ~lateWaveBits) | (lateBits & lateWaveBits);
            sum += (mixed & ~earlyWaveBits[g]) * (assembling & firstBits[g]) +
                   (mixed & earlyWaveBits[g]) * (assemblingBefore & firstBits[g]) +
                   late * (assembling & secondBits[g]);
        }
        product = sum >> 7;
    }
}

// The LFO reset reaches the multiplier's depth bits by the frame each pair is
// taken in, not by the frame of the wave's value as a step of the LFO does
// (see clock()): the pairs taken before the frame the reset was written in
// multiply the wave as it stood, those taken after it the wave as reset. In
// that frame the pair's second bit multiplies the reset wave, its first the
// square as it stood and the other waves of the phase partly cleared: for AM
// the saw, the triangle (its direction kept) and the noise wave of the phase
// with bits 5-7 cleared, for PM the saw, the triangle and the noise wave
// alike, the phase with bits 5-7 cleared (the magnitude turned as bit 7 was:
// 255 less the rest in the second half). Measured with AM of the saw, the square and the triangle
// on the noise (whose level shows each turn's product) at each single depth
// bit, the reset written at every frame of the eight-frame cycle, and with PM
// on a sine; streams lfo_reset_taking_hold and, for the triangle's and the
// noise wave's AM and the bits kept, lfo_reset_onset. PM's (found in random
// writes, bits 5 and 6 of the saw's phase too) was measured with the phase
// held by a slow LFRQ after each wave had run for a while, the reset written
// at every frame of the cycle under single depth bits and mixed depths, the
// product of the turn read back as the one that keeps a sine equal on an
// early and a late PM slot; streams lfo_reset_noise_pm_depths and
// lfo_reset_saw_pm_depths. The triangle's (found in random writes, seed 1 at
// frame 660,499) was measured with its PM on a sine, the reset written at
// every frame of the cycle over whole turns of the LFO at LFRQs 0xC0-0xFF,
// single depth bits and mixed depths: the value that keeps the sine equal is
// the saw's, not the triangle's as it stood; stream
// lfo_reset_triangle_pm_depths. In a frame the LFO steps in, bit 0 multiplies
// the noise wave's sign spread over eight bits there too, as in clock() (found
// in sweeps of the reset under the noise wave's PM at odd depths; measured
// with the reset written in the frame of a step at the turn's end, the
// product read back as the one that keeps a sine equal; stream
// lfo_reset_noise_pm_odd_depths). Each pair takes the values of the
// waveforms selected in its own frame, mixed as in clock() (bits 0-4 of the
// first bit's by the selection at the frame before's start), not those
// selected at the turn's end (found in random writes of the waveform and the
// reset; measured with AM on the noise, a waveform selected two and three
// frames after the reset at every frame of the cycle, every pair of waves;
// stream lfo_wave_selected_after_reset). A depth written in a pair's frame
// multiplies the wave's low bits as it stood before, as in clock() (found in
// random writes of the depth and the reset; measured with AMD rewritten one
// to four frames after the reset at every frame of the cycle, AM on the
// noise; stream lfo_depth_written_after_reset). Called at the turn's end, age
// frames after the reset's.
void Ym2151::LfoMultiplier::takeReset(unsigned age, std::optional<unsigned> lastBitNoise) {
    constexpr unsigned lateWaveBits = 0xE0;
    if (age >= lfoResetReach) return;
    unsigned sum = 0;
    for (unsigned g = 0; g < turnFirstBits.size(); ++g) {
        const int framesAfter =
            static_cast<int>(age + g) - static_cast<int>(turnFirstBits.size() - 1);
        const std::array<unsigned, 4>& firstValues = framesAfter < 0    ? beforeReset
                                                     : framesAfter == 0 ? halfReset
                                                                        : afterReset;
        const std::array<unsigned, 4>& secondValues = framesAfter < 0 ? beforeReset : afterReset;
        unsigned early = firstValues[earlierSelected[g]];
        unsigned late = firstValues[selected[g]];
        if (g == lastBitPair && lastBitNoise) {
            if (earlierSelected[g] == noiseWave) early = *lastBitNoise;
            if (selected[g] == noiseWave) late = *lastBitNoise;
        }
        const unsigned first = (early & ~lateWaveBits) | (late & lateWaveBits);
        sum += (first & ~earlyWaveBits[g]) * (taken & turnFirstBits[g]) +
               (first & earlyWaveBits[g]) * (takenBefore & turnFirstBits[g]) +
               secondValues[selected[g]] * (taken & turnSecondBits[g]);
    }
    product = sum >> 7;
}

void Ym2151::stepLfo() {
    ++lfoCycle_;
    // The noise wave's sign before this frame's step, spread over eight bits
    // (see LfoMultiplier::clock): the wave's value is the phase inverted.
    const unsigned noiseSignSpread = (lfoPhase_ & lfoNoiseNegative) != 0 ? lfoByteMask : 0;
    // The test register's LFO reset holds the phase at 0 from the frame it is
    // written in (its release too lets the phase step there, stream
    // lfo_reset_taking_hold); the prescaler and the rate multiplier's step
    // count run on through it.
    const bool step = (++lfoPrescale_ & ((8u << (15 - (registers_.lfoRate() >> 4))) - 1)) == 0;
    if (step) lfoSteps_ = (lfoSteps_ + 1) & 15;
    if (lfoHeldWritten_ && !lfoHeldBefore_) {
        lfoResetAge_ = 0;
        lfoPhaseBeforeReset_ = lfoPhase_;
        lfoRisingBeforeReset_ = triangleRising_;
    } else if (lfoResetAge_ < lfoResetReach) {
        ++lfoResetAge_;
    }
    const bool released = lfoHeldBefore_ && !lfoHeldWritten_;
    // What a step loaded in the frame before while the reset held (see below).
    if (lfoHeldLoaded_ && lfoHeldWritten_)
        amMultiplier_.heldLoad =
            LfoWave{static_cast<std::uint8_t>(lfoHeldLoad_),
                    static_cast<std::uint8_t>(lfoHeldRising_ ? 0 : lfoByteMask)};
    else if (amMultiplier_.heldLoad)
        amMultiplier_.heldLoad.reset();
    lfoHeldBefore_ = lfoHeldWritten_;
    unsigned extra = 0;
    if (step && lfoSteps_ != 0) {
        unsigned trailingZeros = 0;
        while (((lfoSteps_ >> trailingZeros) & 1) == 0)
            ++trailingZeros;
        extra = (rateWritten_ >> (3 - trailingZeros)) & 1;
    }
    // The wave's value: eight bits of the noise sequence, inverted. A single
    // step reads bits 0-2 from the register after the frame's first half and
    // bits 3-7 from the register before its latest step, after the second;
    // a double step reads each half a frame later.
    // An NFRQ written for this frame has reached the noise timer by then: the
    // double step reads the register in the form the new rate leaves it, and
    // steps it in the next half as the new rate does (found in random writes:
    // NFRQ 31 left in the frame of a double step at frame 893,669 of seed 5,
    // NFRQ 30 at 974,309 of seed 10; measured with the noise wave's AM and PM
    // on a sine, NFRQ written at every frame over 64 frames, leaving and
    // entering rates 30 and 31, at LFRQs with and without the extra count;
    // stream lfo_noise_rate_written_at_double_steps).
    std::uint32_t low = noiseMidFrame_;
    std::uint32_t high = noiseBeforeStep_;
    if (extra != 0) {
        unsigned noiseRate = registers_.noiseFrequency();
        NoiseForm read{noiseShift_, noiseBeforeStep_};
        for (const PendingWrite& w : pending_)
            if (w.address == Regs::noise) {
                const unsigned newRate = Regs::noiseFrequencyField::of(w.data);
                read = noiseAfterRateWrite(noiseCounter_, noiseRate, newRate, read);
                noiseRate = newRate;
            }
        low = read.shift;
        high = noiseCounter_ == fastestNoise - noiseRate ? read.shift : read.before;
    }
    const auto noiseValue = [](std::uint32_t lowSource, std::uint32_t highSource) {
        unsigned value = 0;
        for (unsigned b = 0; b < lfoNoiseValueBits; ++b) {
            const std::uint32_t source = b < lfoNoiseLateBits ? lowSource : highSource;
            value |= static_cast<unsigned>((std::popcount(lfoNoiseMasks[b] & source) & 1) ^ 1) << b;
        }
        return value;
    };
    if (lfoHeldWritten_) {
        // A step with the rate multiplier's extra count under the noise wave
        // still loads bits 5-7 of the phase with the noise, after the reset
        // has cleared it: what the last frame the reset holds loads stays
        // (found in sweeps of the reset under the noise wave's PM; measured
        // with its AM on the noise, the reset released at every frame around
        // steps at LFRQs with and without the extra count; stream
        // lfo_reset_released_after_double_steps), and the triangle's direction
        // with the noise's next bit, as a step under the noise does (measured
        // with the triangle selected after the release; stream
        // lfo_reset_released_triangle_direction).
        lfoHeldLoaded_ = extra != 0 && waveWritten_ == noiseWave;
        lfoHeldLoad_ =
            lfoHeldLoaded_ ? ~noiseValue(low, high) & lfoByteMask & ~lfoSwitchCountedBits : 0;
        lfoHeldRising_ =
            lfoHeldLoaded_ && (std::popcount(lfoNoiseMasks[lfoNoiseValueBits] & high) & 1) != 0;
        lfoPhase_ = 0;
        triangleAm_ = 255;
        triangleRising_ = false;
    } else if (released && lfoHeldLoaded_) {
        lfoPhase_ = lfoHeldLoad_;
        triangleRising_ = lfoHeldRising_;
        triangleAm_ = triangleRising_ ? lfoPhase_ : 255 - lfoPhase_;
        lfoPhaseHistory_[(lfoHistoryIndex_ - 1) & 15] =
            static_cast<std::uint16_t>((triangleRising_ ? triangleDirection : 0) | lfoPhase_);
        lfoWaveBefore_ = {static_cast<std::uint8_t>(lfoPhase_),
                          static_cast<std::uint8_t>(triangleAm_)};
    }
    if (!lfoHeldWritten_ && step) {
        // The phase has a ninth bit, the triangle's direction: the triangle
        // falls from 255 as the phase rises through its first 256 values and
        // rises from 0 through the next. Under the triangle the phase counts
        // two a step, under the other waves one. The step's first count goes
        // by the waveform the slots have taken up; the rate multiplier's extra
        // count goes by the LFRQ and waveform as written, those of the step's
        // own frame included (measured by switching from the saw to the
        // triangle and back, LFRQ rewritten two frames later, at every frame
        // of the prescaler's turn; stream lfo_wave_switched_at_steps).
        const unsigned stride = registers_.lfoWave() == triangleWave ? 2 : 1;
        const unsigned extraStride = waveWritten_ == triangleWave ? 2 : 1;
        const unsigned before = (triangleRising_ ? triangleDirection : 0) + lfoPhase_;
        const unsigned phase = before + stride + extra * extraStride;
        triangleRising_ = (phase & triangleDirection) != 0;
        lfoPhase_ = phase & 0xFF;
        triangleAm_ = triangleRising_ ? lfoPhase_ : 255 - lfoPhase_;
        lfoRandom_ = noiseValue(low, high);
        // Under the noise wave a step loads the phase with the noise bits
        // (uninverted), the wave's value being the phase inverted as the saw's
        // is, and the ninth bit, the triangle's direction, with the next noise
        // bit: a wave selected after the noise carries on from them, and the
        // noise selected after another wave holds its value until the next
        // step (measured with the noise switched to and from the other waves,
        // the AM read off the noise channel's level; stream lfo_noise_switched).
        // The noise selected in the frame of a step loads bits 5-7 alone, bits
        // 0-4 keeping the count (measured the same way; stream
        // lfo_noise_switched, the switches in the frame of a step); with the
        // rate multiplier's extra count it loads every bit, as a double step
        // reads the noise. Another wave selected after the noise in the frame
        // of a step leaves bits 0-4 loaded with the noise as a single step
        // reads it and bits 5-8 as they were (the first count's carry does not
        // reach them), the extra count adding to that. Found in random writes
        // (the saw selected after the noise at frame 190,197 of seed 1);
        // measured the same way at rates with the extra count, the switches to
        // and from the noise at every frame of the step's turn; stream
        // lfo_noise_switched_double_steps.
        if (waveWritten_ == noiseWave) {
            const unsigned kept =
                waveWrittenBefore_ == noiseWave || extra != 0 ? 0 : lfoSwitchCountedBits;
            lfoPhase_ = (lfoPhase_ & kept) | (~lfoRandom_ & lfoByteMask & ~kept);
            triangleRising_ = (std::popcount(lfoNoiseMasks[lfoNoiseValueBits] & high) & 1) != 0;
            triangleAm_ = triangleRising_ ? lfoPhase_ : 255 - lfoPhase_;
        } else if (waveWrittenBefore_ == noiseWave) {
            const unsigned single =
                extra != 0 ? noiseValue(noiseMidFrame_, noiseBeforeStep_) : lfoRandom_;
            const unsigned loaded =
                ((before & ~lfoSwitchCountedBits) | (~single & lfoSwitchCountedBits)) +
                extra * extraStride;
            triangleRising_ = (loaded & triangleDirection) != 0;
            lfoPhase_ = loaded & lfoByteMask;
            triangleAm_ = triangleRising_ ? lfoPhase_ : 255 - lfoPhase_;
        }
    }
    // PM's sign, which follows the step's first count (see below), reads the
    // noise wave's bit 7 as a single step would, from the register before its
    // latest step, until the magnitude brings the extra count's (measured at
    // odd NFRQs, where the noise register steps in the next half frame after
    // some LFO steps, the PM that keeps a sine equal searched for frame by
    // frame; stream lfo_noise_pm_double_steps). A step while the reset holds
    // the phase gives that sign too (see below).
    if (step) {
        lfoFirstCount_ = registers_.lfoWave() == triangleWave ? 2 : 1;
        // Another wave selected after the noise in the frame of a step: the
        // first count's carry reaches no bit the sign reads (see above).
        if (waveWrittenBefore_ == noiseWave && waveWritten_ != noiseWave) lfoFirstCount_ = 0;
        lfoNoiseFirstNegative_ =
            (std::popcount(lfoNoiseMasks[lfoNoiseValueBits - 1] & noiseBeforeStep_) & 1) != 0;
        lfoFramesSinceStep_ = 0;
    } else if (lfoFramesSinceStep_ < lfoPmDelay) {
        ++lfoFramesSinceStep_;
    }
    const unsigned p = lfoPhase_;
    // PM's sign does not wait for its magnitude: it is the half of the phase
    // the magnitude comes from, moved on by the step's first count (two under
    // the triangle, one under the other waves, as the step counted it); the
    // rate multiplier's extra step reaches it with the magnitude. The phase is
    // read as the waveform taken at the start of the eight-frame cycle has it
    // (measured by switching between the triangle and the saw or square at
    // every frame of the cycle; stream lfo_wave_switched_under_pm): the
    // triangle's sign is the ninth bit, the direction (the phase halved), the
    // other waves' bit 7. A wave switched in the frame of a step reads the
    // first count the step made under the wave before: the triangle's two
    // carry the saw's and the square's sign past bit 7 (found in random
    // switches between them at LFRQ 0xF3 and 0xF8; measured with the
    // triangle run from the reset to the step before bit 7 and switched at
    // each frame around it, the sign that keeps a sine equal searched for
    // frame by frame; stream lfo_triangle_switched_at_steps).
    if ((lfoCycle_ & 7) == 0) pmSignWave_ = waveWritten_;
    // The LFO reset reaches PM's sign there too: from that frame the sign is
    // the reset phase's, whatever the phase was in the frames before (measured
    // with the square wave's PM, the reset written at every frame of the cycle;
    // stream lfo_reset_taking_hold), a reset held in any frame of the cycle
    // before as well, released in the cycle's first frame or earlier (found in
    // random writes of the waveform and the reset; measured with the square's
    // PM from its second half, the reset held five frames and released at
    // every frame of the cycle; stream lfo_reset_released_at_cycle_start):
    // the phase it left then, which a double step in the reset's last frame
    // loads (see above; measured with the saw's PM selected after such a
    // release, a step every cycle; stream lfo_reset_released_saw_pm_sign).
    if ((lfoCycle_ & 7) == 0) {
        if (lfoHeldWritten_)
            lfoPhaseHistory_.fill(0);
        else if (lfoHeldInCycle_)
            lfoPhaseHistory_.fill(lfoPhaseHistory_[(lfoHistoryIndex_ - 1) & 15]);
        lfoHeldInCycle_ = false;
    }
    lfoHeldInCycle_ = lfoHeldInCycle_ || lfoHeldWritten_;
    lfoPhaseHistory_[lfoHistoryIndex_] =
        static_cast<std::uint16_t>((triangleRising_ ? triangleDirection : 0) | p);
    const unsigned pastPhase = lfoPhaseHistory_[(lfoHistoryIndex_ - lfoPmDelay) & 15];
    const unsigned counted = pastPhase + (lfoFramesSinceStep_ < lfoPmDelay ? lfoFirstCount_ : 0);
    const unsigned signPhase = pmSignWave_ == triangleWave ? counted >> 1 : counted & 0xFF;
    bool pmNegative = (signPhase & 0x80) != 0;
    const LfoWave wave{static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(triangleAm_)};
    // The noise wave's sign reads the phase at the start of the cycle alone:
    // it takes the LFO reset there, keeping the phase's before (measured with
    // the noise wave's PM on a sine, the sign that keeps it equal searched for
    // frame by frame; stream lfo_reset_noise_pm), and a reset released in the
    // middle of the cycle keeps the sign of the phase before it until the
    // cycle's start (measured the same way, the reset held a few frames and
    // released at every frame of the cycle; stream
    // lfo_reset_released_noise_pm); over the first count's sign after a step as well.
    if ((lfoCycle_ & 7) == 0) {
        lfoNoiseSignPhase_ = p;
        lfoNoiseSignHeld_ = lfoHeldWritten_;
    }
    // A step while the reset holds the phase at 0 still gives its first
    // count's sign, for the eight frames a sign after a step lasts, the
    // magnitude staying 0 (found in random writes; measured with notes on
    // unused codes, which a PM of 0 with the sign set moves, the reset held
    // over steps at several LFRQ and noise rates and released at each frame
    // around a step; stream lfo_noise_steps_held).
    if (step && lfoHeldWritten_) lfoNoiseSignHeld_ = false;
    if (pmSignWave_ == noiseWave)
        pmNegative = lfoFramesSinceStep_ < lfoPmDelay && !lfoNoiseSignHeld_
                         ? lfoNoiseFirstNegative_
                         : (lfoNoiseSignPhase_ & lfoNoiseNegative) != 0;
    // PM's sign takes effect at once (the slots before C1 of channel 7 a frame
    // late), its magnitude through the multiplier. The multipliers take the wave's values of the
    // frame before (see LfoMultiplier::clock). AM's product reaches C1 and C2 at once, M1 and M2 a
    // frame later; PM's the slots from C1 of channel 7 on at once (eight frames after a step of the
    // LFO), the slots before them a frame later.
    lfoAmModulators_ = amMultiplier_.product;
    // The waves' values the LFO reset leaves to the turns it reaches (see
    // LfoMultiplier::takeReset).
    if (lfoResetAge_ == 0) {
        const std::array<unsigned, 4> amBefore =
            lfoAmValues(lfoWaveBefore_.phase, lfoWaveBefore_.triangle);
        const std::array<unsigned, 4> pmBefore =
            lfoPmMagnitudes(lfoWaveBefore_.phase, lfoWaveBefore_.triangle);
        amMultiplier_.beforeReset = amBefore;
        amMultiplier_.afterReset = lfoAmValues(wave.phase, wave.triangle);
        pmMultiplier_.beforeReset = pmBefore;
        pmMultiplier_.afterReset = lfoPmMagnitudes(wave.phase, wave.triangle);
        amMultiplier_.halfReset = amBefore;
        pmMultiplier_.halfReset = pmBefore;
        // AM's first bits read the saw, the triangle (its direction kept) and
        // the noise wave of the phase with bits 5-7 cleared.
        const unsigned low = lfoPhaseBeforeReset_ & lfoResetHalfBits;
        amMultiplier_.halfReset[0] = lfoByteMask - low;
        amMultiplier_.halfReset[triangleWave] = lfoRisingBeforeReset_ ? low : lfoByteMask - low;
        amMultiplier_.halfReset[noiseWave] = lfoByteMask - low;
        // PM's the saw, the triangle and the noise wave of that phase alike,
        // turned as bit 7 was.
        pmMultiplier_.halfReset[0] =
            (lfoPhaseBeforeReset_ & lfoNoiseNegative) != 0 ? lfoByteMask - low : low;
        pmMultiplier_.halfReset[triangleWave] = pmMultiplier_.halfReset[0];
        pmMultiplier_.halfReset[noiseWave] = pmMultiplier_.halfReset[0];
    }
    amMultiplier_.clock(lfoCycle_ - amTurnStart, lfoWaveBefore_, false, waveWrittenBefore_,
                        waveWritten_);
    if (((lfoCycle_ - amTurnStart) & 7) == 3) amMultiplier_.takeReset(lfoResetAge_, std::nullopt);
    lfoAm_ = amMultiplier_.product;
    const unsigned pmEarly = pmMultiplier_.product;
    pmMultiplier_.clock(lfoCycle_ - pmTurnStart, lfoWaveBefore_, true, waveWrittenBefore_,
                        waveWritten_, step ? std::optional(noiseSignSpread) : std::nullopt);
    if (((lfoCycle_ - pmTurnStart) & 7) == 3)
        pmMultiplier_.takeReset(lfoResetAge_, step ? std::optional(noiseSignSpread) : std::nullopt);
    lfoWaveBefore_ = wave;
    waveWrittenBefore_ = waveWritten_;
    const unsigned pmLate = pmMultiplier_.product;
    // A product of 128 or more (a turn of mixed waveforms can give one) keeps
    // seven bits, and its eighth turns the sign over.
    const bool earlyNegative = lfoPmNegative_ != ((pmEarly & pmCarry) != 0);
    const bool lateNegative = pmNegative != ((pmLate & pmCarry) != 0);
    const int earlyMagnitude = static_cast<int>(pmEarly & (pmCarry - 1));
    const int lateMagnitude = static_cast<int>(pmLate & (pmCarry - 1));
    lfoPmEarly_ = earlyNegative ? -earlyMagnitude : earlyMagnitude;
    lfoPm_ = lateNegative ? -lateMagnitude : lateMagnitude;
    // The sign counts by PMD as written, not as the turn took it: for the
    // slots before M2 of channel 3 as it stood in the frame before, for the
    // others as it stands, the slots before C1 of channel 7 with their sign
    // a frame late (measured with PM of the saw in its second half at a
    // depth PMS 1 brings to 0, on a note of an unused code on each slot in
    // turn, PMD written and cleared at several frames of the cycle; stream
    // lfo_pm_sign_with_depth).
    const bool depthOn = pmMultiplier_.depth != 0;
    lfoPmNegativeEarly_ = earlyNegative && !pmCleared_;
    lfoPmNegativeMiddle_ = earlyNegative && depthOn;
    lfoPmNegativeLate_ = lateNegative && depthOn;
    lfoPmNegative_ = pmNegative;
    // PMD written 0 takes PM to 0 at once, without waiting for the turn's
    // product (the slots before M2 of channel 3 a frame later; streams
    // lfo_pm_depth_cleared, lfo_pm_depth_cleared_slots). Written other than 0
    // again, it gives the slots from M2 of channel 3 to C1 of channel 6 at
    // once the product of the frame before, which a turn that ended before the
    // clear still holds (found in random writes, seeds 31 and 51, PMD written
    // 0 and again six frames later; measured with sines on M2 of channel 3
    // and C1 of channels 5 and 6, and on every slot in turn, PMD cleared at
    // every frame of the cycle and written again two to ten frames later;
    // stream lfo_pm_depth_rewritten).
    lfoPmMiddle_ = depthOn ? lfoPmEarly_ : 0;
    if (pmCleared_) lfoPmEarly_ = 0;
    pmCleared_ = !depthOn;
    if (pmCleared_) lfoPm_ = 0;
    lfoHistoryIndex_ = (lfoHistoryIndex_ + 1) & 15;
}

// The noise timer: a 5-bit counter stepped twice a frame that clocks the
// generator when it meets 31 - NFRQ, and starts again from 0.
void Ym2151::stepNoise() {
    for (int half = 0; half < 2; ++half) {
        if (noiseCounter_ == 31 - registers_.noiseFrequency()) {
            noiseCounter_ = 0;
            noiseBeforeStep_ = noiseShift_;
            noiseShift_ = noiseStepped(noiseShift_);
        } else {
            noiseCounter_ = (noiseCounter_ + 1) & 31;
        }
        if (half == 0) noiseMidFrame_ = noiseShift_;
    }
}

// The modulation input of a slot of the given role: M1's own feedback, or the
// sum of its modulators' outputs halved (see modulators above for when each is
// taken).
template <unsigned role> inline int Ym2151::modulation(unsigned ch) const {
    if constexpr (role == m1) {
        const unsigned shift = channels_[ch].feedbackShift;
        if (shift == 0) return 0;
        const Slot& self = slots_[Regs::slot(ch, m1)];
        return (self.out + self.previous) >> shift;
    } else {
        const unsigned sources = channels_[ch].sources[role];
        if (sources == 0) return 0;
        const Slot& slotM1 = slots_[Regs::slot(ch, m1)];
        const Slot& slotC1 = slots_[Regs::slot(ch, c1)];
        int sum = 0;
        if (sources & m1Now) sum += slotM1.out;
        if (sources & m1Late) sum += slotM1.previous;
        if (sources & c1Late) sum += role == m2 ? slotC1.out : slotC1.previous;
        if (sources & m2Now) sum += slots_[Regs::slot(ch, m2)].out;
        return sum >> 1;
    }
}

std::int16_t Ym2151::operatorOutput(std::uint32_t phase, int mod, unsigned attenuation) const {
    const unsigned p = static_cast<unsigned>(static_cast<int>(phase >> 10) + mod) & fm::phaseMask;
    // As fm::sineMagnitude, without its test for shifts of 16 and more: below
    // attenuation 0x340 (the caller's test) the shift stays under 22.
    const unsigned level = fm::logSinHalf[p & (fm::phaseMask >> 1)] + (attenuation << 2);
    const int value =
        (fm::expMantissa[level & 0xFF] << (operatorBits - fm::mantissaBits)) >> (level >> 8);
    return static_cast<std::int16_t>(fm::negativeHalf(p) ? -value : value);
}

// One frame of the eight slots of a role, in channel order: key, phase, the
// operator's output and envelope, and its share of the outputs. pending: writes
// wait to be taken up (or a D1L was written in the frame before); csm: CSM keys
// near; still (in a frame with neither): no envelope moves, the frame being
// between the envelopes' steps after one in which none moved (no level waits
// to go to maxLevel, see stepEnvelope, and no state to end, see endState).
template <unsigned role, bool pending, bool csm, bool still>
[[gnu::always_inline]] inline void Ym2151::runSlots(int& left, int& right) {
    // Only a write or CSM changes a key, or holds a level for a key-on.
    constexpr bool keys = pending || csm;
    // Nor does anything else change in the frame: the PM's steps and rates,
    // and the attack's rate the frame leaves, are taken before the slots.
    constexpr bool quiet = !keys;
    const bool csmFrame = csmKey_ || csmKeyLate_;
    for (unsigned ch = 0; ch < 8; ++ch) {
        const unsigned slot = role * 8 + ch;
        if constexpr (pending) applyPending(slot);
        Slot& s = slots_[slot];
        if (!quiet || (!still && endsToCheck_)) endState<pending>(slot);
        EgState before = s.state;
        std::uint32_t step = s.step;
        if constexpr (quiet) {
            step = s.stepNow; // taken before the slots (see takeQuietFrame)
        } else {
            s.pmOn = false;
            if (pmChannels_ != 0 && takeSlotPm(s, slot, slotPm(slot, ch))) {
                pmOnChannels_ |= static_cast<std::uint8_t>(1u << ch);
                step = s.pmStep;
            }
        }

        // CSM keys a slot for a frame in which its level holds (from slot 5
        // on in the frame the timer overflows, the slots before it in the next);
        // its release then steps at once.
        // A key-off of the frame before still counts as a key for CSM: it makes
        // no key-on there; nor does a KON key-on of the frame before, whose
        // key-off reaching the slot in CSM's frame releases it (stream
        // csm_key_on_between). As before a key-on by KON, a released slot's level
        // holds in the frame before as well; a slot keyed off in that frame
        // takes the step of the state it leaves, the attack's too (see
        // stepEnvelope). A slot that KON keys in the frame after CSM's takes
        // its attack step in CSM's frame. Without CSM keying near (csm false)
        // only KON keys.
        bool csmNext = false;
        bool released = false;
        const std::uint32_t slotBit = 1u << slot;
        if constexpr (csm) csmNext = slot < firstCsmSlot ? csmKey_ : csmKeyNext_;
        if (csmNext && !s.keyRegister && !s.keyed) s.holdLevel = true;
        // A slot keyed by KON that CSM keys in the next two frames (the first
        // of a run keying every frame) is CSM's from this frame on (see below).
        bool csmRunAhead = false;
        if constexpr (csm)
            csmRunAhead = csmNext && s.keyed && (csmKeyedSlots_ & slotBit) == 0 &&
                          (slot < firstCsmSlot ? csmKeyNext_ : csmKeyAfterNext_);
        if (!csm || (!csmFrame && !csmRunAhead && (csmKeyedSlots_ & slotBit) == 0)) {
            if constexpr (!quiet) s.keyedBefore = s.keyed; // else taken before the slots
            // Without a write or CSM in the frame the key is as the frame
            // before left it.
            if constexpr (keys) released = keyEnvelope(slot, s.keyRegister);
        } else {
            const bool csmNow = slot < firstCsmSlot ? csmKeyLate_ : csmKey_;
            // Keying every frame, CSM takes over a slot that is keyed, whoever
            // keyed it, from the frame before the run's first key: a KON key-on
            // holds no level, and a KON key-off releases nothing while it lasts
            // (streams csm_every_frame_kon, csm_run_after_key_on).
            const bool csmAgain =
                csmRunAhead ||
                (csmNow && (csmNext || (slot < firstCsmSlot ? csmKeyEarlier_ : csmKeyLate_)) &&
                 s.keyed);
            if (csmAgain) csmKeyedSlots_ |= slotBit;
            const bool csmKeyed = (csmKeyedSlots_ & slotBit) != 0;
            const bool csmOn = csmAgain || (csmNow && !s.keyedBefore && !(s.keyed && !csmKeyed));
            if (csmNow && csmKeyed && s.keyOnNext) s.holdLevel = s.keyOnNext = false;
            // The level holds only in the frame of a key-on, and not when CSM
            // keys again in the next frame: keyed every frame, the attack steps
            // from the first (stream csm_every_frame).
            if (csmNow && !s.keyRegister && !s.keyed) s.holdLevel = !s.keyOnNext && !csmNext;
            // Keyed by CSM in the frame before as well, the last of its frames
            // holds the level in the attack (streams csm_every_frame_stopped,
            // csm_every_frame_kon).
            if (csmNow && csmKeyed && s.keyed && !s.keyRegister && !csmNext &&
                s.state == EgState::attack)
                s.holdLevel = true;
            s.keyedBefore = s.keyed && !csmKeyed;
            const bool wasKeyed = s.keyed;
            released = keyEnvelope(slot, s.keyRegister || csmOn);
            if (s.keyRegister) {
                csmKeyedSlots_ &= ~slotBit;
            } else if (s.keyed && !wasKeyed) {
                csmKeyedSlots_ |= slotBit;
            } else if (released && csmKeyed) {
                // Keyed again in the next frame (CLKA 1022), the released
                // level holds instead (stream csm_every_other_frame).
                csmKeyedSlots_ &= ~slotBit;
                released = false;
                if (csmNext) s.holdLevel = true;
            }
        }

        // A KON key-off in the frame before CSM's overflow makes no key-on
        // there (see above), and the level does not hold in CSM's frame: it
        // steps again at the rate of the state the key-off left (stream
        // csm_after_key_off).
        if constexpr (csm) {
            if (s.releaseLate) {
                s.releaseLate = false;
                if (!released && !s.keyed) {
                    released = true;
                    before = s.releaseLeft;
                    s.holdLevel = false;
                }
            } else if (released && csmNext && !s.keyRegister) {
                s.releaseLate = true;
                s.releaseLeft = before;
            }
        }

        unsigned attenuation = s.level + s.totalLevel;
        if (s.amShift >= 0) attenuation += (role <= m2 ? lfoAmModulators_ : lfoAm_) << s.amShift;
        attenuation = std::min(attenuation, maxLevel);

        std::int16_t out = 0;
        // From attenuation 0x340 on the output is 0 whatever the phase.
        if (attenuation < 0x340) out = operatorOutput(s.phase, modulation<role>(ch), attenuation);
        const Channel& c = channels_[ch];
        const bool carrier = ((c.carrierRoles >> role) & 1) != 0;
        if (role == c2 && ch == 7) {
            // The noise takes the operator's place at a level linear in its
            // attenuation: the top 8 bits of the attenuation's complement,
            // times 8, positive or (one's) complemented with the noise bit;
            // at full attenuation the negative value is -8. Which of the two
            // reaches the DAC is decided a frame later (see frame()).
            const std::int16_t noise = noiseOutput(attenuation, noiseShift_ & 1);
            nextHeldNoise_ = carrier ? noise : 0;
            nextHeldC2_[ch - firstHeldChannel] = carrier ? out : 0;
            if constexpr (!still) stepEnvelope<keys>(slot, released, before, csmNext);
            if constexpr (!quiet)
                s.attackRateBefore = s.rates()[static_cast<unsigned>(EgState::attack)];
            s.phase = (s.phase + step) & 0xFFFFF;
            s.out = registers_.noiseEnabled() ? noise : out;
            continue;
        }
        if constexpr (!still) stepEnvelope<keys>(slot, released, before, csmNext);
        if constexpr (!quiet)
            s.attackRateBefore = s.rates()[static_cast<unsigned>(EgState::attack)];
        s.phase = (s.phase + step) & 0xFFFFF;
        if constexpr (role == m1 || role == c1) s.previous = s.out; // read by later slots
        s.out = out;

        if (role == c2 && ch >= firstHeldChannel) {
            nextHeldC2_[ch - firstHeldChannel] = carrier ? out : 0;
            continue;
        }
        if (!carrier) continue;
        if (c.leftOn) (slot < firstLateLeftSlot ? left : lateLeft_) += out;
        if (c.rightOn) right += out;
    }
}

// A slot's PM, its channel's as the slot's place in the turn sees it (see
// takePm).
inline int Ym2151::slotPm(unsigned slot, unsigned ch) const {
    return slot < firstPmSignAtOnceSlot ? channelPmEarly_[ch]
           : slot < firstLatePmSlot     ? channelPmMiddle_[ch]
                                        : channelPmLate_[ch];
}

// Whether the LFO's PM applies to a slot this frame (pm, its channel's PM as
// the slot sees it, see takePm), its step and rates under it worked out again
// when the PM has moved.
inline bool Ym2151::takeSlotPm(Slot& s, unsigned slot, int pm) {
    s.pmOn = pm != 0;
    if (pm == 0) return false;
    if (pm != s.pmOffset) {
        s.pmOffset = pm;
        s.pmStep = phaseStep(slot, pm);
        s.pmRates = envelopeRates(slot, pm);
    }
    return true;
}

// Before the slots of a frame without writes or keys (nothing changes within
// it): the PM of the slots of the channels that have or had it, the step each
// slot takes, and the attack's rate it leaves for a key-on, when a channel's PM
// or a slot's rates may have moved since the last such frame (and the key the
// frame before left, after a frame with keys).
void Ym2151::takeQuietFrame() {
    constexpr unsigned attack = static_cast<unsigned>(EgState::attack);
    if (ratesMoved_) {
        for (unsigned slot = 0; slot < slots_.size(); ++slot) {
            Slot& s = slots_[slot];
            const unsigned ch = slot & 7;
            takeSlotPm(s, slot, slotPm(slot, ch));
            s.attackRateBefore = s.rates()[attack];
            s.stepNow = s.pmOn ? s.pmStep : s.step;
            s.keyedBefore = s.keyed;
        }
        ratesMoved_ = false;
        pmMoved_ = false;
        pmOnChannels_ = pmChannels_;
        return;
    }
    if (!pmMoved_) return;
    pmMoved_ = false;
    for (unsigned channels = pmChannels_ | pmOnChannels_; channels != 0; channels &= channels - 1) {
        const unsigned ch = static_cast<unsigned>(std::countr_zero(channels));
        for (unsigned slot = ch; slot < slots_.size(); slot += 8) {
            Slot& s = slots_[slot];
            takeSlotPm(s, slot, slotPm(slot, ch));
            s.attackRateBefore = s.rates()[attack];
            s.stepNow = s.pmOn ? s.pmStep : s.step;
        }
    }
    pmOnChannels_ = pmChannels_;
}

template <bool pending, bool csm, bool still> void Ym2151::runAllSlots(int& left, int& right) {
    if constexpr (pending || csm) {
        ratesMoved_ = true; // rates written after a slot's turn
        envelopesMoved_ = true;
    } else {
        takeQuietFrame();
    }
    runSlots<m1, pending, csm, still>(left, right);
    runSlots<m2, pending, csm, still>(left, right);
    runSlots<c1, pending, csm, still>(left, right);
    runSlots<c2, pending, csm, still>(left, right);
}

// Each PM channel's offset in 64ths of a semitone: the LFO's PM scaled by its
// PMS, as the slots before C1 of channel 7 and those from it on see it. A
// negative PM that PMS brings to 0 counts by its sign (negativeZeroPm). Taken
// after the LFO's step and again when PMS is written.
void Ym2151::takePm(unsigned ch) {
    const unsigned pms = channels_[ch].pmSensitivity;
    const auto scaled = [pms](int lfoPm, bool negative) {
        if (pms == 0) return 0;
        const int pm = pms < 6 ? scaleSigned(lfoPm, 128u >> (6 - pms)) : lfoPm * (1 << (pms - 5));
        return pm == 0 && negative ? negativeZeroPm : pm;
    };
    pmMoved_ = true;
    channelPmEarly_[ch] = scaled(lfoPmEarly_, lfoPmNegativeEarly_);
    channelPmMiddle_[ch] = scaled(lfoPmMiddle_, lfoPmNegativeMiddle_);
    channelPmLate_[ch] = scaled(lfoPm_, lfoPmNegativeLate_);
}

void Ym2151::frame(std::int16_t* leftRight) {
    ++frameCount_;
    stepTimers();
    stepNoise();
    stepLfo();
    egTick_ = egDivider_ == 0;
    // A state ends only by a level or state that moved in the frame before
    // (see endState): a frame without keys and writes checks for an end
    // only after a step of the envelopes, an end, or a frame with keys or
    // writes.
    endsToCheck_ = envelopesMoved_;
    envelopesMoved_ = egTick_;
    if (egTick_) ++egCounter_;
    egDivider_ = (egDivider_ + 1) % 3;

    int left = lateLeft_;
    int right = 0;
    lateLeft_ = 0;
    // The channels' PM changes only with the LFO's (or a PMS written).
    const std::array<int, 6> pmFrom{lfoPmEarly_,         lfoPmMiddle_,         lfoPm_,
                                    lfoPmNegativeEarly_, lfoPmNegativeMiddle_, lfoPmNegativeLate_};
    if (pmChannels_ != 0 && pmFrom != pmTakenFrom_) {
        pmTakenFrom_ = pmFrom;
        for (unsigned ch = 0; ch < 8; ++ch)
            if ((pmChannels_ >> ch) & 1) takePm(ch);
    }
    const bool csm = csmKey_ || csmKeyLate_ || csmKeyNext_ || csmKeyedSlots_ != 0;
    // A D1L written in the frame before can still end a decay in this one
    // (see endState).
    if (pending_.empty() && bandWrittenSlots_ == 0) {
        if (csm)
            runAllSlots<false, true, false>(left, right);
        else if (!endsToCheck_ && !egTick_)
            runAllSlots<false, false, true>(left, right);
        else
            runAllSlots<false, false, false>(left, right);
    } else {
        if (csm)
            runAllSlots<true, true, false>(left, right);
        else
            runAllSlots<true, false, false>(left, right);
    }
    // The C2 values of channels 4-7 from the frame before meet the RL written
    // since: on the left they reach this frame's sum, on the right (but for
    // channel 7's) the last frame's. C2 of channel 7 is the noise or the
    // operator as NE now stands.
    heldC2_[3] = registers_.noiseEnabled() ? heldNoise_ : heldC2_[3];
    for (unsigned i = 0; i < heldC2_.size(); ++i) {
        const Channel& c = channels_[firstHeldChannel + i];
        if (c.leftOn) left += heldC2_[i];
        if (c.rightOn) (i == 3 ? right : previousRight_) += heldC2_[i];
    }
    heldC2_ = nextHeldC2_;
    heldNoise_ = nextHeldNoise_;
    for (PendingWrite& w : pending_)
        w.position -= 32;
    leftRight[0] = dacLevel(previousLeft_);
    leftRight[1] = dacLevel(previousRight_);
    previousLeft_ = left;
    previousRight_ = right;
}

void Ym2151::generate(std::int16_t* leftRight, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i)
        frame(leftRight + 2 * i);
}

} // namespace synth
