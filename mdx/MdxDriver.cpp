// MdxDriver: see MdxDriver.h. The behaviour the format leaves open (when
// each register is written, the volume table, gate time, LFO shapes,
// portamento's unit) is as measured on the reference driver: mdx/MdxMeasured.h
// and tests/mdx/MdxReferenceTest.cpp.
#include "mdx/MdxDriver.h"

#include <algorithm>

#include "mdx/MdxMeasured.h"
#include "synth/Ym2151Registers.h"

namespace mdx {
namespace {

using Regs = synth::Ym2151Registers;

// Track commands.
constexpr std::uint8_t lastRest = 0x7F;
constexpr std::uint8_t firstNote = 0x80;
constexpr std::uint8_t lastNote = 0xDF;
constexpr std::uint8_t commandTempo = 0xFF;
constexpr std::uint8_t commandRegister = 0xFE;
constexpr std::uint8_t commandVoice = 0xFD;
constexpr std::uint8_t commandPan = 0xFC;
constexpr std::uint8_t commandVolume = 0xFB;
constexpr std::uint8_t commandVolumeDown = 0xFA;
constexpr std::uint8_t commandVolumeUp = 0xF9;
constexpr std::uint8_t commandGate = 0xF8;
constexpr std::uint8_t commandLegato = 0xF7;
constexpr std::uint8_t commandRepeatStart = 0xF6;
constexpr std::uint8_t commandRepeatEnd = 0xF5;
constexpr std::uint8_t commandRepeatEscape = 0xF4;
constexpr std::uint8_t commandDetune = 0xF3;
constexpr std::uint8_t commandPortamento = 0xF2;
constexpr std::uint8_t commandEnd = 0xF1;
constexpr std::uint8_t commandKeyOnDelay = 0xF0;
constexpr std::uint8_t commandSyncSend = 0xEF;
constexpr std::uint8_t commandSyncWait = 0xEE;
constexpr std::uint8_t commandNoise = 0xED;
constexpr std::uint8_t commandPitchLfo = 0xEC;
constexpr std::uint8_t commandVolumeLfo = 0xEB;
constexpr std::uint8_t commandChipLfo = 0xEA;
constexpr std::uint8_t commandLfoDelay = 0xE9;
constexpr std::uint8_t commandPcm8 = 0xE8;
constexpr std::uint8_t commandExtended = 0xE7;

// Parameters of the LFO commands.
constexpr std::uint8_t lfoOff = 0x80;
constexpr std::uint8_t lfoOn = 0x81;
constexpr std::uint8_t chipLfoSyncFlag = 0x40;
constexpr std::size_t softLfoParameterBytes = 5;
constexpr std::size_t chipLfoParameterBytes = 5;
constexpr std::size_t extendedParameterBytes = 2;
constexpr std::uint8_t extendedFade = 0x01;

// Gate time (measured, tests "Gate" and "GateNegative"): with q below 0x80
// the key goes off ((clocks - 1) x q / 8) + 1 clocks after the note starts,
// so 8 holds it to the end and more holds it into the next note; 0x80 + x
// ends it 0x80 - x clocks before the end, after one clock at least.
constexpr unsigned gateShift = 3;
constexpr unsigned negativeGateFlag = 0x80;
constexpr unsigned byteRange = 0x100;
constexpr int maximumCommandsPerTick = 0x10000;
constexpr bool isTimerRegister(unsigned address) {
    return address >= Regs::timerAHigh && address <= Regs::timerControl;
}
constexpr unsigned volumeSteps = 16;
constexpr unsigned maximumVolume = volumeSteps - 1;
constexpr int pitchUnitsPerNote = 64;
constexpr int noteCount = 96;
constexpr int maximumPitch = noteCount * pitchUnitsPerNote - 1;
constexpr int notesPerOctave = 12;
constexpr std::array<std::uint8_t, notesPerOctave> keyCodeNotes = {0, 1, 2,  4,  5,  6,
                                                                   8, 9, 10, 12, 13, 14};
constexpr std::uint8_t lfoResetOn = Regs::lfoResetField::make(1);
constexpr std::uint8_t lfoResetOff = 0;
constexpr std::uint8_t keyOffSlots = 0;
constexpr unsigned panShift = 6;
constexpr std::uint8_t voiceBits = 0x3F;
constexpr std::array<std::uint8_t, MdxVoice::groupCount> voiceGroupBases = {
    Regs::detuneMultipleBase, Regs::totalLevelBase, Regs::attackBase,
    Regs::decay1Base,         Regs::decay2Base,     Regs::releaseBase};

} // namespace

MdxDriver::MdxDriver(const MdxFile& song) : body_(song.body()), song_(&song) {
    for (std::size_t t = 0; t < song.trackCount(); ++t) {
        Track track;
        track.index = static_cast<unsigned>(t);
        track.pc = song.trackOffsets()[t];
        tracks_.push_back(track);
    }
}

void MdxDriver::start(std::vector<Ym2151Write>& out) {
    out_ = &out;
    for (int r = 0; r < measured::startRepeats; ++r) {
        for (unsigned s = 0; s < Regs::slotCount; ++s)
            write(Regs::slotRegister(Regs::releaseBase, s), measured::startReleaseByte);
        for (unsigned ch = 0; ch < Regs::channelCount; ++ch)
            write(Regs::keyOn, Regs::keyOnByte(ch, keyOffSlots));
    }
    for (unsigned ch = 0; ch < Regs::channelCount; ++ch)
        write(Regs::channelRegister(Regs::sensitivityBase, ch), 0);
    write(Regs::test, 0);
    write(Regs::noise, 0);
    write(Regs::lfoDepth, 0);
    write(Regs::lfoDepth, Regs::depthSelectField::make(1));
    out_ = nullptr;
}

void MdxDriver::tick(std::vector<Ym2151Write>& out, std::vector<AdpcmNote>* samples) {
    out_ = &out;
    samples_ = samples;
    if (fadeInterval_ > 0 && --fadeCounter_ == 0) fadeStep();
    for (Track& t : tracks_)
        tickTrack(t);
    out_ = nullptr;
    samples_ = nullptr;
}

bool MdxDriver::ended() const {
    return std::all_of(tracks_.begin(), tracks_.end(), [](const Track& t) { return t.ended; });
}

unsigned MdxDriver::loops() const {
    unsigned fewest = 0;
    bool any = false;
    for (const Track& t : tracks_)
        if (t.looping) {
            fewest = any ? std::min(fewest, t.loopCount) : t.loopCount;
            any = true;
        }
    return fewest;
}

void MdxDriver::fadeOut(unsigned speed) {
    fadeInterval_ =
        static_cast<int>(speed / measured::fadeSpeedDivisor + measured::fadeIntervalBase);
    fadeCounter_ = fadeInterval_;
}

void MdxDriver::fadeStep() {
    fadeCounter_ = fadeInterval_;
    if (++fadeLevel_ < measured::fadeEndLevel) {
        for (Track& t : tracks_)
            t.fadeDirty = true;
        return;
    }
    // Faded out: every voiced channel's carriers silenced, and the song ends.
    for (Track& t : tracks_) {
        if (isFm(t)) writeCarrierLevels(t, Regs::maximumTotalLevel);
        t.ended = true;
        t.keyed = false;
    }
    fadeInterval_ = 0;
}

void MdxDriver::write(unsigned address, unsigned data) {
    out_->push_back({static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data)});
}

