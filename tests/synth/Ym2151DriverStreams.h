// Register streams written the way game and computer music drivers write a
// YM2151, for the comparison with the reference: a tick at a timer-B rate, the
// tick's writes two frames apart (the least the chip's latch needs), and
// within it what such drivers do that our own MDX driver does not: a key-off
// and the next key-on in the same tick (a voice re-keyed a few frames after
// its key-off), all four TLs rewritten every tick as a software volume
// envelope, KC and KF every tick for vibrato and portamento, the voice changed
// (every operator register) while the last note releases, the LFO switched
// mid-note, panning moved mid-note, the key-ons of several channels written in
// one burst at the end of the tick, drums on the noise with NFRQ set at each
// hit, and timer A's CSM keying a speech-like voice whose pitch and levels
// change every tick. Only the raw output of the generator is used, so
// every standard library makes the same stream.
#pragma once

#include "Ym2151Streams.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace ym2151test {

// What a driver-like stream does besides notes and voices.
struct DriverFeatures {
    bool lfo = true;    // the chip's LFO set and switched mid-note, PMS/AMS per voice
    bool csm = false;   // channel 7 a speech-like voice keyed by timer A's CSM
    bool drums = false; // channel 7 (without CSM) drums on the noise, NFRQ set at each hit
};

