// Long YM2151 streams that combine the chip's features the way a check of the
// whole chip would: several channels sounding at once while features change
// every few frames, long notes with the LFO and the noise running together,
// CSM keying while other channels play and timer A rewritten. Each sweeps its
// features' values in full (every connection and feedback, every DT1/DT2/MUL
// with KF, all four LFO waves with AM and PM at every sensitivity, the noise
// at every rate and level, the envelope's extreme rates, key-on and key-off at
// every point of the envelope); a seeded generator spreads the timings, and
// only its raw output is used, so every standard library makes the same
// stream. Used by the comparison with the reference emulator.
#pragma once

#include "Ym2151Streams.h"

#include <cstdint>
#include <random>
#include <string>

namespace ym2151test {

// Picks from a seeded generator, the same on every standard library.
class Picker {
public:
    explicit Picker(std::uint32_t seed) : random_(seed) {}
    unsigned operator()(unsigned low, unsigned high) {
        return low + static_cast<unsigned>(random_() % (high - low + 1));
    }
    bool chance(unsigned percent) { return (*this)(0, 99) < percent; }

private:
    std::mt19937 random_;
};

// Every connection on its own channel with the feedback stepping through 0-7,
// while every DT1/DT2/MUL combination is written, one operator at a time, and
// the notes move over every key code and KF; keys on and off every few frames,
// the LFO's triangle giving a little PM to half the channels.
inline Stream connectionsDetuneStream(std::uint32_t frames, std::uint32_t seed = 11) {
    Stream s("feature_connections_detune");
    Picker pick(seed);
    s.write(0x18, 0xB0);
    s.write(0x19, 0x80 | 0x18);
    s.write(0x1B, 0x02);
    for (unsigned ch = 0; ch < 8; ++ch) {
        s.channel(ch, ch, ch & 7, 1 + (ch % 3), (ch & 1) != 0 ? 3 : 0);
        for (unsigned role = 0; role < 4; ++role) {
            Operator o;
            o.tl = role == 3 ? 4 : 20 + 4 * role;
            o.ar = 28 + role, o.d1r = 6, o.d1l = 4, o.d2r = 3, o.rr = 8;
            s.op(ch, role, o);
        }
        s.note(ch, 0x30 + ch * 5);
        s.key(ch, 15);
    }
    unsigned combination = 0; // DT1, DT2 and MUL: 8 x 4 x 16
    unsigned code = 0;
    while (s.length() < frames) {
        const unsigned ch = pick(0, 7);
        const unsigned slot = pick(0, 3) * 8 + ch;
        const unsigned dt1 = combination & 7, dt2 = (combination >> 3) & 3,
                       mul = (combination >> 5) & 15;
        combination = (combination + 1) % 512;
        s.write(0x40 + slot, (dt1 << 4) | mul);
        s.write(0xC0 + slot, (dt2 << 6) | 3);
        switch (pick(0, 5)) {
        case 0: s.write(0x20 + ch, (pick(1, 3) << 6) | (pick(0, 7) << 3) | ch); break;
        case 1:
        case 2:
            s.key(ch, 0);
            s.note(ch, code % 128, (code * 7) & 63);
            ++code;
            s.key(ch, 15);
            break;
        case 3: s.write(0x30 + ch, pick(0, 63) << 2); break;
        case 4: s.key(ch, pick(0, 15)); break;
        default: break;
        }
        s.wait(pick(2, 24));
    }
    return s;
}

// All four LFO waves, each in turn at rates from the slowest to the fastest,
// with AM and PM at every sensitivity (each channel's PMS and AMS stepping on)
// and at changing depths, under long notes; the noise meanwhile on C2 of
// channel 7 at every rate, its level stepping through TL, with AM on it.
inline Stream lfoNoiseStream(std::uint32_t frames, std::uint32_t seed = 12) {
    Stream s("feature_lfo_noise");
    Picker pick(seed);
    for (unsigned ch = 0; ch < 8; ++ch) {
        s.channel(ch, ch < 4 ? 7 : (ch == 7 ? 7 : ch), ch & 3, 1 + (ch % 3), ch, ch & 3);
        for (unsigned role = 0; role < 4; ++role) {
            Operator o;
            o.mul = 1 + ((ch + role) & 3);
            o.tl = role == 3 ? 8 : 24 + 3 * role;
            o.ame = (role + ch) & 1;
            o.ar = 30, o.d1r = 2, o.d1l = 2, o.d2r = 0, o.rr = 5;
            s.op(ch, role, o);
        }
        s.note(ch, 0x20 + ch * 11, ch * 8);
        s.key(ch, 15);
    }
    s.write(0x0F, 0x80);
    unsigned wave = 0, rateStep = 0, sensitivity = 0, noiseRate = 0, noiseLevel = 0;
    while (s.length() < frames) {
        const unsigned what = pick(0, 99);
        if (what < 8) {
            wave = (wave + 1) & 3;
            s.write(0x1B, wave);
        } else if (what < 20) {
            rateStep = (rateStep + 1) & 15;
            s.write(0x18, rateStep * 16 + pick(0, 15));
        } else if (what < 30) {
            s.write(0x19, pick(0, 127));
            s.write(0x19, 0x80 | pick(0, 127));
        } else if (what < 45) {
            const unsigned ch = pick(0, 7);
            sensitivity = (sensitivity + 1) & 31;
            s.write(0x38 + ch, ((sensitivity & 7) << 4) | (sensitivity >> 3));
        } else if (what < 55) {
            noiseRate = (noiseRate + 1) & 31;
            s.write(0x0F, 0x80 | noiseRate);
        } else if (what < 62) {
            noiseLevel = (noiseLevel + 9) & 127;
            s.write(0x60 + 31, noiseLevel);
        } else if (what < 75) {
            const unsigned ch = pick(0, 7);
            s.key(ch, 0);
            s.note(ch, pick(0, 127), pick(0, 63));
            s.key(ch, 15);
        } else if (what < 80) {
            s.write(0x0F, (pick(0, 1) << 7) | noiseRate);
        }
        s.wait(pick(20, 300));
    }
    return s;
}

// Timer A's CSM keying a voice on channels 2 and 7 (the noise on C2) at periods
// from one frame to hundreds, rewritten while it runs, started and stopped,
// while the other channels play notes with the LFO running; KON keys the CSM
// channels now and then too.
inline Stream csmTimersStream(std::uint32_t frames, std::uint32_t seed = 13) {
    Stream s("feature_csm_timers");
    Picker pick(seed);
    s.write(0x18, 0xC4);
    s.write(0x19, 0x30);
    s.write(0x19, 0x80 | 0x20);
    s.write(0x1B, 0x01);
    s.write(0x0F, 0x80 | 20);
    for (unsigned ch = 0; ch < 8; ++ch) {
        const bool csmVoice = ch == 2 || ch == 7;
        s.channel(ch, csmVoice ? 7 : (ch * 3) & 7, 2, 1 + (ch % 3), csmVoice ? 0 : 2, 1);
        for (unsigned role = 0; role < 4; ++role) {
            Operator o;
            o.mul = 1 + role;
            o.tl = role == 3 ? 6 : 22 + 4 * role;
            o.ar = csmVoice ? 20 + 3 * role : 26 + role;
            o.d1r = 8, o.d1l = 3, o.d2r = 2, o.rr = csmVoice ? 10 : 7;
            o.ame = role & 1;
            s.op(ch, role, o);
        }
        s.note(ch, 0x28 + ch * 7, ch * 5);
        if (!csmVoice) s.key(ch, 15);
    }
    bool csm = false;
    while (s.length() < frames) {
        const unsigned what = pick(0, 99);
        if (what < 15) {
            const unsigned period = pick.chance(40) ? pick(1, 4) : pick(5, 400);
            s.write(0x10, (1024 - period) >> 2);
            s.write(0x11, (1024 - period) & 3);
        } else if (what < 25) {
            csm = !csm;
            s.write(0x14, csm ? 0x81 : pick(0, 1));
        } else if (what < 50) {
            const unsigned ch = pick(0, 7);
            if (ch == 2 || ch == 7) {
                s.key(ch, pick(0, 15));
            } else {
                s.key(ch, 0);
                s.note(ch, pick(0x10, 0x70), pick(0, 63));
                s.key(ch, 15);
            }
        } else if (what < 60) {
            const unsigned ch = pick.chance(50) ? 2 : 7;
            s.write(0x80 + pick(0, 3) * 8 + ch, pick(10, 31));
            s.write(0xE0 + pick(0, 3) * 8 + ch, (pick(0, 15) << 4) | pick(4, 15));
        } else if (what < 68) {
            s.write(0x28 + (pick.chance(50) ? 2 : 7), pick(0x10, 0x70));
        } else if (what < 74) {
            s.write(0x0F, 0x80 | pick(0, 31));
        }
        s.wait(pick(2, 60));
    }
    return s;
}

// The LFO, the noise and CSM at once: the LFO's wave, rate and depths
// changing every few frames (the noise wave among them), every channel with
// PM and AM, CSM keying all of them at periods from one frame up while KON
// keys and releases notes on them as well (timer B running too, the flags
// reset and the IRQs enabled and not), and the noise on C2 of channel 7
// changing rate and level.
inline Stream lfoNoiseCsmStream(std::uint32_t frames, std::uint32_t seed = 15) {
    Stream s("feature_lfo_noise_csm");
    Picker pick(seed);
    s.write(0x0F, 0x80 | 12);
    s.write(0x18, 0xD0);
    s.write(0x19, 0x40);
    s.write(0x19, 0x80 | 0x40);
    for (unsigned ch = 0; ch < 8; ++ch) {
        s.channel(ch, (ch + 3) & 7, ch & 7, 1 + (ch % 3), pick(1, 7), pick(0, 3));
        for (unsigned role = 0; role < 4; ++role) {
            Operator o;
            o.mul = pick(0, 15), o.dt1 = pick(0, 7), o.dt2 = pick(0, 3);
            o.tl = role == 3 ? pick(0, 10) : pick(15, 45);
            o.ar = pick(18, 31), o.d1r = pick(0, 20), o.d1l = pick(0, 15), o.d2r = pick(0, 10);
            o.rr = pick(4, 15), o.ks = pick(0, 3), o.ame = pick(0, 1);
            s.op(ch, role, o);
        }
        s.note(ch, pick(0x10, 0x70), pick(0, 63));
    }
    while (s.length() < frames) {
        const unsigned what = pick(0, 99);
        if (what < 10) {
            s.write(0x1B, pick(0, 3));
        } else if (what < 18) {
            s.write(0x18, pick(0, 255));
        } else if (what < 24) {
            s.write(0x19, (pick(0, 1) << 7) | pick(0, 127));
        } else if (what < 34) {
            const unsigned period = pick.chance(50) ? pick(1, 4) : pick(5, 300);
            s.write(0x10, (1024 - period) >> 2);
            s.write(0x11, (1024 - period) & 3);
        } else if (what < 42) {
            // Timer B's load, the flags' resets and the IRQ enables along.
            s.write(0x14,
                    (pick.chance(60) ? 0x81 : pick(0, 1)) | (pick(0, 15) << 2) | (pick(0, 1) << 1));
        } else if (what < 44) {
            s.write(0x12, pick(0, 255));
        } else if (what < 62) {
            const unsigned ch = pick(0, 7);
            s.key(ch, pick.chance(40) ? 0 : pick(1, 15));
        } else if (what < 70) {
            const unsigned ch = pick(0, 7);
            s.note(ch, pick(0, 127), pick(0, 63));
        } else if (what < 78) {
            s.write(0x0F, (pick.chance(85) ? 0x80 : 0) | pick(0, 31));
        } else if (what < 84) {
            s.write(0x60 + 31, pick(0, 60));
        } else if (what < 90) {
            s.write(0x38 + pick(0, 7), (pick(0, 7) << 4) | pick(0, 3));
        }
        s.wait(pick(2, 40));
    }
    return s;
}

// Envelopes at their extreme rates on every channel: AR 31 and slow attacks,
// D1R and D2R 0 and 31, RR 15, KS 3 at the highest key codes, D1L at both
// ends; each note keyed off after a few frames to a few hundred (every point
// of the attack, the decays and the sustain) and keyed on again at every point
// of the release.
inline Stream envelopeExtremesStream(std::uint32_t frames, std::uint32_t seed = 14) {
    Stream s("feature_envelope_extremes");
    Picker pick(seed);
    constexpr unsigned extremes[] = {0, 31};
    for (unsigned ch = 0; ch < 8; ++ch)
        s.channel(ch, 4 + (ch & 3), ch & 1 ? 0 : 5, 1 + (ch % 3));
    std::uint32_t keyFrames = 2;
    while (s.length() < frames) {
        const unsigned ch = pick(0, 7);
        const unsigned role = pick(0, 3);
        Operator o;
        o.ks = pick.chance(50) ? 3 : pick(0, 2);
        o.ar = pick.chance(50) ? 31 : pick(8, 30);
        o.d1r = extremes[pick(0, 1)];
        o.d2r = extremes[pick(0, 1)];
        o.d1l = pick.chance(50) ? 15 * pick(0, 1) : pick(1, 14);
        o.rr = pick.chance(50) ? 15 : pick(0, 14);
        o.tl = role == 3 ? 0 : pick(10, 40);
        o.mul = pick(1, 4);
        s.op(ch, role, o);
        s.note(ch, pick.chance(50) ? pick(0x70, 0x7E) : pick(0, 0x6F), pick(0, 63));
        s.key(ch, 15);
        s.wait(keyFrames);
        s.key(ch, 0);
        s.wait(pick(0, 12) * pick(0, 6));
        s.key(ch, 15);
        s.wait(pick(2, 40));
        s.key(ch, pick(0, 15));
        keyFrames = keyFrames >= 300 ? 2 : keyFrames + 1 + keyFrames / 8;
        s.wait(pick(0, 20));
    }
    return s;
}

} // namespace ym2151test