int MdxDriver::wordAt(std::size_t at) const {
    return static_cast<std::int16_t>(body_[at] << 8 | body_[at + 1]);
}

bool MdxDriver::need(Track& t, std::size_t bytes) {
    if (t.pc + bytes <= body_.size()) return true;
    t.ended = true;
    return false;
}

void MdxDriver::tickTrack(Track& t) {
    bool noteTick = false;
    t.lfoHeld = false;
    t.pitchLfoFreed = false;
    t.volumeLfoFreed = false;
    if (t.waiting) {
        if (!t.signalled) return;
        t.waiting = false;
        t.signalled = false;
        noteTick = runCommands(t);
    } else {
        // The key goes off only when the gate runs out: a gate longer than
        // the note (q above 8, or legato) holds the key into the next note,
        // which then starts without a key-on (test "GateNegative").
        if (t.gateLeft > 0 && --t.gateLeft == 0 && t.keyed) keyOff(t);
        // Portamento moves before the tick's commands: the step of a tick
        // that starts a rest still counts (test "PortamentoAcrossRests").
        // While a key-on waits its delay, the portamento holds, and so does
        // an LFO that waits for the key-on, as the note ends too (tests
        // "KeyOnDelayHoldsEffects", "KeyOnDelayHoldsTheLfoPastTheNote").
        // Whether the LFO waits is settled by the LFO delay as the tick
        // begins: a delay set by this tick's commands counts from the next
        // (tests "LfoDelaySetWhileAKeyOnWaits", "LfoDelaySetAtARest").
        const bool keyOnWaits = t.keyOnDelayLeft > 1;
        if (!keyOnWaits) t.portamentoSum += t.portamento;
        t.lfoHeld = keyOnWaits && t.lfoDelay != 0;
        // An ended track reads nothing more, but its gate, key-on delay, LFO
        // and portamento go on, and the fade reaches it (tests
        // "LfoAcrossNotes", "Fade", "KeyOnDelayPastTheEnd").
        if (!t.ended && --t.clocksLeft == 0) {
            // A key still on through a rest (after a legato note, or a
            // key-on delayed past its gate) goes off as the rest ends,
            // before the next commands, unless a legato holds it through
            // the rest into the next note (tests "LegatoThenRestThenCommands",
            // "LegatoRest").
            if (t.keyed && t.restEndsKey) keyOff(t);
            noteTick = runCommands(t);
        }
        // A key-on as late as the note's end comes after that tick's
        // commands, unless they start a note; a rest leaves it be (test
        // "KeyOnDelayAsLongAsTheNote").
        if (!noteTick && t.keyOnDelayLeft > 0 && --t.keyOnDelayLeft == 0) {
            // A delayed key-on starts the LFO's delay from itself; the pitch
            // of that tick goes with the key-on (test "LfoAndKeyOnDelay").
            // A key still on (a tied note) keys nothing and restarts
            // nothing (test "LfoAndKeyOnDelayOnTiedNote"). A delay it begins
            // and "no delay" cuts short goes on from the shape that ran
            // before it (test "LfoDelayCutAfterADelayedKeyOn").
            if (!t.keyed) restartLfos(t, true);
            tickLfos(t);
            t.portamentoSum = 0;
            keyOnStage(t, !t.keyed);
            noteTick = true;
        }
    }
    if (!noteTick) effects(t);
    if (t.restStarted && isFm(t) && volumeDue(t)) writeVolume(t);
    t.restStarted = false;
}