inline Stream driverStream(std::string name, std::uint32_t seed, std::uint32_t frames,
                           DriverFeatures features = {}) {
    Stream s(std::move(name));
    std::mt19937 random(seed);
    const auto pick = [&](unsigned low, unsigned high) {
        return low + static_cast<unsigned>(random() % (high - low + 1));
    };
    const auto chance = [&](unsigned percent) { return pick(0, 99) < percent; };

    struct Voice {
        unsigned con = 0, fb = 0, pms = 0, ams = 0;
        std::array<Operator, 4> ops{};
    };
    const auto randomVoice = [&]() {
        Voice v;
        v.con = pick(0, 7), v.fb = pick(0, 7);
        if (features.lfo && chance(40)) v.pms = pick(0, 7), v.ams = pick(0, 3);
        for (Operator& o : v.ops) {
            o.dt1 = pick(0, 7), o.mul = pick(0, 15), o.tl = chance(70) ? pick(0, 40) : pick(0, 90);
            o.ks = pick(0, 3), o.ar = chance(70) ? pick(20, 31) : pick(8, 31);
            o.ame = features.lfo ? pick(0, 1) : 0, o.d1r = pick(0, 25);
            o.dt2 = chance(80) ? 0 : pick(1, 3), o.d2r = chance(50) ? 0 : pick(1, 20);
            o.d1l = pick(0, 15), o.rr = pick(2, 15);
        }
        return v;
    };
    std::vector<Voice> voices;
    for (unsigned i = 0; i < 8; ++i)
        voices.push_back(randomVoice());

    // One channel's state as the driver keeps it.
    struct Track {
        unsigned voice = 0, volume = 0;
        unsigned kc = 0x40, kf = 0;
        int portamento = 0;          // KF steps a tick, 0 for none
        unsigned vibrato = 0;        // depth in KF steps, 0 for none
        bool volumeEnvelope = false; // all four TLs rewritten every tick
        unsigned ticksLeft = 0;      // of the note, or of the rest when not keyed
        bool keyed = false;
        unsigned age = 0; // ticks since the key-on
        unsigned keyMask = 15;
    };
    std::array<Track, 8> tracks{};
    const unsigned speechChannel = 7;
    const unsigned usedTracks = features.csm || features.drums ? 7 : 8;

    // The driver's write order for a voice: connection, then each operator
    // register for the four slots in turn.
    const auto writeVoice = [&](unsigned ch, const Voice& v, unsigned volume) {
        s.write(0x20 + ch, 0xC0 | (v.fb << 3) | v.con);
        s.write(0x38 + ch, (v.pms << 4) | v.ams);
        for (unsigned role = 0; role < 4; ++role)
            s.write(0x40 + role * 8 + ch, (v.ops[role].dt1 << 4) | v.ops[role].mul);
        for (unsigned role = 0; role < 4; ++role)
            s.write(0x60 + role * 8 + ch, std::min(127u, v.ops[role].tl + volume));
        for (unsigned role = 0; role < 4; ++role)
            s.write(0x80 + role * 8 + ch, (v.ops[role].ks << 6) | v.ops[role].ar);
        for (unsigned role = 0; role < 4; ++role)
            s.write(0xA0 + role * 8 + ch, (v.ops[role].ame << 7) | v.ops[role].d1r);
        for (unsigned role = 0; role < 4; ++role)
            s.write(0xC0 + role * 8 + ch, (v.ops[role].dt2 << 6) | v.ops[role].d2r);
        for (unsigned role = 0; role < 4; ++role)
            s.write(0xE0 + role * 8 + ch, (v.ops[role].d1l << 4) | v.ops[role].rr);
    };
    // A volume reaches every operator's TL (as drivers that scale all four do).
    const auto writeLevels = [&](unsigned ch, const Voice& v, unsigned volume) {
        for (unsigned role = 0; role < 4; ++role)
            s.write(0x60 + role * 8 + ch, std::min(127u, v.ops[role].tl + volume));
    };
    const auto writeNote = [&](unsigned ch, unsigned kc, unsigned kf) {
        s.write(0x28 + ch, kc);
        s.write(0x30 + ch, kf << 2);
    };
    // A note code the chip uses (codes 3, 7, 11 and 15 of an octave are not).
    const auto randomNote = [&]() {
        const unsigned octave = pick(1, 6), code = pick(0, 11);
        return (octave << 4) | (code + code / 3);
    };
    // A KC and KF stepped by a signed number of KF steps (64 to a semitone).
    const auto bend = [](unsigned kc, unsigned kf, int steps) {
        int note = static_cast<int>((kc >> 4) * 12 + (kc & 15) - (kc & 15) / 4);
        int fine = static_cast<int>(kf) + steps;
        note += fine >= 0 ? fine / 64 : (fine - 63) / 64;
        fine &= 63;
        note = std::clamp(note, 0, 8 * 12 - 1);
        const unsigned code = static_cast<unsigned>(note % 12);
        return std::pair<unsigned, unsigned>{(static_cast<unsigned>(note / 12) << 4) |
                                                 (code + code / 3),
                                             static_cast<unsigned>(fine)};
    };

    const unsigned tickFrames = 16 * (256 - pick(196, 232)); // timer B's period
    for (unsigned ch = 0; ch < usedTracks; ++ch) {
        tracks[ch].voice = pick(0, 7);
        tracks[ch].volume = pick(0, 20);
        writeVoice(ch, voices[tracks[ch].voice], tracks[ch].volume);
        tracks[ch].ticksLeft = pick(0, 3);
    }
    if (features.lfo) {
        s.write(0x18, pick(0, 255));
        s.write(0x19, pick(0, 127));
        s.write(0x19, 0x80 | pick(0, 127));
        s.write(0x1B, pick(0, 3));
    }
    Voice speech = randomVoice();
    if (features.csm) {
        speech.con = 7;
        for (Operator& o : speech.ops)
            o.ar = pick(26, 31), o.d1r = pick(10, 20), o.d1l = pick(2, 8), o.rr = pick(10, 15);
        writeVoice(speechChannel, speech, 0);
        s.write(0x10, 0xFF);
        s.write(0x11, pick(0, 3));
    }
    if (features.drums && !features.csm) {
        Voice drum = randomVoice();
        drum.pms = 0, drum.ams = 0;
        for (Operator& o : drum.ops)
            o.ar = 31, o.d1r = pick(14, 24), o.d1l = 15, o.rr = pick(10, 15), o.ame = 0;
        writeVoice(7, drum, 0);
    }
    unsigned speechTicks = 0;
    std::uint32_t tick = s.length();
    while (s.length() < frames) {
        // A tick's writes begin a few frames after timer B overflows (the
        // interrupt's latency), or at once when the last one's ran past it.
        tick += tickFrames;
        if (s.length() < tick) s.wait(tick - s.length());
        s.wait(pick(0, 3));

        if (features.lfo && chance(4)) {
            switch (pick(0, 3)) {
            case 0: s.write(0x18, pick(0, 255)); break;
            case 1: s.write(0x19, (pick(0, 1) << 7) | pick(0, 127)); break;
            case 2: s.write(0x1B, pick(0, 3)); break;
            default: s.write(0x38 + pick(0, usedTracks - 1), (pick(0, 7) << 4) | pick(0, 3)); break;
            }
        }
        if (features.csm) {
            // Speech: a new timer A period (a formant's pitch) now and then,
            // the carriers' pitch and levels every tick, CSM on for a phrase
            // and off for a rest.
            if (speechTicks == 0) {
                const bool on = chance(70);
                if (on) {
                    // CLKA 1024 - frames: an overflow every that many frames.
                    const unsigned clka = 1024 - pick(6, 60);
                    s.write(0x10, clka >> 2);
                    s.write(0x11, clka & 3);
                }
                s.write(0x14, on ? 0x81 : 0x00);
                speechTicks = pick(2, 12);
            }
            --speechTicks;
            writeNote(speechChannel, randomNote(), pick(0, 63));
            writeLevels(speechChannel, speech, pick(0, 30));
        }

        if (features.drums && !features.csm && chance(40)) {
            // A drum: the noise's pitch, a level, and C2 of channel 7 keyed
            // again (off and on in the same tick).
            s.write(0x0F, 0x80 | pick(8, 31));
            s.write(0x7F, pick(0, 30));
            s.write(0x08, 7);
            s.write(0x08, ((chance(70) ? 8 : 15) << 3) | 7);
        }

        std::vector<unsigned> burst; // key-ons written together at the tick's end
        for (unsigned ch = 0; ch < usedTracks; ++ch) {
            // The driver's own work between tracks.
            s.wait(pick(0, 2));
            Track& t = tracks[ch];
            const Voice& v = voices[t.voice];
            if (t.ticksLeft > 0) {
                --t.ticksLeft;
                if (t.keyed) {
                    ++t.age;
                    if (t.volumeEnvelope) writeLevels(ch, v, std::min(127u, t.volume + t.age * 3));
                    // Panning moved mid-note.
                    if (chance(5)) s.write(0x20 + ch, (pick(1, 3) << 6) | (v.fb << 3) | v.con);
                    if (t.portamento != 0 || t.vibrato != 0) {
                        const int wobble =
                            t.vibrato == 0 ? 0
                                           : static_cast<int>(t.vibrato) * ((t.age & 2) ? 1 : -1);
                        const auto [kc, kf] =
                            bend(t.kc, t.kf, t.portamento * static_cast<int>(t.age) + wobble);
                        writeNote(ch, kc, kf);
                    }
                } else if (chance(15)) {
                    // A voice changed while the last note releases.
                    t.voice = pick(0, 7);
                    writeVoice(ch, voices[t.voice], t.volume);
                }
                continue;
            }
            // The next note's pitch, written before the key-off by some
            // drivers (the key-on then follows the key-off at once).
            const unsigned kc = randomNote();
            const unsigned kf = chance(60) ? 0 : pick(0, 63);
            const bool pitchFirst = t.keyed && chance(35);
            if (pitchFirst) writeNote(ch, kc, kf);
            if (t.keyed) {
                s.write(0x08, ch);
                t.keyed = false;
                // A rest, or (mostly) the next note in the same tick.
                if (chance(30)) {
                    t.ticksLeft = pick(1, 4);
                    continue;
                }
            }
            t.kc = kc;
            t.kf = kf;
            t.volumeEnvelope = chance(30);
            t.portamento = chance(15) ? static_cast<int>(pick(1, 24)) * (chance(50) ? 1 : -1) : 0;
            t.vibrato = chance(25) ? pick(2, 40) : 0;
            t.keyMask = chance(85) ? 15 : pick(1, 15);
            t.keyed = true;
            t.age = 0;
            t.ticksLeft = pick(0, 15);
            if (!pitchFirst) {
                if (chance(12)) {
                    t.voice = pick(0, 7);
                    writeVoice(ch, voices[t.voice], t.volume);
                } else if (chance(50)) {
                    t.volume = pick(0, 20);
                    writeLevels(ch, voices[t.voice], t.volume);
                }
                writeNote(ch, kc, kf);
                if (chance(40)) {
                    burst.push_back(ch);
                    continue;
                }
            }
            s.write(0x08, (t.keyMask << 3) | ch);
        }
        for (unsigned ch : burst)
            s.write(0x08, (tracks[ch].keyMask << 3) | ch);
    }
    return s;
}