void MdxDriver::keyOff(Track& t) {
    t.keyed = false;
    if (isFm(t))
        write(Regs::keyOn, Regs::keyOnByte(t.index, keyOffSlots));
    else if (samples_)
        samples_->push_back({adpcmTrack(t), 0, t.rate, t.pan, t.volume, true});
}

bool MdxDriver::runCommands(Track& t) {
    // A program that jumps around without reaching a note or rest (a corrupt
    // file) ends its track instead of hanging the player.
    for (int commands = 0;; ++commands) {
        if (commands == maximumCommandsPerTick) {
            t.ended = true;
            return false;
        }
        if (!need(t, 1)) return false;
        std::uint8_t c = byteAt(t.pc);
        if (c <= lastRest) {
            t.clocksLeft = c + 1;
            t.restEndsKey = !t.tieNext;
            t.tieNext = false;
            endPortamento(t);
            // A volume changed before a rest goes out at the rest, after
            // the tick's pitch (tests "VolumeBeforeRest", "DetuneAndVolumeBeforeRest").
            t.restStarted = true;
            t.pc += 1;
            return false;
        }
        if (c <= lastNote) {
            if (!need(t, 2)) return false;
            int clocks = byteAt(t.pc + 1) + 1;
            t.pc += 2;
            endPortamento(t);
            startNote(t, c - firstNote, clocks);
            return true;
        }
        switch (c) {
        case commandTempo:
            if (!need(t, 2)) return false;
            timerB_ = byteAt(t.pc + 1);
            t.pc += 2;
            break;
        case commandRegister:
            if (!need(t, 3)) return false;
            // Time is kept on the host: a song's own timer writes are left out.
            if (const std::uint8_t address = byteAt(t.pc + 1), value = byteAt(t.pc + 2);
                address == Regs::lfoWaveform) {
                writeLfoWaveform(value);
                controlOutput_ = value & Regs::controlOutputField::mask;
            } else if (!isTimerRegister(address)) {
                write(address, value);
            }
            t.pc += 3;
            break;
        case commandVoice: {
            if (!need(t, 2)) return false;
            if (auto v = song_->voice(byteAt(t.pc + 1)); v && isFm(t)) {
                t.voice = *v;
                t.voiceDirty = t.panDirty = true;
            }
            t.pc += 2;
            break;
        }
        case commandPan:
            if (!need(t, 2)) return false;
            t.pan = byteAt(t.pc + 1) & 3;
            t.panDirty = true;
            t.pc += 2;
            break;
        case commandVolume:
            if (!need(t, 2)) return false;
            t.volume = byteAt(t.pc + 1);
            t.pc += 2;
            break;
        case commandVolumeDown:
        case commandVolumeUp: {
            bool up = c == commandVolumeUp;
            if (t.volume & measured::directVolumeFlag) {
                unsigned attenuation = t.volume & ~measured::directVolumeFlag & 0xFF;
                if (up && attenuation > 0)
                    --attenuation;
                else if (!up && attenuation < Regs::maximumTotalLevel)
                    ++attenuation;
                t.volume = measured::directVolumeFlag | attenuation;
            } else if (up && t.volume < maximumVolume) {
                ++t.volume;
            } else if (!up && t.volume > 0) {
                --t.volume;
            }
            t.pc += 1;
            break;
        }
        case commandGate:
            if (!need(t, 2)) return false;
            t.gate = byteAt(t.pc + 1);
            t.pc += 2;
            break;
        case commandLegato:
            t.tieNext = true;
            t.pc += 1;
            break;
        case commandRepeatStart:
            if (!need(t, 3)) return false;
            body_[t.pc + 2] = byteAt(t.pc + 1);
            t.pc += 3;
            break;
        case commandRepeatEnd: {
            if (!need(t, 3)) return false;
            std::size_t after = t.pc + 3;
            std::ptrdiff_t target = static_cast<std::ptrdiff_t>(after) + wordAt(t.pc + 1);
            if (target < 1 || static_cast<std::size_t>(target) > body_.size()) {
                t.ended = true;
                return false;
            }
            std::uint8_t& counter = body_[static_cast<std::size_t>(target) - 1];
            if (counter > 1) {
                --counter;
                t.pc = static_cast<std::size_t>(target);
            } else {
                counter = 0;
                t.pc = after;
            }
            break;
        }
        case commandRepeatEscape: {
            // The escape leads to the repeat end's word, which leads back to
            // the repeat's counter: on the last pass the track goes on after
            // the repeat end (test "Repeats").
            if (!need(t, 3)) return false;
            std::size_t after = t.pc + 3;
            const std::ptrdiff_t endAt = static_cast<std::ptrdiff_t>(after) + wordAt(t.pc + 1);
            t.pc = after;
            if (endAt < 0 || static_cast<std::size_t>(endAt) + 2 > body_.size()) break;
            const auto endWord = static_cast<std::size_t>(endAt);
            std::ptrdiff_t target = static_cast<std::ptrdiff_t>(endWord + 2) + wordAt(endWord);
            if (target >= 1 && static_cast<std::size_t>(target) <= body_.size() &&
                body_[static_cast<std::size_t>(target) - 1] == 1) {
                body_[static_cast<std::size_t>(target) - 1] = 0;
                t.pc = endWord + 2;
            }
            break;
        }
        case commandDetune:
            if (!need(t, 3)) return false;
            t.detune = wordAt(t.pc + 1);
            t.pc += 3;
            break;
        case commandPortamento:
            if (!need(t, 3)) return false;
            t.portamento = wordAt(t.pc + 1);
            t.portamentoArmed = true;
            t.pc += 3;
            break;
        case commandEnd: {
            // The end stops a portamento as a note or rest would: one given
            // just before it goes on (test "PortamentoAtTheEnd").
            if (t.pc + 3 > body_.size() || byteAt(t.pc + 1) == 0 || wordAt(t.pc + 1) >= 0) {
                endPortamento(t);
                t.ended = true;
                return false;
            }
            int back = wordAt(t.pc + 1);
            std::ptrdiff_t target = static_cast<std::ptrdiff_t>(t.pc + 3) + back;
            if (target < 0) {
                t.ended = true;
                return false;
            }
            t.pc = static_cast<std::size_t>(target);
            t.looping = true;
            ++t.loopCount;
            break;
        }
        case commandKeyOnDelay:
            if (!need(t, 2)) return false;
            t.keyOnDelay = byteAt(t.pc + 1);
            t.pc += 2;
            break;
        case commandSyncSend: {
            if (!need(t, 2)) return false;
            unsigned to = byteAt(t.pc + 1);
            if (to < tracks_.size()) tracks_[to].signalled = true;
            t.pc += 2;
            break;
        }
        case commandSyncWait:
            t.pc += 1;
            if (!t.signalled) {
                t.waiting = true;
                return false;
            }
            t.signalled = false;
            break;
        case commandNoise:
            if (!need(t, 2)) return false;
            if (isFm(t))
                write(Regs::noise, byteAt(t.pc + 1));
            else
                t.rate = byteAt(t.pc + 1);
            t.pc += 2;
            break;
        case commandPitchLfo: {
            if (!need(t, 2)) return false;
            std::uint8_t mode = byteAt(t.pc + 1);
            // A pitch LFO set up or switched on while held for a waiting
            // key-on moves in this tick all the same (test
            // "LfoSetUpWhileAKeyOnWaits").
            t.pitchLfoFreed = true;
            if (mode == lfoOff || mode == lfoOn) {
                t.pitchLfo.setEnabled(mode == lfoOn);
                t.pc += 2;
                break;
            }
            if (!need(t, 1 + softLfoParameterBytes)) return false;
            t.pitchLfo.configure(mode, std::max(1, wordAt(t.pc + 2)), wordAt(t.pc + 4));
            if (t.lfoDelay != 0) t.pitchLfo.resumeDelay();
            t.pc += 1 + softLfoParameterBytes;
            break;
        }
        case commandVolumeLfo: {
            if (!need(t, 2)) return false;
            std::uint8_t mode = byteAt(t.pc + 1);
            t.volumeLfoFreed = true;
            if (mode == lfoOff || mode == lfoOn) {
                t.volumeLfo.setEnabled(mode == lfoOn);
                t.pc += 2;
                break;
            }
            if (!need(t, 1 + softLfoParameterBytes)) return false;
            t.volumeLfo.configure(mode, std::max(1, wordAt(t.pc + 2)), wordAt(t.pc + 4));
            if (t.lfoDelay != 0) t.volumeLfo.resumeDelay();
            t.pc += 1 + softLfoParameterBytes;
            break;
        }
        case commandChipLfo: {
            if (!need(t, 2)) return false;
            std::uint8_t mode = byteAt(t.pc + 1);
            unsigned sensitivity = Regs::channelRegister(Regs::sensitivityBase, t.index);
            if (mode == lfoOff || mode == lfoOn) {
                if (isFm(t)) write(sensitivity, mode == lfoOn ? t.chipSensitivity : 0);
                t.pc += 2;
                break;
            }
            if (!need(t, 1 + chipLfoParameterBytes)) return false;
            t.chipLfoSync = (mode & chipLfoSyncFlag) != 0;
            t.chipSensitivity = byteAt(t.pc + 5);
            if (isFm(t)) {
                writeLfoWaveform(mode & ~chipLfoSyncFlag);
                write(Regs::lfoFrequency, byteAt(t.pc + 2));
                write(Regs::lfoDepth, byteAt(t.pc + 3));
                write(Regs::lfoDepth, byteAt(t.pc + 4));
                write(sensitivity, byteAt(t.pc + 5));
            }
            t.pc += 1 + chipLfoParameterBytes;
            break;
        }
        case commandLfoDelay:
            if (!need(t, 2)) return false;
            t.lfoDelay = byteAt(t.pc + 1);
            // No delay ends one under way; another takes effect at the next
            // key-on (test "LfoDelayChangedUnderWay"). An LFO held for a
            // waiting key-on stays held, its shape where it was (tests
            // "NoLfoDelayWhileAKeyOnWaits", "NoLfoDelayWhileAKeyOnWaitsPastANote").
            if (t.lfoDelay == 0) {
                t.pitchLfo.endDelay();
                t.volumeLfo.endDelay();
            }
            t.pc += 2;
            break;
        case commandPcm8: t.pc += 1; break;
        case commandExtended:
            if (!need(t, 1 + extendedParameterBytes)) return false;
            if (byteAt(t.pc + 1) == extendedFade)
                fadeOut(byteAt(t.pc + 2));
            else
                noteUnplayed(unplayed_.extended, byteAt(t.pc + 1));
            t.pc += 1 + extendedParameterBytes;
            break;
        default:
            // An unknown command: the rest of the track cannot be read.
            noteUnplayed(unplayed_.commands, c);
            t.ended = true;
            return false;
        }
    }
}

// The waveform register's CT bits are those of the song's last write to it
// before this one, kept from one write to the next (test "ControlOutputBits").
void MdxDriver::writeLfoWaveform(std::uint8_t value) {
    write(Regs::lfoWaveform,
          static_cast<std::uint8_t>(value & ~Regs::controlOutputField::mask) | controlOutput_);
}

void MdxDriver::noteUnplayed(std::vector<std::uint8_t>& list, std::uint8_t code) {
    if (std::find(list.begin(), list.end(), code) == list.end()) list.push_back(code);
}

// A portamento lasts from its command to the end of the note or rest that
// follows it (test "PortamentoAcrossRests").
void MdxDriver::endPortamento(Track& t) {
    if (!t.portamentoArmed) t.portamento = 0;
    t.portamentoArmed = false;
}

void MdxDriver::startNote(Track& t, unsigned note, int clocks) {
    t.clocksLeft = clocks;
    int gateClocks = t.gate & negativeGateFlag
                         ? std::max(1, clocks - static_cast<int>(byteRange - t.gate))
                         : ((clocks - 1) * static_cast<int>(t.gate) >> gateShift) + 1;
    t.gateLeft = t.tieNext ? 0 : gateClocks;
    t.tieNext = false;
    // A key still on from the last note holds into this one (after a rest it
    // went off as the rest ended: test "LegatoThenRest").
    t.restEndsKey = false;
    if (!isFm(t)) {
        if (samples_)
            samples_->push_back({adpcmTrack(t), note, t.rate, t.pan, t.volume, false, fadeLevel_});
        t.keyed = true;
        return;
    }
    t.notePitch = static_cast<int>(note) * pitchUnitsPerNote + t.detune + measured::pitchOffset;
    // A portamento's slide starts again with the note, or with its key-on
    // when that is delayed: until then the last slide goes on (test
    // "PortamentoAndKeyOnDelay").
    if (t.keyOnDelay == 0) t.portamentoSum = 0;
    // The LFO moves in a note's first tick (tests "LfoOnTiedNote",
    // "LfoSetUpOnTiedNote").
    if (!t.keyed && t.keyOnDelay == 0) restartLfos(t);
    // An LFO held for a key-on still waiting stays held at the next note,
    // unless that note keys on at once (tests
    // "KeyOnDelayHoldsTheLfoPastTheNote", "LfoDelayAtAKeyOnPastAWaitingOne").
    tickLfos(t, t.keyOnDelay != 0 && t.lfoHeld);
    t.keyOnDelayLeft = t.keyOnDelay;
    if (t.keyOnDelay == 0) {
        keyOnStage(t, !t.keyed);
    } else {
        // With a key-on delay the pitch and the volume go at the note, the
        // rest at the key-on (test "KeyOnDelay").
        writePitch(t, currentPitch(t));
        if (volumeDue(t)) writeVolume(t);
    }
}