// A voice keyed off and on again 2 to 17 frames later, as a driver's tick
// does, from each point of the envelope: the attack, the first decay, the
// second, and a release (keyed off early), at fast, middle and slow rates,
// KS 0-3, for each role of the channel in turn (the channels of a role spread
// over the slot pipeline). The trials follow each other without waiting for
// silence, so the next one starts from wherever the last release got to.
inline Stream rekeySweepStream() {
    Stream s("rekey_sweep");
    struct Rates {
        unsigned ar, d1r, d1l, d2r, rr;
    };
    constexpr std::array<Rates, 5> rates{{{31, 31, 4, 10, 15},
                                          {31, 8, 2, 0, 2},
                                          {18, 14, 6, 6, 8},
                                          {10, 4, 1, 2, 5},
                                          {25, 20, 15, 31, 12}}};
    constexpr std::array<unsigned, 4> holds{3, 12, 60, 200};
    for (unsigned ch = 0; ch < 8; ++ch)
        s.channel(ch, 7, 0);
    unsigned trial = 0;
    for (unsigned role = 0; role < 4; ++role) {
        const unsigned bit = role == 0 ? 1 : role == 1 ? 4 : role == 2 ? 2 : 8;
        for (const Rates& r : rates) {
            for (unsigned hold : holds) {
                for (unsigned gap = 2; gap <= 17; ++gap, ++trial) {
                    const unsigned ch = (trial * 3) & 7, ks = trial & 3;
                    Operator o;
                    o.ar = r.ar, o.d1r = r.d1r, o.d1l = r.d1l, o.d2r = r.d2r, o.rr = r.rr;
                    o.ks = ks, o.mul = 2;
                    s.op(ch, role, o);
                    s.note(ch, ks == 2 ? 0x4E : (ks & 1) != 0 ? 0x7A : 0x35, gap * 3);
                    s.key(ch, bit);
                    s.wait(hold);
                    s.key(ch, 0);
                    s.wait(gap - 2);
                    s.key(ch, bit);
                    s.wait(30);
                    s.key(ch, 0);
                    s.wait(40);
                }
            }
        }
    }
    return s;
}