void MdxDriver::keyOnStage(Track& t, bool key) {
    unsigned ch = t.index;

    if (t.voiceDirty) {
        unsigned connection = Regs::connectionField::of(t.voice.feedbackConnection);
        t.chipConnection = static_cast<int>(connection);
        for (std::size_t g = 0; g < MdxVoice::groupCount; ++g)
            for (unsigned op = 0; op < MdxVoice::operatorCount; ++op) {
                std::uint8_t value = t.voice.groups[g][op];
                if (g == MdxVoice::totalLevelGroup &&
                    Regs::isCarrier(connection, static_cast<Regs::Operator>(op)))
                    value = Regs::maximumTotalLevel;
                write(Regs::slotRegister(voiceGroupBases[g],
                                         Regs::slot(ch, static_cast<Regs::Operator>(op))),
                      value);
            }
        // The carriers' TL went to the maximum: the volume is written again.
        t.voiceDirty = false;
        t.volumeDirty = true;
    }
    if (t.panDirty) {
        write(Regs::channelControl(ch),
              t.pan << panShift | (t.voice.feedbackConnection & voiceBits));
        t.panDirty = false;
    }
    // The chip's LFO starts again with a key-on, not with a tied note (test
    // "ChipLfoSyncOnTiedNote").
    if (t.chipLfoSync && key) {
        write(Regs::test, lfoResetOn);
        write(Regs::test, lfoResetOff);
    }
    writePitch(t, currentPitch(t));
    if (volumeDue(t)) writeVolume(t);
    if (key) {
        write(Regs::keyOn, Regs::keyOnByte(ch, t.voice.slotMask));
        t.keyed = true;
    }
}

// The volume is written again only when its attenuation differs from the
// one last written (tests "VolumeSameLevel": volume 8 and 0x80 + 0x15 are
// one level; "VolumeBackToTheSame": up and down again writes nothing).
// A key-on without an LFO delay restarts nothing, but what "no delay" left
// of a delay is gone (test "LfoDelayStoppedThenSetAgain").
void MdxDriver::restartLfos(Track& t, bool atDelayedKeyOn) {
    if (t.lfoDelay == 0) {
        t.pitchLfo.forgetStoppedDelay();
        t.volumeLfo.forgetStoppedDelay();
        return;
    }
    t.pitchLfo.restart(t.lfoDelay, atDelayedKeyOn);
    t.volumeLfo.restart(t.lfoDelay, atDelayedKeyOn);
}

void MdxDriver::tickLfos(Track& t, bool held) {
    if (!held || t.pitchLfoFreed) t.pitchLfo.tick();
    if (!held || t.volumeLfoFreed) t.volumeLfo.tick();
}

// The attenuation of the volume, the fade and the volume LFO together, at
// most the TL's range (test "VolumeLfoBeyondTheRange": an LFO that moves a
// level already beyond it writes nothing).
int MdxDriver::attenuationNow(const Track& t) const {
    return std::min(static_cast<int>(attenuationOf(t.volume) + fadeLevel_) +
                        (t.volumeLfo.attenuation() >> measured::fractionBits),
                    static_cast<int>(Regs::maximumTotalLevel));
}