// A KON key-on of a frame or two between CSM's key-ons 3 to 6 frames apart,
// at every frame of timer A's period: on C2 of channel 7 as the noise (whose
// level shows the attenuation) and on M1 and C2 of channel 4 (slots on both
// sides of where CSM's key-on starts), with an instant attack and one that
// steps, the release fast enough to step between the key-ons.
inline Stream csmKeyOnBetweenStream() {
    Stream s("csm_key_on_between");
    s.write(0x0F, 0x80 | 31);
    for (unsigned ch : {4u, 7u}) {
        s.channel(ch, 7, 0);
        s.note(ch, 0x42);
    }
    for (unsigned ar : {31u, 26u}) {
        for (unsigned period = 3; period <= 6; ++period) {
            for (unsigned offset = 0; offset < period + 3; ++offset) {
                for (unsigned held : {0u, 2u}) {
                    const unsigned ch = (offset & 1) != 0 ? 7 : 4;
                    const unsigned mask = ch == 7 ? 8 : 9;
                    Operator o;
                    o.ar = ar, o.d1r = 8, o.d1l = 3, o.rr = 12, o.ks = 1;
                    if (ch == 4) s.op(ch, 0, o);
                    s.op(ch, 3, o);
                    const unsigned clka = 1024 - period;
                    s.write(0x10, clka >> 2);
                    s.write(0x11, clka & 3);
                    s.write(0x14, 0x81);
                    s.wait(offset);
                    s.key(ch, mask);
                    s.wait(held);
                    s.key(ch, 0);
                    s.wait(10);
                    s.write(0x14, 0x00);
                    s.wait(60);
                    s.write(0xE0 + ch, 0x0F);
                    s.write(0xF8 + ch, 0x0F);
                    s.wait(200);
                }
            }
        }
    }
    return s;
}

// PMD cleared under a constant PM (the square wave at the slowest LFRQ) and
// written again, at 16 frames of the multipliers' eight-frame cycle, with every
// slot a carrier keyed in turn, one channel's four at a time: a slot that
// takes the clear a frame late keeps a phase ahead from then on.
inline Stream pmDepthClearedSlotsStream() {
    Stream s("lfo_pm_depth_cleared_slots");
    s.write(0x18, 0x04);
    s.write(0x19, 72);
    s.write(0x1B, 1);
    Operator o;
    o.mul = 3;
    o.tl = 12;
    for (unsigned ch = 0; ch < 8; ++ch) {
        s.channel(ch, 7, 0, 3, 2, 0);
        for (unsigned role = 0; role < 4; ++role)
            s.op(ch, role, o);
        s.note(ch, 0x68, 8);
    }
    for (unsigned ch = 0; ch < 8; ++ch) {
        s.key(ch, 15);
        for (unsigned offset = 0; offset < 16; ++offset) {
            s.write(0x19, 0x80 | 0x36);
            s.wait(40 + offset);
            s.write(0x19, 0x80);
            s.wait(30);
        }
        s.key(ch, 0);
        s.wait(100);
    }
    return s;
}

} // namespace ym2151test