bool MdxDriver::volumeDue(const Track& t) const {
    return t.volumeDirty || t.fadeDirty || attenuationNow(t) != t.writtenAttenuation;
}

unsigned MdxDriver::attenuationOf(unsigned volume) {
    return volume & measured::directVolumeFlag
               ? volume & ~measured::directVolumeFlag & 0xFF
               : measured::volumeAttenuation[volume & maximumVolume];
}

void MdxDriver::writeVolume(Track& t) {
    t.writtenAttenuation = attenuationNow(t);
    writeCarrierLevels(t, static_cast<unsigned>(t.writtenAttenuation));
    t.volumeDirty = false;
    t.fadeDirty = false;
}

void MdxDriver::writeCarrierLevels(Track& t, unsigned attenuation) {
    // Until a new voice reaches the chip at its key-on, the carriers are
    // those of the voice the chip has, their levels from the new voice
    // (test "VolumeBeforeRest"); nothing before the first voice.
    if (t.chipConnection < 0) return;
    auto connection = static_cast<unsigned>(t.chipConnection);
    for (unsigned op = 0; op < MdxVoice::operatorCount; ++op) {
        if (!Regs::isCarrier(connection, static_cast<Regs::Operator>(op))) continue;
        unsigned level = std::min<unsigned>(
            Regs::maximumTotalLevel, t.voice.groups[MdxVoice::totalLevelGroup][op] + attenuation);
        write(Regs::totalLevelRegister(Regs::slot(t.index, static_cast<Regs::Operator>(op))),
              level);
    }
}

void MdxDriver::effects(Track& t) {
    if (!isFm(t)) return;
    tickLfos(t, t.lfoHeld);
    writePitch(t, currentPitch(t));
    // A volume changed by the fade goes out at once (test "Fade").
    // So does one moved by the volume LFO (test "VolumeLfoWaves").
    if (t.fadeDirty || (t.volumeLfo.enabled() && volumeDue(t))) writeVolume(t);
}

// Portamento and LFO each in whole KF steps (test "PortamentoWithLfo").
int MdxDriver::currentPitch(const Track& t) const {
    return t.notePitch + (t.portamentoSum >> measured::fractionBits) +
           (t.pitchLfo.offset() >> measured::fractionBits);
}

// A change of the pitch as computed goes out even when the key code it gives
// is the same, at the ends of the range (test "PitchBelowTheRange").
void MdxDriver::writePitch(Track& t, int computed) {
    if (computed == t.lastPitch) return;
    t.lastPitch = computed;
    const int pitch = std::clamp(computed, 0, maximumPitch);
    int note = pitch / pitchUnitsPerNote;
    unsigned keyCode = Regs::octaveField::make(static_cast<unsigned>(note / notesPerOctave)) |
                       keyCodeNotes[static_cast<std::size_t>(note % notesPerOctave)];
    write(Regs::keyFractionRegister(t.index),
          Regs::keyFractionField::make(pitch % pitchUnitsPerNote));
    write(Regs::keyCodeRegister(t.index), keyCode);
}

} // namespace mdx
