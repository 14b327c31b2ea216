// Register streams for the YM2151 tests and the benchmark: timed writes that
// set up voices the way a driver would. Writes are spaced two frames apart, the
// least the chip needs to latch each one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace ym2151test {

struct TimedWrite {
    std::uint32_t frame;
    std::uint8_t address;
    std::uint8_t data;
};

struct Operator {
    unsigned dt1 = 0, mul = 1, tl = 0, ks = 0, ar = 31, ame = 0, d1r = 0, dt2 = 0, d2r = 0, d1l = 0,
             rr = 15;
};

class Stream {
public:
    explicit Stream(std::string name) : name_(std::move(name)) {}

    void write(unsigned address, unsigned data) {
        writes_.push_back(
            {now_, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data)});
        now_ += 2;
    }
    void wait(std::uint32_t frames) { now_ += frames; }

    // Slot s of channel ch: role 0 = M1, 1 = M2, 2 = C1, 3 = C2.
    void op(unsigned ch, unsigned role, const Operator& o) {
        const unsigned s = role * 8 + ch;
        write(0x40 + s, (o.dt1 << 4) | o.mul);
        write(0x60 + s, o.tl);
        write(0x80 + s, (o.ks << 6) | o.ar);
        write(0xA0 + s, (o.ame << 7) | o.d1r);
        write(0xC0 + s, (o.dt2 << 6) | o.d2r);
        write(0xE0 + s, (o.d1l << 4) | o.rr);
    }
    void channel(unsigned ch, unsigned con, unsigned fb, unsigned rl = 3, unsigned pms = 0,
                 unsigned ams = 0) {
        write(0x20 + ch, (rl << 6) | (fb << 3) | con);
        write(0x38 + ch, (pms << 4) | ams);
    }
    void note(unsigned ch, unsigned kc, unsigned kf = 0) {
        write(0x28 + ch, kc);
        write(0x30 + ch, kf << 2);
    }
    // Key bits: 1 = M1, 2 = C1, 4 = M2, 8 = C2.
    void key(unsigned ch, unsigned mask) { write(0x08, (mask << 3) | ch); }

    const std::string& name() const { return name_; }
    const std::vector<TimedWrite>& writes() const { return writes_; }
    std::uint32_t length() const { return now_; }

private:
    std::string name_;
    std::vector<TimedWrite> writes_;
    std::uint32_t now_ = 0;
};

// C2 of channel 7 as the noise at NFRQ nfrq with AM at AMS 3 (the noise's level
// shows AM's product exactly), with its key code written when one is given; the
// key-on is left to the stream.
inline void noiseShowingAm(Stream& s, unsigned nfrq, std::optional<unsigned> keyCode) {
    s.channel(7, 7, 0, 3, 0, 3);
    Operator noise;
    noise.ame = 1;
    s.op(7, 3, noise);
    if (keyCode) s.note(7, *keyCode);
    s.write(0x0F, 0x80 | nfrq);
}

// All eight channels sounding with different connections, notes changing, the
// LFO on with AM and PM (or, with lfo false, off as in much music): busy
// streams for the benchmark and the comparison. With noiseCsm, C2 of channel 7
// is the noise and timer A's CSM keys every slot every 64 frames as well.
inline Stream busyStream(std::uint32_t frames, bool lfo = true, bool noiseCsm = false) {
    Stream s(noiseCsm ? "busy_noise_csm" : lfo ? "busy" : "busy_no_lfo");
    if (noiseCsm) {
        s.write(0x0F, 0x80 | 0x10);
        s.write(0x10, 0xF0);
        s.write(0x11, 0x00);
        s.write(0x14, 0x81);
    }
    if (lfo) {
        s.write(0x18, 0xC8);
        s.write(0x19, 0x40);
        s.write(0x19, 0x80 | 0x30);
        s.write(0x1B, 0x02);
    }
    for (unsigned ch = 0; ch < 8; ++ch) {
        s.channel(ch, ch, (ch * 3) & 7, 1 + (ch & 1) * 2, lfo ? (ch + 2) & 7 : 0, lfo ? ch & 3 : 0);
        for (unsigned role = 0; role < 4; ++role) {
            Operator o;
            o.mul = (ch + role) % 15 + 1;
            o.dt1 = (ch + role) & 7;
            o.tl = 10 + 6 * role + ch;
            o.ar = 24 + role;
            o.d1r = 4 + ch;
            o.d1l = 3;
            o.d2r = 2;
            o.rr = 6;
            o.ame = role & 1;
            s.op(ch, role, o);
        }
        s.note(ch, 0x20 + ch * 9, ch * 7);
        s.key(ch, 15);
    }
    unsigned step = 0;
    while (s.length() < frames) {
        const unsigned ch = step & 7;
        s.key(ch, 0);
        s.note(ch, 0x18 + ((step * 11) & 0x5F), (step * 13) & 63);
        s.key(ch, 15);
        s.wait(400);
        ++step;
    }
    return s;
}

// What a random stream may write besides notes, keys and voices.
struct RandomFeatures {
    bool lfo = true;   // LFRQ, AMD/PMD (odd values too), wave, PMS/AMS, the LFO reset
    bool noise = true; // NE and NFRQ
    bool csm = true;   // timer A with CSM
};

// Music-like random writes over every register, from a seed: eight voices of
// random operators, then for `frames` frames notes on any key code (unused
// codes too), key-on and key-off of any slot mask at any point of the
// envelopes, single operator and channel registers rewritten while sounding,
// and the LFO, noise and CSM set and changed while running. Only the raw
// output of the generator is used, so every standard library makes the same
// stream.
inline Stream randomStream(std::string name, std::uint32_t seed, std::uint32_t frames,
                           RandomFeatures features = {}) {
    Stream s(std::move(name));
    std::mt19937 random(seed);
    const auto pick = [&](unsigned low, unsigned high) {
        return low + static_cast<unsigned>(random() % (high - low + 1));
    };
    const auto chance = [&](unsigned percent) { return pick(0, 99) < percent; };
    const auto randomOperator = [&]() {
        Operator o;
        o.dt1 = pick(0, 7), o.mul = pick(0, 15), o.tl = chance(50) ? pick(0, 40) : pick(0, 127);
        o.ks = pick(0, 3), o.ar = chance(20) ? pick(0, 31) : pick(16, 31), o.ame = pick(0, 1);
        o.d1r = pick(0, 31), o.dt2 = chance(50) ? 0 : pick(0, 3), o.d2r = pick(0, 31);
        o.d1l = pick(0, 15), o.rr = pick(0, 15);
        return o;
    };
    const auto lfoFeatures = [&]() { return features.lfo ? (pick(0, 7) << 4) | pick(0, 3) : 0u; };
    const auto lfoWrite = [&]() {
        switch (pick(0, 5)) {
        case 0: s.write(0x18, pick(0, 255)); break;
        case 1: s.write(0x19, pick(0, 127)); break;
        case 2: s.write(0x19, 0x80 | pick(0, 127)); break;
        case 3: s.write(0x1B, pick(0, 3)); break;
        case 4: s.write(0x01, chance(50) ? 2 : 0); break;
        default: s.write(0x19, (pick(0, 1) << 7) | (pick(0, 63) * 2 + 1)); break;
        }
    };
    if (features.lfo) {
        s.write(0x18, pick(0, 255));
        s.write(0x19, pick(0, 127));
        s.write(0x19, 0x80 | pick(0, 127));
        s.write(0x1B, pick(0, 3));
    }
    for (unsigned ch = 0; ch < 8; ++ch) {
        s.write(0x20 + ch, (pick(1, 3) << 6) | (pick(0, 7) << 3) | pick(0, 7));
        s.write(0x38 + ch, lfoFeatures());
        for (unsigned role = 0; role < 4; ++role)
            s.op(ch, role, randomOperator());
        s.note(ch, pick(0, 127), pick(0, 63));
    }
    while (s.length() < frames) {
        const unsigned ch = pick(0, 7);
        const unsigned what = pick(0, 99);
        if (what < 30) {
            s.note(ch, pick(0, 127), pick(0, 63));
            s.key(ch, chance(80) ? 15 : pick(0, 15));
        } else if (what < 45) {
            s.key(ch, chance(50) ? 0 : pick(0, 15));
        } else if (what < 55) {
            s.write(0x28 + ch, pick(0, 127));
        } else if (what < 60) {
            s.write(0x30 + ch, pick(0, 63) << 2);
        } else if (what < 70) {
            s.write(pick(0x40, 0xFF), pick(0, 255));
        } else if (what < 73) {
            s.op(ch, pick(0, 3), randomOperator());
        } else if (what < 78) {
            s.write(0x20 + ch, (pick(0, 3) << 6) | (pick(0, 7) << 3) | pick(0, 7));
        } else if (what < 84) {
            if (features.lfo) s.write(0x38 + ch, lfoFeatures());
        } else if (what < 92) {
            if (features.lfo) lfoWrite();
        } else if (what < 96) {
            if (features.noise) s.write(0x0F, (pick(0, 1) << 7) | pick(0, 31));
        } else if (features.csm) {
            if (chance(50)) {
                s.write(0x10, pick(0, 255));
                s.write(0x11, pick(0, 3));
            }
            s.write(0x14, chance(60) ? 0x81 | (pick(0, 1) << 4) : pick(0, 1) << 4);
        }
        s.wait(chance(70) ? pick(0, 20) : pick(20, 400));
    }
    return s;
}

// The streams compared with the reference, one feature each.
// Timer A loaded with CLKA 0x3FC | clkaLow keying, by CSM, a carrier and a
// modulator of channel 4 after their release, at two attack rates and three
// load timings.
// 64 notes on C2 of a channel, from note code first on, four codes a group
// 0x14 apart at KFs spread over 0-63, each under one of eight PMDs in turn.
inline void keyAcrossNoteCodes(Stream& s, unsigned channel, unsigned first,
                               const std::array<unsigned, 8>& depths) {
    for (unsigned i = 0; i < 64; ++i) {
        s.write(0x19, 0x80 | depths[i / 8]);
        s.note(channel, first + (i % 4) * 0x14, (i * 21 + i / 4) & 63);
        s.key(channel, 8);
        s.wait(100);
        s.key(channel, 0);
        s.wait(10);
    }
}

inline Stream csmRepeatingStream(std::string name, std::uint8_t clkaLow) {
    Stream s(std::move(name));
    s.channel(4, 7, 0);
    s.note(4, 0x42);
    s.write(0x10, 0xFF);
    s.write(0x11, clkaLow);
    for (unsigned ar : {24u, 20u}) {
        Operator o;
        o.ar = ar, o.d1r = 6, o.d1l = 2, o.rr = 9;
        s.op(4, 0, o);
        s.op(4, 3, o);
        for (unsigned gap = 0; gap < 3; ++gap) {
            s.key(4, 1 | 8);
            s.wait(30);
            s.key(4, 0);
            s.wait(20 + gap);
            s.write(0x14, 0x81);
            s.wait(150);
            s.write(0x14, 0x00);
            s.wait(1500);
        }
    }
    return s;
}

inline std::vector<Stream> comparisonStreams() {
    std::vector<Stream> all;
    {
        Stream s("sine_notes");
        s.channel(0, 7, 0);
        s.op(0, 3, Operator{});
        s.note(0, 0x4A);
        s.key(0, 8);
        for (unsigned kc : {0x00u, 0x0Eu, 0x15u, 0x26u, 0x3Cu, 0x51u, 0x6Au, 0x7Eu}) {
            s.wait(300);
            s.note(0, kc, (kc * 5) & 63);
        }
        s.wait(300);
        all.push_back(s);
    }
    {
        Stream s("detune_mul");
        s.channel(1, 7, 0);
        s.note(1, 0x3C);
        Operator o;
        s.op(1, 0, o);
        s.key(1, 1);
        for (unsigned v = 0; v < 16; ++v) {
            s.wait(200);
            s.write(0x41, ((v & 7) << 4) | ((v * 5) % 16));
            s.write(0xC1, (v >> 2) << 6);
        }
        s.wait(200);
        all.push_back(s);
    }
    {
        Stream s("feedback");
        s.channel(2, 7, 0);
        s.note(2, 0x2A);
        s.op(2, 0, Operator{});
        s.key(2, 1);
        for (unsigned fb = 0; fb < 8; ++fb) {
            s.channel(2, 7, fb);
            s.wait(300);
        }
        all.push_back(s);
    }
    for (unsigned con = 0; con < 8; ++con) {
        Stream s("connection" + std::to_string(con));
        const unsigned ch = con;
        s.channel(ch, con, 5, 3);
        for (unsigned role = 0; role < 4; ++role) {
            Operator o;
            o.mul = role + 1;
            o.tl = role == 3 ? 0 : 20 + role * 4;
            o.d1r = 3;
            o.d1l = 4;
            o.rr = 8;
            s.op(ch, role, o);
        }
        s.note(ch, 0x3A, 10);
        s.key(ch, 15);
        s.wait(600);
        s.note(ch, 0x45);
        s.wait(400);
        s.key(ch, 0);
        s.wait(300);
        s.key(ch, 15);
        s.wait(400);
        all.push_back(s);
    }
    {
        Stream s("envelope_extremes");
        s.channel(3, 7, 0);
        s.note(3, 0x6C);
        Operator fast;
        fast.ar = 31, fast.d1r = 31, fast.d1l = 8, fast.d2r = 31, fast.rr = 15, fast.ks = 3;
        s.op(3, 3, fast);
        s.key(3, 8);
        s.wait(300);
        s.key(3, 0);
        s.wait(100);
        Operator slow;
        slow.ar = 4, slow.d1r = 1, slow.d1l = 15, slow.d2r = 1, slow.rr = 1, slow.ks = 0;
        s.op(3, 3, slow);
        s.note(3, 0x10);
        s.key(3, 8);
        s.wait(3000);
        s.key(3, 0);
        s.wait(1000);
        Operator mid;
        mid.ar = 18, mid.d1r = 12, mid.d1l = 5, mid.d2r = 7, mid.rr = 4, mid.ks = 2;
        s.op(3, 3, mid);
        s.note(3, 0x48);
        s.key(3, 8);
        s.wait(1500);
        s.key(3, 0);
        s.wait(1000);
        all.push_back(s);
    }
    for (unsigned wave = 0; wave < 4; ++wave) {
        Stream s("lfo_wave" + std::to_string(wave));
        s.write(0x18, 0xE0 + wave * 5);
        s.write(0x19, 0x7F);
        s.write(0x19, 0x80 | 0x60);
        s.write(0x1B, wave);
        s.channel(4, 7, 0, 3, 6 + (wave & 1), 3 - (wave & 1));
        Operator o;
        o.ame = 1;
        s.op(4, 3, o);
        s.note(4, 0x4A);
        s.key(4, 8);
        s.wait(2500);
        s.channel(4, 7, 0, 3, 3, 1);
        s.wait(1500);
        all.push_back(s);
    }
    {
        // The LFO held by the test register's reset for 203 to 211 frames (all
        // eight phases of its prescaler) at LFRQ 0x5C, 0xC0, 0xD3 and 0xB7, then
        // run, and LFRQ rewritten at a faster rate: PM of the saw on a carrier
        // at PMS 6 (0 while the reset takes hold).
        Stream s("lfo_reset_held");
        s.write(0x19, 0x80 | 0x7F);
        s.channel(0, 7, 0, 3, 6, 0);
        s.op(0, 3, Operator{});
        s.note(0, 0x4D);
        s.key(0, 8);
        constexpr std::array<std::array<unsigned, 2>, 4> rates{
            {{0x5C, 0xDA}, {0xC0, 0xC0}, {0xD3, 0xE1}, {0xB7, 0xDA}}};
        for (const auto& [held, run] : rates) {
            for (unsigned hold = 203; hold < 211; ++hold) {
                s.write(0x38, 0x00);
                s.write(0x01, 0x02);
                s.write(0x18, held);
                s.wait(hold - 2);
                s.write(0x38, 0x60);
                s.write(0x01, 0x00);
                s.wait(120 + hold % 3);
                s.write(0x18, run);
                s.wait(200);
            }
        }
        all.push_back(s);
    }
    {
        // PMD cleared while the LFO runs, at each frame of the multipliers'
        // eight-frame cycle, under the saw and the square: PM on high sines
        // taking it at once (C2 of channel 0) and a frame later (M1 of channel
        // 1), PMD written again after each.
        Stream s("lfo_pm_depth_cleared");
        s.write(0x18, 0xC7);
        Operator sine;
        sine.mul = 15;
        s.channel(0, 7, 0, 3, 7, 0);
        s.op(0, 3, sine);
        s.note(0, 0x5A);
        s.channel(1, 7, 0, 3, 6, 0);
        s.op(1, 0, sine);
        s.note(1, 0x4E);
        for (unsigned wave : {0u, 1u}) {
            s.write(0x1B, wave);
            for (unsigned frame = 0; frame < 8; ++frame) {
                s.write(0x19, 0x80 | 0x5D);
                s.key(0, 8);
                s.key(1, 1);
                s.wait(100 + frame);
                s.write(0x19, 0x80);
                s.wait(40);
                s.key(0, 0);
                s.key(1, 0);
            }
        }
        all.push_back(s);
    }
    {
        // PMD cleared under the saw's PM at each frame of the multipliers'
        // eight-frame cycle and written again six frames later, within the
        // next turn: sines on the slots that see the clear at once and the
        // product a frame late, the first and the last of them (M2 of channel
        // 3, C1 of channel 6) and C1 of channel 5, keyed again for each.
        Stream s("lfo_pm_depth_rewritten");
        s.write(0x18, 0xC7);
        Operator sine;
        sine.mul = 15;
        const std::array<std::array<unsigned, 3>, 3> sines{
            {{3, 1, 0x5A}, {5, 2, 0x4E}, {6, 2, 0x6A}}};
        for (const auto& [ch, role, kc] : sines) {
            s.channel(ch, 7, 0, 3, 7, 0);
            s.op(ch, role, sine);
            s.note(ch, kc);
        }
        for (unsigned frame = 0; frame < 8; ++frame) {
            s.write(0x19, 0x80 | 0x5D);
            s.key(3, 4);
            s.key(5, 2);
            s.key(6, 2);
            s.wait(60 + frame);
            s.write(0x19, 0x80);
            s.wait(4);
            s.write(0x19, 0x80 | 0x5D);
            s.wait(40);
            s.key(3, 0);
            s.key(5, 0);
            s.key(6, 0);
        }
        all.push_back(s);
    }
    {
        // The LFO reset taking hold at each frame of the multipliers'
        // eight-frame cycle, the saw, the square and the triangle stopped in
        // their second half: PM on a high sine (C2 of channel 0 at PMS 7) and
        // AM on the noise (C2 of channel 7 at AMS 3), whose levels show each
        // turn's product.
        Stream s("lfo_reset_taking_hold");
        s.write(0x19, 0x6B);
        s.write(0x19, 0x80 | 0x5D);
        s.channel(0, 7, 0, 3, 7, 0);
        Operator sine;
        sine.mul = 15;
        s.op(0, 3, sine);
        s.note(0, 0x5A);
        noiseShowingAm(s, 31, 0x40);
        s.key(0, 8);
        s.key(7, 8);
        for (unsigned wave = 0; wave < 3; ++wave) {
            s.write(0x1B, wave);
            for (unsigned frame = 0; frame < 8; ++frame) {
                s.write(0x01, 0x00);
                s.write(0x18, 0xF0);
                s.wait(1100 + frame);
                s.write(0x18, 0x00);
                s.wait(20);
                s.write(0x01, 0x02);
                s.wait(60);
            }
        }
        s.write(0x01, 0x00);
        s.wait(100);
        all.push_back(s);
    }
    {
        // The test register's LFO reset written at each frame of the
        // multipliers' eight-frame cycle, one depth bit at a time and all of
        // them, AM of the saw, the triangle and the noise wave on the noise
        // (whose level shows it exactly), then PM of the saw on a sine: in the
        // reset's frame a pair's first bit reads the wave of the phase with
        // bits 5-7 cleared.
        Stream s("lfo_reset_onset");
        noiseShowingAm(s, 31, std::nullopt);
        s.key(7, 8);
        s.channel(4, 7, 0, 3, 7, 0);
        Operator sine;
        sine.mul = 15;
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.key(4, 8);
        s.write(0x18, 0xBE);
        const auto resetAt = [&](unsigned depthAddress, unsigned depth, unsigned wave) {
            s.write(0x1B, wave);
            s.write(0x19, depthAddress | depth);
            for (unsigned frame = 0; frame < 8; ++frame) {
                s.wait(60 + frame);
                s.write(0x01, 2);
                s.wait(28);
                s.write(0x01, 0);
            }
            s.write(0x19, depthAddress);
        };
        for (unsigned wave : {0u, 2u, 3u})
            for (unsigned depth : {0x40u, 0x10u, 0x04u, 0x01u, 0x7Fu})
                resetAt(0, depth, wave);
        for (unsigned depth : {0x40u, 0x7Fu})
            resetAt(0x80, depth, 0);
        s.wait(200);
        all.push_back(s);
    }
    {
        // The test register's LFO reset under the noise wave's PM on a sine,
        // written at frames 3 apart in the multipliers' cycle: the sign keeps
        // the phase's before the reset until the cycle's start.
        Stream s("lfo_reset_noise_pm");
        s.write(0x1B, 3);
        s.write(0x18, 0xBE);
        s.write(0x19, 0x80 | 0x2D);
        s.channel(4, 7, 0, 3, 7, 0);
        Operator sine;
        sine.mul = 15;
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.key(4, 8);
        for (unsigned frame = 0; frame < 8; ++frame) {
            s.wait(97 + 3 * frame);
            s.write(0x01, 2);
            s.wait(28);
            s.write(0x01, 0);
        }
        s.wait(200);
        all.push_back(s);
    }
    {
        // The LFO's noise wave held by the test register's reset while the
        // prescaler steps on: each step's first count gives PM's sign for
        // eight frames all the same, the magnitude staying 0. Shown by notes
        // on unused codes, which a PM of 0 with the sign set moves (see
        // pm_unused_codes), on an early and a late PM slot; LFRQ with and
        // without the rate multiplier's extra count, the noise at several
        // rates, and the reset released at each frame around a step.
        Stream s("lfo_noise_steps_held");
        s.write(0x1B, 3);
        s.write(0x19, 0x80 | 0x2D);
        Operator sine;
        sine.mul = 3;
        for (unsigned ch : {4u, 7u}) {
            s.channel(ch, 7, 0, ch == 4 ? 1 : 2, 7, 0);
            s.op(ch, 3, sine);
            s.note(ch, ch == 4 ? 0x4B : 0x37, ch == 4 ? 5 : 0);
            s.key(ch, 8);
        }
        unsigned release = 0;
        for (unsigned rate : {0xE0u, 0xE7u, 0xD3u})
            for (unsigned noise : {0x1Fu, 0x16u, 0x03u}) {
                s.write(0x0F, noise);
                s.write(0x18, rate);
                s.write(0x38 + 4, 0);
                s.write(0x38 + 7, 0);
                s.write(0x01, 2);
                s.wait(20);
                s.write(0x38 + 4, 0x70);
                s.write(0x38 + 7, 0x70);
                s.wait(150 + release);
                s.write(0x01, 0);
                s.wait(60);
                release = (release + 5) % 32;
            }
        s.wait(200);
        all.push_back(s);
    }
    {
        // The test register's LFO reset held a few frames under the noise
        // wave's PM and released at each frame of the multipliers' cycle, at
        // LFRQs with and without the rate multiplier's extra count: the sign
        // reads the phase the reset left only from the cycle's start. Sines on
        // a late and an early PM slot, keyed again for each reset.
        Stream s("lfo_reset_released_noise_pm");
        s.write(0x1B, 3);
        s.write(0x19, 0x80 | 0x7F);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        for (unsigned rate : {0xE0u, 0xC7u, 0xE7u}) {
            s.write(0x18, rate);
            for (unsigned i = 0; i < 24; ++i) {
                s.key(4, 8);
                s.key(1, 1);
                s.wait(40 + i);
                s.write(0x01, 2);
                s.wait(i % 2 == 0 ? 3 : 9);
                s.write(0x01, 0);
                s.wait(30);
                s.key(4, 0);
                s.key(1, 0);
                s.wait(10);
            }
        }
        all.push_back(s);
    }
    {
        // As lfo_reset_released_noise_pm at an odd PMD, the reset written at
        // every frame of the multipliers' cycle and of the LFO's step: written
        // in the frame of a step at the end of PM's turn, bit 0 multiplies
        // the noise wave's sign spread over eight bits.
        Stream s("lfo_reset_noise_pm_odd_depths");
        s.write(0x1B, 3);
        s.write(0x19, 0x80 | 0x2D);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        for (unsigned rate : {0xE0u, 0xF9u}) {
            s.write(0x18, rate);
            for (unsigned i = 0; i < 24; ++i) {
                s.key(4, 8);
                s.key(1, 1);
                s.wait(40 + i);
                s.write(0x01, 2);
                s.wait(rate == 0xE0 ? 1 : 9);
                s.write(0x01, 0);
                s.wait(30);
                s.key(4, 0);
                s.key(1, 0);
                s.wait(10);
            }
        }
        all.push_back(s);
    }
    {
        // A waveform selected two and three frames after the test register's
        // LFO reset is written (the square to the triangle, the triangle to
        // the noise, the noise to the square, the saw to the triangle), the
        // reset written at every frame of the multipliers' cycle, AM on the
        // noise (whose level shows it exactly), LFRQ 0xE0: the turn the reset
        // reaches in part takes each pair's values by the waveforms selected
        // in its frame.
        Stream s("lfo_wave_selected_after_reset");
        s.write(0x19, 127);
        noiseShowingAm(s, 31, 0x40);
        s.key(7, 8);
        s.write(0x18, 0xE0);
        for (const auto& [from, to] :
             std::array<std::array<unsigned, 2>, 4>{{{1, 2}, {2, 3}, {3, 1}, {0, 2}}}) {
            for (unsigned i = 0; i < 16; ++i) {
                s.write(0x1B, from);
                s.wait(40 + i);
                s.write(0x01, 2);
                s.wait(i % 2);
                s.write(0x1B, to);
                s.wait(4);
                s.write(0x01, 0);
                s.wait(40);
            }
        }
        all.push_back(s);
    }
    {
        // The saw and the square run into their second half at LFRQ 0xFF and
        // stopped there, then the test register's LFO reset held for five
        // frames, released at every frame of the multipliers' cycle: a reset
        // released in the frame the cycle starts still gives PM's sign the
        // reset phase's there. Sines on a late and an early PM slot.
        Stream s("lfo_reset_released_at_cycle_start");
        s.write(0x19, 0x80 | 0x7F);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        for (unsigned wave : {0u, 1u}) {
            s.write(0x1B, wave);
            for (unsigned i = 0; i < 8; ++i) {
                s.write(0x18, 0xFF);
                s.key(4, 8);
                s.key(1, 1);
                s.wait(600 + i);
                s.write(0x18, 0x00);
                s.wait(20);
                s.write(0x01, 2);
                s.wait(3);
                s.write(0x01, 0);
                s.wait(30);
                s.key(4, 0);
                s.key(1, 0);
            }
        }
        all.push_back(s);
    }
    {
        // AMD rewritten one to four frames after the test register's LFO
        // reset, the reset at every frame of the multipliers' cycle, the
        // square and the saw, AM on the noise (whose level shows it exactly):
        // in the turn the reset reaches in part, a depth written in a pair's
        // frame multiplies the wave's low bits as it stood before, as in any
        // other turn.
        Stream s("lfo_depth_written_after_reset");
        noiseShowingAm(s, 31, 0x40);
        s.key(7, 8);
        s.write(0x18, 0xC0);
        for (unsigned wave : {1u, 0u}) {
            s.write(0x1B, wave);
            for (unsigned i = 0; i < 32; ++i) {
                s.write(0x19, i % 2 == 0 ? 0x72 : 0x49);
                s.wait(40 + i % 8);
                s.write(0x01, 2);
                s.wait(i / 8);
                s.write(0x19, i % 2 == 0 ? 0x49 : 0x72);
                s.wait(4);
                s.write(0x01, 0);
                s.wait(30);
            }
        }
        all.push_back(s);
    }
    {
        // The noise wave held by the test register's LFO reset over steps with
        // the rate multiplier's extra count (LFRQ 0xE7), the square, the
        // triangle or the saw selected at every frame of a step's turn while
        // it holds, AM on the noise (whose level shows it exactly): selected
        // in the frame after such a step, the first bit of the turn's top pair
        // reads bits 5-7 of the square of the phase the step loaded and of the
        // triangle of the direction it loaded, the saw and the other bits
        // the phase the reset holds.
        Stream s("lfo_wave_selected_after_held_double_step");
        s.write(0x19, 0x70);
        noiseShowingAm(s, 31, 0x40);
        s.key(7, 8);
        s.write(0x18, 0xE7);
        for (unsigned wave : {1u, 2u, 0u}) {
            for (unsigned i = 0; i < 48; ++i) {
                s.write(0x1B, 3);
                s.wait(20);
                s.write(0x01, 2);
                s.wait(10 + i % 16);
                s.write(0x1B, wave);
                s.wait(6);
                s.write(0x01, 0);
                s.wait(20 + i % 3);
            }
        }
        all.push_back(s);
    }
    {
        // As lfo_reset_released_after_double_steps, the triangle selected three
        // frames after each release and the noise again before the next reset:
        // a double step in the last frame the reset holds loads the triangle's
        // direction with the noise as well.
        Stream s("lfo_reset_released_triangle_direction");
        s.write(0x19, 127);
        noiseShowingAm(s, 31, 0x40);
        s.key(7, 8);
        s.write(0x18, 0xE7);
        s.wait(100);
        for (unsigned i = 0; i < 80; ++i) {
            const std::uint32_t start = s.length();
            s.write(0x1B, 3);
            s.write(0x01, 2);
            s.wait(i % 40);
            s.write(0x01, 0);
            s.wait(1);
            s.write(0x1B, 2);
            s.wait(start + 145 - s.length());
        }
        all.push_back(s);
    }
    {
        // As lfo_reset_released_triangle_direction at LFRQ 0xFD (a step every
        // turn of the cycle) with the saw selected after each release, under
        // PM on sines of a late and an early PM slot keyed again each time: PM's sign reads the
        // phase a double step in the last frame the reset holds loads, from the cycle's start after
        // it.
        Stream s("lfo_reset_released_saw_pm_sign");
        s.write(0x19, 0x80 | 0x7F);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        s.write(0x18, 0xFD);
        s.wait(100);
        for (unsigned i = 0; i < 80; ++i) {
            const std::uint32_t start = s.length();
            s.write(0x1B, 3);
            s.write(0x01, 2);
            s.key(4, 8);
            s.key(1, 1);
            s.wait(i % 40);
            s.write(0x01, 0);
            s.wait(1);
            s.write(0x1B, 0);
            s.wait(start + 140 - s.length());
            s.key(4, 0);
            s.key(1, 0);
        }
        all.push_back(s);
    }
    {
        // The test register's LFO reset under the noise wave, held from 2 to
        // 41 frames in turns of 145 and 150 frames, so that it is released at
        // every frame around steps with and without the rate multiplier's
        // extra count (LFRQ 0xE7 and 0xE8), AM on the noise (whose level shows
        // it exactly): a double step in the last frame the reset holds leaves
        // bits 5-7 of the noise it loads.
        Stream s("lfo_reset_released_after_double_steps");
        s.write(0x19, 127);
        s.write(0x1B, 3);
        noiseShowingAm(s, 31, 0x40);
        s.key(7, 8);
        for (const auto& [rate, turn] :
             std::array<std::array<unsigned, 2>, 2>{{{0xE7, 145}, {0xE8, 150}}}) {
            s.write(0x18, rate);
            s.wait(100);
            for (unsigned i = 0; i < 80; ++i) {
                const std::uint32_t start = s.length();
                s.write(0x01, 2);
                s.wait(i % 40);
                s.write(0x01, 0);
                s.wait(start + turn - s.length());
            }
        }
        all.push_back(s);
    }
    {
        // PMD written and cleared under the saw's second half at a depth PMS 1
        // brings to 0, where only PM's sign shows, on notes of unused codes:
        // one slot of each group that takes the sign at its own time (M2 of
        // channels 2 and 3, C1 of channels 6 and 7), at several frames of the
        // multipliers' cycle, with the sign's turn at the end of the period.
        Stream s("lfo_pm_sign_with_depth");
        s.write(0x18, 0xC0);
        const std::array<unsigned, 4> channels{2, 3, 6, 7};
        for (unsigned i = 0; i < channels.size(); ++i) {
            const unsigned ch = channels[i];
            s.channel(ch, 7, 0, i % 2 == 0 ? 1 : 2, 1, 0);
            Operator sine;
            Operator silent;
            silent.tl = 127;
            for (unsigned role = 0; role < 4; ++role)
                s.op(ch, role, role == (i < 2 ? 1u : 2u) ? sine : silent);
            s.note(ch, i < 2 ? 0x3F : 0x4B);
            s.key(ch, 15);
        }
        while (s.length() < 9000)
            s.wait(1);
        for (unsigned frame = 0; frame < 8; ++frame) {
            s.write(0x19, 0x80 | 0x1F);
            s.wait(100 + frame);
            s.write(0x19, 0x80);
            s.wait(60 + 3 * frame);
        }
        s.write(0x19, 0x80 | 0x1F);
        while (s.length() < 16700)
            s.wait(1);
        all.push_back(s);
    }
    {
        // The test register's LFO reset under the noise wave's PM, the value
        // loaded by fast steps and then held by a slow LFRQ, the reset written
        // at every frame of the multipliers' cycle under single depth bits and
        // a mixed depth: the turn the reset reaches in part multiplies the
        // first bit of a pair by the phase with bits 5-7 cleared, turned as
        // bit 7 was. A sine on a late PM slot (C2 of channel 4) and on an
        // early one (M1 of channel 1).
        Stream s("lfo_reset_noise_pm_depths");
        s.write(0x1B, 3);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.key(4, 8);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        s.key(1, 1);
        for (unsigned depth : {0x40u, 0x10u, 0x04u, 0x01u, 0x33u}) {
            s.write(0x19, 0x80 | depth);
            for (unsigned i = 0; i < 16; ++i) {
                s.write(0x18, 0xE0);
                s.wait(30 + i);
                s.write(0x18, 0x4B);
                s.wait(20 + i / 2);
                s.write(0x01, 2);
                s.wait(40);
                s.write(0x01, 0);
                s.wait(10);
            }
        }
        s.wait(100);
        all.push_back(s);
    }
    // As lfo_reset_noise_pm_depths under the saw and the triangle, run at the
    // fastest rate for a few hundred frames first so that the phase held has
    // bits 5 and 6 set in places, and bit 7 (the triangle's second quarter,
    // its fourth): the turn the reset reaches in part multiplies the first bit
    // of a pair by the phase with bits 5-7 cleared, turned as bit 7 was, under
    // the triangle as under the saw.
    for (const auto& [name, wave] : {std::pair{"lfo_reset_saw_pm_depths", 0u},
                                     std::pair{"lfo_reset_triangle_pm_depths", 2u}}) {
        Stream s(name);
        if (wave != 0) s.write(0x1B, wave);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.key(4, 8);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        s.key(1, 1);
        for (unsigned depth : {0x40u, 0x10u, 0x04u, 0x33u}) {
            s.write(0x19, 0x80 | depth);
            for (unsigned i = 0; i < 16; ++i) {
                s.write(0x18, 0xFF);
                s.wait(150 + (i * 83) % 600);
                s.write(0x18, 0x4B);
                s.wait(20 + i / 2);
                s.write(0x01, 2);
                s.wait(40);
                s.write(0x01, 0);
                s.wait(10);
            }
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        // Notes on unused codes under a negative PM (the square wave's, the
        // LFO stopped in its second half) with DT2 1 and 3, which move the note
        // by whole groups of codes (3 adds 32 KF): KFs on both sides of a
        // carry, PM -2 and -40.
        Stream s("pm_unused_codes_dt2");
        s.write(0x18, 0xFF);
        s.write(0x19, 0x80 | 0x01);
        s.write(0x1B, 1);
        s.channel(1, 7, 0, 3, 6, 0);
        Operator o;
        o.rr = 15;
        s.op(1, 3, o);
        while (s.length() < 700)
            s.wait(1);
        s.write(0x18, 0x00);
        for (unsigned kc : {0x37u, 0x6Bu}) {
            for (unsigned dt2 : {1u, 3u}) {
                s.write(0xC0 + 25, dt2 << 6);
                for (unsigned kf : {0u, 21u, 31u, 32u, 40u}) {
                    for (unsigned pmd : {1u, 20u}) {
                        s.write(0x19, 0x80 | pmd);
                        s.note(1, kc, kf);
                        s.key(1, 8);
                        s.wait(120);
                        s.key(1, 0);
                        s.wait(10);
                    }
                }
            }
        }
        all.push_back(s);
    }
    {
        // Notes on the unused codes 3 and 7 of octave 0 under a negative PM
        // (the square wave stopped in its second half, PMS 7) taking them below
        // the octave's first code by a little, where the note holds at code 0
        // with KF 0 rather than at the pitch the PM reaches; three KFs, DT2 0
        // and 2.
        Stream s("pm_unused_codes_below_octave_0");
        s.write(0x18, 0xFF);
        s.write(0x1B, 1);
        s.channel(5, 7, 0, 3, 7, 0);
        Operator o;
        o.mul = 15;
        s.op(5, 3, o);
        while (s.length() < 700)
            s.wait(1);
        s.write(0x18, 0x00);
        for (unsigned dt2 : {0u, 2u}) {
            s.write(0xC0 + 29, dt2 << 6);
            for (unsigned kc : {0x03u, 0x07u}) {
                for (unsigned kf : {21u, 48u, 63u}) {
                    for (unsigned pmd : {1u, 4u, 7u, 10u}) {
                        s.write(0x19, 0x80 | ((kc == 0x03u ? 48 : 96) + pmd));
                        s.note(5, kc, kf);
                        s.key(5, 8);
                        s.wait(100);
                        s.key(5, 0);
                        s.wait(10);
                    }
                }
            }
        }
        all.push_back(s);
    }
    {
        // Notes at the bottom of octave 0 under DT2 1-3 and a negative PM (the
        // square wave stopped in its second half), small and large (PMS 2 and
        // 6): the PM stops at the bottom before DT2 is added, for the phase and
        // for the key scaling (KS 3, a slow attack).
        Stream s("pm_below_octave_0");
        s.write(0x18, 0xFF);
        s.write(0x19, 0x80 | 0x7F);
        s.write(0x1B, 1);
        Operator o;
        o.ks = 3;
        o.ar = 12;
        o.rr = 15;
        o.mul = 5;
        s.op(5, 3, o);
        while (s.length() < 700)
            s.wait(1);
        s.write(0x18, 0x00);
        for (unsigned pms : {2u, 6u}) {
            s.channel(5, 7, 0, 3, pms, 0);
            for (unsigned dt2 : {1u, 2u, 3u}) {
                s.write(0xC0 + 29, dt2 << 6);
                for (unsigned kc : {0x00u, 0x01u}) {
                    for (unsigned kf : {0u, 5u}) {
                        s.note(5, kc, kf);
                        s.key(5, 8);
                        s.wait(150);
                        s.key(5, 0);
                        s.wait(10);
                    }
                }
            }
        }
        all.push_back(s);
    }
    {
        // Notes that DT2 moves past the top of octave 7 under the square wave's
        // PM of both signs, small and large (PMS 3 and 6): the PM counts from
        // the note past the top, not from the top. KS 3 and a decay rate let
        // the key code reach the envelope too.
        Stream s("pm_past_octave_7");
        s.write(0x18, 0xFF);
        s.write(0x19, 0x80 | 0x7F);
        s.write(0x1B, 1);
        Operator o;
        o.ks = 3;
        o.d1r = 6;
        o.d1l = 15;
        o.rr = 15;
        s.op(2, 3, o);
        for (unsigned pms : {3u, 6u}) {
            s.channel(2, 7, 0, 3, pms, 0);
            for (unsigned kc : {0x6Eu, 0x76u, 0x7Au, 0x7Du}) {
                for (unsigned dt2 : {1u, 2u, 3u}) {
                    s.write(0xC0 + 26, dt2 << 6);
                    for (unsigned kf : {0u, 40u}) {
                        s.note(2, kc, kf);
                        s.key(2, 8);
                        s.wait(150);
                        s.key(2, 0);
                        s.wait(10);
                    }
                }
            }
        }
        all.push_back(s);
    }
    {
        // Unused note codes of octaves 6 and 7 (0x77, 0x7B) and key code 0x7F
        // at every DT2, two KFs, under a positive PM (the square at the start
        // of its period) and then a negative one, each held by the slowest
        // LFRQ: DT2 moving a note on an unused code past octave 7, and 0x7F
        // carried past the top by the PM, the key scaling showing the key code.
        Stream s("pm_unused_past_octave_7");
        s.write(0x18, 0xFF);
        s.write(0x19, 0x80 | 0x7F);
        s.write(0x1B, 1);
        Operator o;
        o.ks = 3;
        o.d1r = 6;
        o.d1l = 15;
        o.rr = 15;
        s.op(2, 3, o);
        s.channel(2, 7, 0, 3, 2, 0);
        for (unsigned run : {0u, 560u}) {
            s.wait(run);
            s.write(0x18, 0x00);
            for (unsigned kc : {0x77u, 0x7Bu, 0x7Fu}) {
                for (unsigned dt2 = 0; dt2 < 4; ++dt2) {
                    s.write(0xC0 + 26, dt2 << 6);
                    for (unsigned kf : {0u, 40u}) {
                        s.note(2, kc, kf);
                        s.key(2, 8);
                        s.wait(100);
                        s.key(2, 0);
                        s.wait(10);
                    }
                }
            }
            s.write(0x18, 0xFF);
        }
        all.push_back(s);
    }
    {
        // The rate multiplier's double steps carry the saw's phase across each
        // half of the wave (lfo_wave2 does so for the triangle).
        Stream s("lfo_double_steps");
        s.write(0x18, 0xE8);
        s.write(0x19, 0x80 | 0x7F);
        s.write(0x1B, 0);
        s.channel(4, 7, 0, 3, 7, 0);
        s.op(4, 3, Operator{});
        s.note(4, 0x6A);
        s.key(4, 8);
        s.wait(6000);
        all.push_back(s);
    }
    {
        // A waveform selected at each of the eight frames of the multipliers'
        // cycle, the phase held between steps (LFRQ 0 after a fast start) so
        // that only the selection changes: the square and the saw, one a
        // turn's product of both, as AM on the noise (whose level shows it
        // exactly) and as PM at full depth on channel 3 (where the mixed
        // product can reach 128).
        Stream s("lfo_wave_selected_in_turn");
        s.write(0x18, 0xFF);
        s.write(0x19, 0x7F);
        s.write(0x19, 0x80 | 0x7F);
        s.channel(7, 7, 0, 3, 0, 3);
        s.channel(3, 7, 0, 3, 7, 0);
        Operator o;
        o.ame = 1;
        s.op(7, 3, o);
        s.op(3, 3, Operator{});
        s.note(7, 0x40);
        s.note(3, 0x4A);
        s.write(0x0F, 0x80 | 31);
        s.key(7, 8);
        s.key(3, 8);
        s.wait(170);
        s.write(0x18, 0x00);
        for (unsigned i = 0; i < 16; ++i) {
            s.wait(37 + i);
            s.write(0x1B, 1 - (i & 1));
        }
        s.wait(60);
        all.push_back(s);
    }
    {
        // The triangle selected while the LFO runs, after the saw and after the
        // square, as AM on the noise (whose level shows the AM exactly).
        Stream s("lfo_triangle_selected");
        s.write(0x18, 0xF0);
        s.write(0x19, 0x7F);
        noiseShowingAm(s, 31, 0x40);
        s.key(7, 8);
        for (unsigned i = 0; i < 8; ++i) {
            s.write(0x1B, i % 2);
            s.wait(300 + 37 * i);
            s.write(0x1B, 2);
            s.wait(900 + 53 * i);
        }
        all.push_back(s);
    }
    {
        // LFRQ written at moments that fall anywhere in the eight-frame
        // prescaler's turn, with AM and PM on.
        Stream s("lfo_rate_writes");
        s.write(0x19, 0x7F);
        s.write(0x19, 0x80 | 0x40);
        s.write(0x1B, 0);
        s.channel(4, 7, 0, 3, 5, 2);
        Operator o;
        o.ame = 1;
        s.op(4, 3, o);
        s.note(4, 0x5A);
        s.key(4, 8);
        for (unsigned i = 0; i < 12; ++i) {
            s.wait(5 + i * 7);
            s.write(0x18, 0xC0 + i * 3);
            s.wait(300);
        }
        all.push_back(s);
    }
    {
        // AMD and PMD written while the LFO runs, at every point of the
        // eight-frame cycle that carries a depth to the multiplier bit by bit,
        // old and new depths differing in high and low bits; AM on a carrier
        // and a modulator, PM on both halves of the slots.
        Stream s("lfo_depth_writes");
        s.write(0x18, 0xE4);
        s.write(0x19, 0x55);
        s.write(0x19, 0x80 | 0x2A);
        s.channel(6, 1, 0, 3, 5, 3);
        s.channel(7, 7, 0, 3, 6, 2);
        Operator o;
        o.ame = 1;
        o.tl = 20;
        s.op(6, 1, o);
        s.op(6, 3, o);
        s.op(7, 0, o);
        s.op(7, 2, o);
        s.note(6, 0x3C);
        s.note(7, 0x52, 9);
        s.key(6, 12);
        s.key(7, 3);
        constexpr unsigned depths[] = {0x7F, 0x02, 0x55, 0x2A, 0x40, 0x3F, 0x01, 0x7E};
        for (unsigned i = 0; i < 48; ++i) {
            s.wait(9 + i % 8);
            s.write(0x19, (i & 1) << 7 | depths[(i * 3) % 8]);
            if (i % 12 == 11) s.write(0x1B, (i / 12) % 3);
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        // Notes on the unused note codes under a negative PM from the square
        // wave: small enough to stay on the code (and, with PMS 3, an offset of
        // 0 with the sign set), and large enough to borrow from the code below;
        // DT1 and MUL on.
        Stream s("pm_unused_codes");
        s.write(0x18, 0xFF);
        s.write(0x19, 0x80 | 0x01);
        s.write(0x1B, 1);
        s.channel(1, 7, 0, 3, 6, 0);
        Operator o;
        o.dt1 = 2;
        o.mul = 3;
        s.op(1, 3, o);
        s.note(1, 0x2B, 10);
        s.key(1, 8);
        while (s.length() < 700)
            s.wait(1);
        s.write(0x18, 0x00);
        for (unsigned i = 0; i < 20; ++i) {
            s.note(1, 0x13 + (i % 4) * 0x14, (i * 7) & 63);
            if (i == 10) s.channel(1, 7, 0, 3, 3, 0);
            s.wait(200);
        }
        all.push_back(s);
    }
    {
        // Notes on the unused note codes (3, 7, 11, 15, octaves 2-5) under a
        // positive PM from the square wave held at its first half (LFRQ 0),
        // PMS 7: PMDs whose offsets carry KF into the next code after two and
        // five semitones (landing on an unused code) and others that do not;
        // DT1, MUL and a key-scaled decay on.
        Stream s("pm_carried_from_unused_codes");
        s.write(0x18, 0x00);
        s.write(0x1B, 1);
        s.channel(1, 7, 0, 3, 7, 0);
        Operator o;
        o.dt1 = 2, o.mul = 3, o.ks = 3, o.d1r = 12, o.d1l = 4, o.d2r = 6, o.rr = 12;
        s.op(1, 3, o);
        const std::array<unsigned, 8> depths{43, 45, 47, 91, 93, 40, 20, 110};
        keyAcrossNoteCodes(s, 1, 0x23, depths);
        all.push_back(s);
    }
    {
        // The same under DT2 3 (three groups of codes and 32 KF) and DT2 1 (two
        // groups), which come after the PM: PMDs whose offsets carry KF into an
        // unused code with and without a carry of DT2 3's 32 KF after it, and
        // others that land on a used code.
        Stream s("pm_carried_from_unused_codes_dt2");
        s.write(0x18, 0x00);
        s.write(0x1B, 1);
        s.channel(1, 7, 0, 3, 7, 0);
        Operator o;
        o.dt1 = 2, o.mul = 3, o.ks = 3, o.d1r = 12, o.d1l = 4, o.d2r = 6, o.rr = 12, o.dt2 = 3;
        s.op(1, 3, o);
        keyAcrossNoteCodes(s, 1, 0x13, {40, 41, 25, 72, 73, 88, 30, 120});
        o.dt2 = 1;
        s.op(1, 3, o);
        keyAcrossNoteCodes(s, 1, 0x27, {40, 41, 25, 72, 73, 88, 30, 120});
        all.push_back(s);
    }
    {
        // AMD and PMD rewritten at every frame of the multipliers' eight-frame
        // cycle, between depths whose low bits differ, under waves held still
        // (LFRQ 0): the square at its first half, then the saw stopped where
        // LFRQ 255 has carried it. AM on C2 of channel 3, PM on C2 of channel 4.
        Stream s("lfo_depth_written_in_turn");
        s.write(0x18, 0x00);
        s.write(0x1B, 1);
        s.channel(3, 7, 0, 3, 0, 3);
        s.channel(4, 7, 0, 3, 7, 0);
        Operator am;
        am.ame = 1;
        s.op(3, 3, am);
        Operator pm;
        pm.mul = 15;
        s.op(4, 3, pm);
        s.note(3, 0x20);
        s.note(4, 0x4A);
        s.key(3, 8);
        s.key(4, 8);
        // Depths written in turn, a pair at a time, 23 frames a round so that
        // each change lands on every frame of the cycle in eight rounds.
        const std::array<std::array<unsigned, 2>, 4> pairs{{{15, 32}, {13, 48}, {7, 16}, {5, 127}}};
        const auto rewrite = [&]() {
            for (const auto& [a, b] : pairs) {
                for (unsigned round = 0; round < 8; ++round) {
                    s.write(0x19, a);
                    s.write(0x19, 0x80 | b);
                    s.wait(7);
                    s.write(0x19, b);
                    s.write(0x19, 0x80 | a);
                    s.wait(8);
                }
            }
        };
        rewrite();
        s.write(0x18, 0xFF);
        s.write(0x1B, 0);
        s.wait(250);
        s.write(0x18, 0x00);
        rewrite();
        all.push_back(s);
    }
    {
        // The triangle switched with the saw and the square under PM at every
        // frame of the LFO's eight-frame cycle, at three rates: PM's sign reads
        // the phase as the waveform taken at the cycle's start has it.
        Stream s("lfo_wave_switched_under_pm");
        s.write(0x19, 0x80 | 120);
        s.channel(1, 7, 0, 3, 6, 3);
        Operator o;
        o.mul = 3;
        s.op(1, 3, o);
        s.note(1, 0x61, 6);
        s.key(1, 8);
        for (const unsigned rate : {0xD3, 0xC3, 0xC0}) {
            s.write(0x18, rate);
            for (unsigned i = 0; i < 48; ++i) {
                s.write(0x1B, (i & 1) == 0 ? 2 : (i & 2) >> 1);
                s.wait(29 + i % 9);
            }
        }
        all.push_back(s);
    }
    {
        // Notes on the unused note codes under a negative PM from the square
        // wave's second half (LFRQ 255 for a while, then 0), PMS 7: PMDs whose
        // offsets borrow from KF across one to six semitones, whole semitones
        // among them; DT1, MUL and a key-scaled decay on.
        Stream s("pm_borrowed_from_unused_codes");
        s.write(0x18, 0xFF);
        s.write(0x1B, 1);
        s.write(0x19, 0x80 | 48);
        s.channel(2, 7, 0, 3, 7, 0);
        Operator o;
        o.dt1 = 5, o.mul = 2, o.ks = 3, o.d1r = 12, o.d1l = 4, o.d2r = 6, o.rr = 12;
        s.op(2, 3, o);
        while (s.length() < 700)
            s.wait(1);
        s.write(0x18, 0x00);
        const std::array<unsigned, 8> depths{48, 49, 52, 55, 96, 100, 58, 1};
        keyAcrossNoteCodes(s, 2, 0x33, depths);
        all.push_back(s);
    }
    {
        // The noise wave switched to and from the saw, the square and the
        // triangle at two rates without the rate multiplier's extra steps, AM
        // on the noise (whose level shows it exactly): a step under the noise
        // loads the phase, the wave after it carries on from there.
        Stream s("lfo_noise_switched");
        s.write(0x19, 127);
        s.write(0x0F, 0x80 | 31);
        s.channel(7, 7, 0, 3, 0, 3);
        Operator noise;
        noise.ame = 1;
        s.op(7, 3, noise);
        s.key(7, 8);
        for (const unsigned rate : {0xC0, 0xA0}) {
            s.write(0x18, rate);
            for (unsigned i = 0; i < 24; ++i) {
                s.write(0x1B, (i & 1) == 0 ? 3 : (i / 2) % 3);
                s.wait(150 + 37 * (i % 5));
            }
        }
        all.push_back(s);
    }
    {
        // The noise wave switched to and from the saw, the square and the
        // triangle at rates with the rate multiplier's extra steps, at every
        // frame of a step's turn, AM on the noise: in the frame of a step the
        // noise selected loads every bit, and another wave selected after it
        // keeps the noise's low bits.
        Stream s("lfo_noise_switched_double_steps");
        s.write(0x19, 127);
        s.write(0x0F, 0x80 | 31);
        s.channel(7, 7, 0, 3, 0, 3);
        Operator noise;
        noise.ame = 1;
        s.op(7, 3, noise);
        s.key(7, 8);
        for (const unsigned rate : {0xF9, 0xFD, 0xE7}) {
            s.write(0x18, rate);
            for (unsigned i = 0; i < 40; ++i) {
                s.write(0x1B, 3);
                s.wait(9 + i % 8);
                s.write(0x1B, i % 3);
                s.wait(17 + i % 5);
            }
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        // The LFO's noise wave after NFRQ writes that take the noise timer
        // out of its firing state and back (30 and 31 to slower rates), a few
        // frames before the wave's steps, AM on the noise: the wave reads the
        // register's new form.
        Stream s("lfo_noise_after_noise_rate_writes");
        s.write(0x19, 127);
        s.write(0x1B, 3);
        s.channel(7, 7, 0, 3, 0, 3);
        Operator noise;
        noise.ame = 1;
        s.op(7, 3, noise);
        s.key(7, 8);
        for (const unsigned rate : {0xCC, 0xC0, 0xE5}) {
            s.write(0x18, rate);
            for (unsigned i = 0; i < 24; ++i) {
                s.write(0x0F, 0x80 | (i % 2 == 0 ? 30 : 31));
                s.wait(20 + i % 7);
                s.write(0x0F, 0x80 | (16 + i % 13));
                s.wait(30 + (i * 5) % 17);
            }
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        // NFRQ leaving and entering rates 30 and 31 at every frame of the
        // LFO's prescaler turn (trials 45 frames apart) under the noise wave's
        // AM and PM on a sine: a double step reads the noise register in the
        // form the rate written for its frame leaves it, stepping it in the
        // next half as that rate does.
        Stream s("lfo_noise_rate_written_at_double_steps");
        s.write(0x1B, 3);
        s.write(0x19, 0x7F);
        s.write(0x19, 0x80 | 0x7F);
        s.channel(1, 7, 0, 3, 7, 3);
        Operator sine;
        sine.ame = 1;
        s.op(1, 3, sine);
        s.note(1, 0x4E);
        s.key(1, 8);
        for (const auto& [rate, from, to] : {std::array<unsigned, 3>{0xFC, 31, 27},
                                             {0xFF, 31, 16},
                                             {0xF7, 31, 0},
                                             {0xFF, 27, 31},
                                             {0xFA, 30, 31},
                                             {0xF8, 31, 30},
                                             {0xEF, 31, 5}}) {
            s.write(0x18, rate);
            for (unsigned i = 0; i < 32; ++i) {
                s.write(0x0F, from);
                s.wait(20);
                s.write(0x0F, to);
                s.wait(21);
            }
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        Stream s("noise");
        s.channel(7, 7, 0);
        Operator o;
        o.d1r = 5, o.d1l = 2, o.rr = 6;
        s.op(7, 3, o);
        s.note(7, 0x40);
        for (unsigned nf : {0x1Fu, 0x10u, 0x00u}) {
            s.write(0x0F, 0x80 | nf);
            s.key(7, 8);
            s.wait(800);
            s.key(7, 0);
            s.wait(200);
        }
        all.push_back(s);
    }
    {
        // The noise switched on and off under a sounding C2 of channel 7, its
        // rate kept.
        Stream s("noise_enable");
        s.channel(7, 7, 0);
        s.op(7, 3, Operator{});
        s.note(7, 0x40);
        s.write(0x0F, 31);
        s.key(7, 8);
        s.wait(50);
        for (unsigned i = 0; i < 8; ++i) {
            s.write(0x0F, 0x80 | 31);
            s.wait(30 + i * 3);
            s.write(0x0F, 31);
            s.wait(20 + i * 5);
        }
        all.push_back(s);
    }
    {
        // AMS changed while each LFO wave's AM is deep (AMD 127), at a rate
        // stepping every few turns of the multiplier and at one with the rate
        // multiplier's extra count, each change at another frame of the
        // multiplier's cycle: on the noise (whose level shows the AM exactly)
        // and on sines of a carrier and a modulator.
        Stream s("lfo_ams_changes");
        s.write(0x19, 0x7F);
        noiseShowingAm(s, 16, std::nullopt);
        s.key(7, 8);
        Operator sine;
        sine.mul = 3;
        sine.ame = 1;
        s.channel(0, 7, 0, 2, 0, 3);
        s.op(0, 3, sine);
        s.note(0, 0x4A);
        s.key(0, 8);
        s.channel(1, 7, 0, 1, 0, 3);
        s.op(1, 0, sine);
        s.note(1, 0x4A);
        s.key(1, 1);
        for (unsigned wave = 0; wave < 4; ++wave) {
            s.write(0x1B, wave);
            for (unsigned lfrq : {0xC0u, 0xF8u}) {
                s.write(0x18, lfrq);
                for (unsigned change = 0; change < 16; ++change) {
                    const unsigned ams = std::array<unsigned, 4>{1, 3, 0, 2}[change % 4];
                    for (unsigned ch : {7u, 0u, 1u})
                        s.write(0x38 + ch, ams);
                    s.wait(13 + change % 8);
                }
            }
        }
        all.push_back(s);
    }
    {
        // The LFO's noise wave as AM on the noise (whose level shows the AM
        // exactly), single and double steps of the rate multiplier.
        Stream s("lfo_noise_am");
        s.write(0x19, 0x7F);
        s.write(0x1B, 3);
        noiseShowingAm(s, 17, 0x40);
        s.key(7, 8);
        for (unsigned lfrq : {0xF0u, 0xEFu, 0xE8u, 0xFFu, 0xC5u}) {
            s.write(0x18, lfrq);
            s.wait(500);
        }
        all.push_back(s);
    }
    {
        // The LFO's noise wave as PM at odd PMDs (bit 0 alone, with the top bit,
        // and with every bit) on sines of a late and an early PM slot, at rates
        // stepping every turn of the multiplier and every few turns, single and
        // double steps: in a frame the LFO steps, bit 0 multiplies the noise's
        // sign spread over eight bits.
        Stream s("lfo_noise_pm_odd_depths");
        s.write(0x1B, 3);
        s.channel(1, 7, 0, 3, 7, 0);
        s.channel(4, 7, 0, 3, 7, 0);
        Operator o;
        o.mul = 15;
        s.op(1, 0, o);
        s.op(4, 3, o);
        s.note(1, 0x5A);
        s.note(4, 0x6E);
        s.key(1, 1);
        s.key(4, 8);
        constexpr std::array<unsigned, 6> depths{1, 3, 65, 127, 85, 2};
        constexpr std::array<unsigned, 6> rates{0xF0, 0xC8, 0xE5, 0xD3, 0xFF, 0xEF};
        for (unsigned i = 0; i < depths.size(); ++i) {
            s.write(0x18, rates[i]);
            s.write(0x19, 0x80 | depths[i]);
            s.wait(500);
        }
        all.push_back(s);
    }
    {
        // The noise wave as PM on a late and an early PM slot at odd noise
        // rates, where the noise register steps in either half of a frame, and
        // LFRQs with double steps: PM's sign follows a step's first count, the
        // magnitude the extra count's value eight frames later.
        Stream s("lfo_noise_pm_double_steps");
        s.write(0x1B, 3);
        s.channel(1, 7, 0, 3, 7, 0);
        s.channel(4, 7, 0, 3, 7, 0);
        Operator o;
        o.mul = 15;
        s.op(1, 0, o);
        s.op(4, 3, o);
        s.note(1, 0x5A);
        s.note(4, 0x6E);
        s.key(1, 1);
        s.key(4, 8);
        constexpr std::array<unsigned, 4> noiseRates{29, 17, 9, 27};
        constexpr std::array<unsigned, 4> rates{0xCF, 0xD8, 0xC2, 0xDF};
        constexpr std::array<unsigned, 4> depths{64, 67, 127, 1};
        for (unsigned i = 0; i < rates.size(); ++i) {
            s.write(0x0F, noiseRates[i]);
            s.write(0x18, rates[i]);
            s.write(0x19, 0x80 | depths[i]);
            s.wait(1500);
        }
        all.push_back(s);
    }
    {
        // The saw switched to the triangle and back (and the square to the
        // triangle), LFRQ rewritten from a fast rate with double steps to a
        // slow one two frames after, each switch a frame later in the
        // prescaler's turn than the one before: the wave's write, or LFRQ's,
        // in the frame of a step. PM at PMD 127 on a sine.
        Stream s("lfo_wave_switched_at_steps");
        s.write(0x19, 0x80 | 127);
        s.channel(4, 7, 0, 3, 7, 0);
        Operator o;
        o.mul = 3;
        s.op(4, 3, o);
        s.note(4, 0x40);
        s.key(4, 8);
        for (unsigned i = 0; i < 24; ++i) {
            s.write(0x18, (i & 4) != 0 ? 0xF7 : 0xFF);
            s.write(0x1B, i < 16 ? (i & 1) * 2 : 1);
            s.wait(37 + i);
            s.write(0x1B, i < 16 ? 2 - (i & 1) * 2 : 2);
            s.write(0x18, 0x10);
            s.wait(60);
        }
        all.push_back(s);
    }
    {
        // The noise wave switched to and from the saw, the square and the
        // triangle for a few frames under PM, the switch at every frame of a
        // step's turn at the fastest rates, with and without the rate
        // multiplier's extra count: in a frame the LFO steps in, bit 0 of the
        // depth multiplies the noise's sign for the wave's bits each selection
        // gives the noise. Sines on a late and an early PM slot, keyed again
        // for each switch.
        Stream s("lfo_noise_switched_under_pm");
        s.write(0x19, 0x80 | 0x7F);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        for (unsigned rate : {0xF0u, 0xF9u}) {
            s.write(0x18, rate);
            for (const auto& [from, to] :
                 std::array<std::array<unsigned, 2>, 4>{{{3, 0}, {0, 3}, {1, 3}, {3, 2}}}) {
                for (unsigned i = 0; i < 16; ++i) {
                    s.write(0x1B, from);
                    s.key(4, 8);
                    s.key(1, 1);
                    s.wait(40 + i);
                    s.write(0x1B, to);
                    s.wait(5);
                    s.write(0x1B, from);
                    s.wait(30);
                    s.key(4, 0);
                    s.key(1, 0);
                    s.wait(10);
                }
            }
        }
        all.push_back(s);
    }
    {
        // The triangle run from the LFO reset for 63 steps at LFRQ 0xF0 (the
        // phase then 126), and switched to the saw or the square at each frame
        // around its 64th step: PM's sign, in the eight frames after a step,
        // adds the step's first count as it was counted (two under the
        // triangle) to the phase it reads, whatever the waveform it reads it
        // as. Sines on a late and an early PM slot, keyed again each time.
        Stream s("lfo_triangle_switched_at_steps");
        s.write(0x19, 0x80 | 0x7F);
        s.write(0x18, 0xF0);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        for (unsigned i = 0; i < 24; ++i) {
            s.write(0x1B, 2);
            s.write(0x01, 2);
            s.wait(20);
            s.write(0x01, 0);
            s.key(4, 8);
            s.key(1, 1);
            s.wait(63 * 8 - 10 + i % 12);
            s.write(0x1B, i < 12 ? 0 : 1);
            s.wait(30);
            s.key(4, 0);
            s.key(1, 0);
        }
        all.push_back(s);
    }
    {
        // The noise wave switched to the saw and the square in the frame of a
        // step, 512 times at LFRQ 0xF0 and NFRQ 29 (the noise's phase before
        // the step then 127 or 255 a few times), PM on sines of a late and an early PM slot:
        // the step's first count carries into no bit PM's sign reads.
        Stream s("lfo_noise_left_at_steps_pm_sign");
        s.write(0x19, 0x80 | 0x7F);
        Operator sine;
        sine.mul = 15;
        s.channel(4, 7, 0, 1, 7, 0);
        s.op(4, 3, sine);
        s.note(4, 0x6E);
        s.channel(1, 7, 0, 2, 7, 0);
        s.op(1, 0, sine);
        s.note(1, 0x5A);
        s.key(4, 8);
        s.key(1, 1);
        s.write(0x0F, 29);
        s.write(0x18, 0xF0);
        for (unsigned i = 0; i < 512; ++i) {
            s.write(0x1B, 3);
            // The LFO steps in the frames 5 past a multiple of eight.
            while (s.length() % 8 != 5)
                s.wait(1);
            s.wait(8);
            s.write(0x1B, i % 2);
            s.wait(8);
        }
        all.push_back(s);
    }
    {
        // NFRQ changed often between odd and even rates, some of the writes
        // coming as the noise timer is about to fire.
        Stream s("noise_rate_changes");
        s.channel(7, 7, 0);
        s.op(7, 3, Operator{});
        s.note(7, 0x40);
        s.write(0x0F, 0x80 | 31);
        s.key(7, 8);
        constexpr unsigned rates[] = {21, 9, 27, 13, 3, 25, 17, 11, 29, 5, 30, 15, 0, 23, 8, 19};
        for (unsigned i = 0; i < 48; ++i) {
            s.wait(37 + 3 * i);
            s.write(0x0F, 0x80 | rates[i % 16]);
        }
        s.wait(200);
        all.push_back(s);
    }
    {
        // NFRQ raised and lowered at many points of the timer's count, some of
        // the writes bringing the count the new rate fires on.
        Stream s("noise_rate_raises");
        s.channel(7, 7, 0);
        s.op(7, 3, Operator{});
        s.note(7, 0x40);
        s.write(0x0F, 0x80);
        s.key(7, 8);
        constexpr unsigned rates[] = {2, 14, 6, 24, 1, 16, 9, 28, 4, 20, 12, 30};
        for (unsigned i = 0; i < 48; ++i) {
            s.wait(29 + 5 * i);
            s.write(0x0F, 0x80 | rates[i % 12]);
        }
        s.wait(200);
        all.push_back(s);
    }
    {
        Stream s("noise_rates");
        s.channel(7, 7, 0);
        s.op(7, 3, Operator{});
        s.note(7, 0x40);
        s.write(0x0F, 0x80 | 31);
        s.key(7, 8);
        for (unsigned nf : {24u, 19u, 8u, 0u}) {
            s.wait(600);
            s.write(0x0F, 0x80 | nf);
        }
        s.wait(1200);
        all.push_back(s);
    }
    {
        // Key scaling at its strongest under DT2 and under a PM that carries
        // the note across key codes (the rates follow the note as the phase
        // takes it), slow attacks and decays to show the rates.
        Stream s("key_scaling_pitch");
        s.write(0x18, 0xC8);
        s.write(0x19, 0x80 | 0x7F);
        s.write(0x1B, 1);
        s.channel(2, 7, 0, 3, 7, 0);
        s.channel(3, 7, 0);
        Operator o;
        o.ks = 3, o.ar = 9, o.d1r = 12, o.d1l = 10, o.rr = 5;
        s.op(2, 3, o);
        s.op(3, 3, o);
        for (unsigned i = 0; i < 16; ++i) {
            s.write(0xC0 + 27, (i & 3) << 6);
            s.note(2, 0x10 + i * 7, i * 4);
            s.note(3, 0x12 + i * 7, 60 - i * 3);
            s.key(2, 8);
            s.key(3, 8);
            s.wait(300);
            s.key(2, 0);
            s.key(3, 0);
            s.wait(80);
        }
        all.push_back(s);
    }
    {
        // The first decay's end: an instant attack onto D1L 0 keyed at each
        // point of the envelope clock, D1L lowered below the level while the
        // decay runs (with and without a D1R), raised above it, and set to it.
        Stream s("decay_sustain_level");
        s.channel(1, 7, 0);
        Operator o;
        o.ks = 2, o.d1r = 0, o.d1l = 0, o.d2r = 23, o.rr = 9;
        s.op(1, 3, o);
        s.note(1, 0x65);
        for (unsigned i = 0; i < 6; ++i) {
            s.key(1, 8);
            s.wait(90 + i);
            s.key(1, 0);
            s.wait(40);
        }
        for (unsigned d1r : {18u, 0u, 9u}) {
            for (unsigned d1l : {2u, 6u, 11u}) {
                s.write(0xE0 + 25, (11 << 4) | 9);
                s.write(0xA0 + 25, 18);
                s.key(1, 8);
                s.wait(400);
                s.write(0xA0 + 25, d1r);
                s.write(0xE0 + 25, (d1l << 4) | 9);
                s.wait(600);
                s.key(1, 0);
                s.wait(200);
            }
        }
        all.push_back(s);
    }
    {
        // RL and the connection changed on every channel while all sound (the
        // sums take them up at once, C2 of channels 4-7 even for the frame
        // before), one channel's register never written before.
        Stream s("outputs_changes");
        for (unsigned ch = 0; ch < 8; ++ch) {
            if (ch != 5) s.channel(ch, ch, 0, ch % 3 + 1);
            for (unsigned role = 0; role < 4; ++role) {
                Operator o;
                o.mul = role + 1;
                o.tl = 8 + 4 * role;
                s.op(ch, role, o);
            }
            s.note(ch, 0x20 + ch * 10);
            s.key(ch, 15);
        }
        for (unsigned i = 0; i < 64; ++i) {
            s.wait(17 + i % 5);
            s.write(0x20 + (i * 3) % 8, ((i % 4) << 6) | ((i * 5) % 8 << 3) | (i * 7) % 8);
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        Stream s("key_on_off");
        s.channel(5, 4, 3);
        for (unsigned role = 0; role < 4; ++role) {
            Operator o;
            o.ar = 20 + role * 3, o.d1r = 6, o.d1l = 3, o.rr = 3 + role * 4, o.tl = role * 6;
            s.op(5, role, o);
        }
        s.note(5, 0x32);
        for (unsigned i = 0; i < 12; ++i) {
            s.key(5, 15);
            s.wait(37 + i * 23);
            s.key(5, i & 15);
            s.wait(19 + i * 11);
        }
        s.wait(500);
        all.push_back(s);
    }
    {
        // Re-keyed four frames after each key-off, at every point of the envelope
        // counter's turn, so that the release steps in the frame before the
        // key-on reaches the slot at some of them.
        Stream s("rekey_after_release");
        s.channel(0, 7, 0, 1);
        Operator o;
        o.ar = 24, o.d1r = 0, o.d1l = 0, o.rr = 6;
        s.op(0, 3, o);
        s.note(0, 0x3A);
        for (unsigned i = 0; i < 97; ++i) {
            s.key(0, 8);
            s.wait(60 + i);
            s.key(0, 0);
            s.wait(4);
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        // D1L lowered (4 to 3) at each frame of a fast first decay (+8 a step)
        // before, while and after its level crosses 96 to 127.
        Stream s("d1l_written_in_decay");
        s.channel(0, 7, 0, 2);
        Operator o;
        o.mul = 15, o.tl = 16, o.ks = 3, o.d1r = 22, o.d2r = 11, o.d1l = 4;
        s.op(0, 3, o);
        s.note(0, 0x67);
        for (unsigned at = 28; at <= 52; ++at) {
            s.key(0, 8);
            s.wait(at - 2);
            s.write(0xF8, 0x3F);
            s.wait(150);
            s.key(0, 0);
            s.wait(40);
            s.write(0xF8, 0x4F);
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        // D1L 9 written over D1L 0 in the frame after a first decay begins:
        // keyed again at AR 26 (KS 3 at a low note) twelve frames into a slow
        // release, from level 1 at times, which its first step takes to 0;
        // at an instant attack (a high note) three and four frames after the
        // key-on at three frames of the envelopes' turn, under a first decay
        // rate of 0 and 31 and a second of 10; keyed again at AR 28 eight
        // frames into a slow release, at level 0. The decay ends by D1L 0
        // after a key-on at level 0 alone.
        Stream s("d1l_written_after_key_on_at_zero");
        s.channel(7, 7, 0);
        s.note(7, 0x10);
        Operator o;
        o.ks = 3;
        o.ar = 26;
        o.d1r = 31;
        o.rr = 0;
        s.op(7, 3, o);
        for (unsigned frame = 0; frame < 6; ++frame) {
            s.key(7, 8);
            s.wait(60 + frame);
            s.key(7, 0);
            s.wait(12);
            s.key(7, 8);
            s.wait(1);
            s.write(0xFF, 0x90);
            s.wait(40);
            s.write(0xFF, 0x00);
            s.key(7, 0);
            s.wait(8);
        }
        s.note(7, 0x66);
        o.ar = 31;
        o.d2r = 10;
        o.rr = 15;
        for (unsigned d1r : {0u, 31u}) {
            o.d1r = d1r;
            s.op(7, 3, o);
            for (unsigned at = 3; at <= 4; ++at) {
                for (unsigned frame = 0; frame < 3; ++frame) {
                    s.key(7, 8);
                    s.wait(at - 2);
                    s.write(0xFF, 0x9F);
                    s.wait(40);
                    s.key(7, 0);
                    s.write(0xFF, 0x0F);
                    s.wait(20 + frame);
                }
            }
        }
        o.d1r = 31;
        o.d2r = 0;
        s.note(7, 0x10);
        o.ar = 28;
        s.op(7, 3, o);
        for (unsigned frame = 0; frame < 6; ++frame) {
            s.key(7, 8);
            s.wait(60 + frame);
            s.key(7, 0);
            s.wait(8);
            s.key(7, 8);
            s.wait(1);
            s.write(0xFF, 0x90);
            s.wait(40);
            s.write(0xFF, 0x00);
            s.key(7, 0);
            s.wait(8);
        }
        all.push_back(s);
    }
    {
        // A carrier keyed for a single frame at an instant attack (KS 3 at a
        // high note), D1L 0 and 1 under two first decay rates, the key-off at
        // six frames of the envelopes' turn: the key-off leaves the decay at
        // its end (D1L 0) or steps it (D1L 1).
        Stream s("key_off_at_decay_end");
        Operator o;
        o.ks = 3;
        o.rr = 2;
        s.channel(0, 7, 0);
        s.note(0, 0x70);
        for (unsigned d1r : {8u, 31u}) {
            for (unsigned d1l : {0u, 1u}) {
                o.d1r = d1r;
                o.d1l = d1l;
                s.op(0, 3, o);
                for (unsigned frame = 0; frame < 6; ++frame) {
                    s.key(0, 8);
                    s.key(0, 0);
                    s.wait(60 + frame);
                }
            }
        }
        all.push_back(s);
    }
    {
        // The noise at TL 127 fading by a slow second decay through the last
        // attenuations (0x3F8 to 0x3FF), its negative values at each.
        Stream s("noise_fading");
        s.channel(7, 7, 0);
        Operator o;
        o.tl = 127, o.d2r = 10;
        s.op(7, 3, o);
        s.write(0x0F, 0x80 | 31);
        s.key(7, 8);
        s.wait(4000);
        all.push_back(s);
    }
    {
        // The noise, whose output shows the top levels, fading at fast release
        // rates (TL 0 and 1) and at a fast second decay: the level that reaches
        // 0x3F0 is silent in the next frame, between the envelope's steps.
        Stream s("noise_top_levels");
        s.channel(7, 7, 0);
        s.note(7, 0x76);
        s.write(0x0F, 0x80 | 31);
        for (const auto& [rr, ks, fade] :
             {std::array<unsigned, 3>{15, 0, 420}, std::array<unsigned, 3>{13, 0, 660},
              std::array<unsigned, 3>{12, 3, 200}}) {
            for (unsigned tl : {0u, 1u}) {
                Operator o;
                o.rr = rr, o.ks = ks, o.tl = tl;
                s.op(7, 3, o);
                s.key(7, 8);
                s.wait(40);
                s.key(7, 0);
                s.wait(fade);
            }
        }
        Operator o;
        o.ks = 3, o.d1r = 24, o.d1l = 6, o.d2r = 20;
        s.op(7, 3, o);
        s.key(7, 8);
        s.wait(600);
        s.key(7, 0);
        s.wait(60);
        all.push_back(s);
    }
    {
        // A release from the first decay's end (0x3E0) keyed on again at every
        // frame around its crossing of 0x3F0: a level that reaches 0x3F0 in the
        // frame before the key-on is not taken to silence, and the attack
        // starts from it.
        Stream s("rekey_at_top_levels");
        s.channel(4, 7, 0);
        Operator o;
        o.mul = 10, o.ks = 3, o.ar = 17, o.d1r = 31, o.d1l = 15, o.rr = 8;
        s.op(4, 3, o);
        s.note(4, 0x63, 52);
        for (unsigned gap = 0; gap < 36; ++gap) {
            s.key(4, 8);
            s.wait(420 + gap / 12);
            s.key(4, 0);
            s.wait(gap % 12);
            s.key(4, 8);
            s.wait(40);
            s.key(4, 0);
            s.wait(300);
        }
        all.push_back(s);
    }
    {
        // Notes keyed on with the key code rewritten to reach C1 and C2 in the
        // key-on's frame, between codes whose key-scaled attack rates are and
        // are not instant (62 and up), and both below 62.
        Stream s("key_on_with_note_written");
        s.channel(5, 7, 0);
        Operator o;
        o.ar = 28, o.ks = 3, o.d1r = 10, o.d1l = 4, o.rr = 12;
        s.op(5, 2, o);
        s.op(5, 3, o);
        for (const auto& [from, to] :
             {std::array<unsigned, 2>{0x7E, 0x00}, std::array<unsigned, 2>{0x00, 0x7E},
              std::array<unsigned, 2>{0x6E, 0x02}, std::array<unsigned, 2>{0x3C, 0x7A}}) {
            s.note(5, from);
            s.wait(10);
            s.key(5, 2 | 8);
            s.write(0x28 + 5, to);
            s.wait(200);
            s.key(5, 0);
            s.wait(100);
        }
        all.push_back(s);
    }
    {
        // A slow attack keyed on while a release nears full attenuation: the
        // level at the key-on steps through the last units below and above
        // 0x3F0 (decay to D1L 15 = 0x3E0, then RR 8).
        Stream s("rekey_near_silence");
        s.channel(0, 7, 0, 2);
        Operator o;
        o.mul = 15, o.d1r = 31, o.d1l = 15, o.rr = 8;
        s.op(0, 3, o);
        s.note(0, 0x04);
        for (unsigned gap = 380; gap <= 640; gap += 20) {
            s.write(0x98, 31);
            s.key(0, 8);
            s.wait(480);
            s.key(0, 0);
            s.write(0x98, 18);
            s.wait(gap);
            s.key(0, 8);
            s.wait(300);
            s.key(0, 0);
            s.wait(4);
        }
        s.wait(100);
        all.push_back(s);
    }
    {
        // CSM keying channels 6 and 2 (slots on both sides of where a frame's
        // CSM key-on starts), instant and slower attacks, a register key-on
        // among the CSM ones, and timer A loaded again with another period.
        Stream s("csm");
        s.channel(6, 7, 0);
        s.channel(2, 7, 0, 1);
        Operator o;
        o.d1r = 10, o.d1l = 6, o.rr = 9;
        for (unsigned role = 0; role < 4; ++role) {
            o.ar = role == 2 ? 28 : 31;
            s.op(6, role, o);
        }
        Operator p;
        p.rr = 12;
        s.op(2, 0, p);
        s.op(2, 3, p);
        s.note(6, 0x44);
        s.note(2, 0x30);
        s.write(0x10, 0xF0);
        s.write(0x11, 0x01);
        s.write(0x14, 0x81);
        s.wait(1500);
        s.key(2, 9);
        s.wait(400);
        s.key(2, 0);
        s.wait(1100);
        s.write(0x14, 0x00);
        s.wait(300);
        s.write(0x10, 0xE0);
        s.write(0x14, 0x81);
        s.wait(600);
        // Channel 2 keyed off in the frame before an overflow (every 128
        // frames from the load), then CLKA rewritten on both sides of one.
        s.key(2, 9);
        s.wait(2 + 128 * 2 - 1 - 2 - 2 - 600 % 128);
        s.key(2, 0);
        s.wait(300);
        s.write(0x11, 0x02);
        s.wait(700);
        s.write(0x14, 0x00);
        s.wait(500);
        all.push_back(s);
    }
    // CSM keying every frame (CLKA 1023) released carriers, M1 and C2 of
    // channel 4 (on both sides of where a frame's CSM key-on starts), at
    // attack rates 24 and 20, loaded at three envelope-counter phases: the
    // level does not hold in the frame of the first key-on, and the key then
    // stays on, the attack stepping at the envelope's pace. The same every
    // other frame (CLKA 1022): in the frame between two key-ons the released
    // level holds, the release taking no step.
    {
        // CSM keying every frame (CLKA 1023) stopped while the attack runs, at
        // six timings against the envelope's clock: M1 (keyed a frame later
        // than the other slots) and C2 of channels 1 and 4 at two attack rates.
        Stream s("csm_every_frame_stopped");
        s.write(0x10, 0xFF);
        s.write(0x11, 0x03);
        for (unsigned ch : {1u, 4u}) {
            s.channel(ch, 7, 0);
            s.note(ch, 0x32 + ch * 4);
            Operator o;
            o.ar = 18 + ch;
            o.rr = 15;
            s.op(ch, 0, o);
            s.op(ch, 3, o);
        }
        for (unsigned stop = 0; stop < 6; ++stop) {
            s.write(0x14, 0x81);
            s.wait(40 + stop);
            s.write(0x14, 0x00);
            s.wait(400);
        }
        all.push_back(s);
    }
    {
        // KON keys while CSM keys every frame (CLKA 1023), M1 and C2 of channel 4
        // and the noise, at three voices: a key-on and key-off among CSM's,
        // which change nothing, and a key-on before CSM starts whose key-off
        // while it runs releases nothing; CSM then stopped at each phase of the
        // envelope's clock, in the attack, the first decay or the second.
        Stream s("csm_every_frame_kon");
        s.write(0x0F, 0x80 | 31);
        s.write(0x10, 0xFF);
        s.write(0x11, 0x03);
        for (unsigned ch : {4u, 7u}) {
            s.channel(ch, 7, 0);
            s.note(ch, 0x42);
        }
        const auto keys = [&](bool on) {
            s.key(4, on ? 9 : 0);
            s.key(7, on ? 8 : 0);
        };
        constexpr std::array<std::array<unsigned, 5>, 3> voices{
            {{31, 31, 15, 5, 15}, {31, 10, 5, 3, 9}, {20, 10, 5, 0, 9}}};
        for (const auto& [ar, d1r, d1l, d2r, rr] : voices) {
            Operator o;
            o.ar = ar, o.d1r = d1r, o.d1l = d1l, o.d2r = d2r, o.rr = rr;
            s.op(4, 0, o);
            s.op(4, 3, o);
            s.op(7, 3, o);
            for (unsigned timing = 0; timing < 3; ++timing) {
                s.write(0x14, 0x81);
                s.wait(20 + timing);
                keys(true);
                s.wait(2 + timing);
                keys(false);
                s.wait(16 + timing);
                s.write(0x14, 0x00);
                s.wait(120);
                keys(true);
                s.wait(4);
                s.write(0x14, 0x81);
                s.wait(20 + timing);
                keys(false);
                s.wait(10);
                s.write(0x14, 0x00);
                s.wait(120);
            }
        }
        all.push_back(s);
    }
    {
        // CSM set while timer A already runs (LDA set alone before), at every
        // frame of periods of one, two, three and five frames, keying a
        // released carrier of channel 2 and the noise: the first key comes a
        // frame after the same set with the timer's load.
        Stream s("csm_set_while_running");
        s.write(0x0F, 0x80 | 31);
        for (unsigned ch : {2u, 7u}) {
            s.channel(ch, 7, 0);
            s.note(ch, 0x42);
            Operator o;
            o.ar = 22, o.d1r = 9, o.d1l = 4, o.rr = 12;
            s.op(ch, 3, o);
        }
        for (unsigned period : {1u, 2u, 3u, 5u}) {
            s.write(0x10, (1024 - period) >> 2);
            s.write(0x11, (1024 - period) & 3);
            for (unsigned offset = 0; offset < period + 2; ++offset) {
                s.write(0x14, 0x01);
                s.wait(20 + offset);
                s.write(0x14, 0x81);
                s.wait(30);
                s.write(0x14, 0x00);
                s.wait(100);
            }
        }
        all.push_back(s);
    }
    {
        // Voices keyed by KON long before, CSM running at a period of 40
        // frames with CLKA then set to keying every frame from the next
        // overflow on, and KON key-offs at eight frames around that
        // overflow: from the frame before it the key-off releases nothing.
        // M1 and C2 of channel 4 (on both sides of where a frame's CSM key-on
        // starts) and of channel 7, C2 the noise, a sustain that holds its
        // level and the fastest release.
        Stream s("csm_run_after_key_on");
        s.write(0x0F, 0x80 | 31);
        for (unsigned ch : {4u, 7u}) {
            s.channel(ch, 7, 0);
            s.note(ch, 0x42);
            Operator o;
            o.d1r = 31, o.d1l = 8, o.rr = 15;
            s.op(ch, 0, o);
            s.op(ch, 3, o);
        }
        constexpr unsigned period = 40;
        for (unsigned offset = 0; offset < 8; ++offset) {
            s.write(0x10, (1024 - period) >> 2);
            s.write(0x11, (1024 - period) & 3);
            s.key(4, 9);
            s.key(7, 9);
            s.wait(20);
            s.write(0x14, 0x81);
            s.write(0x10, 0xFF);
            s.write(0x11, 0x03);
            s.wait(30 + offset);
            s.key(4, 0);
            s.key(7, 0);
            s.wait(30);
            s.write(0x14, 0x00);
            s.wait(80);
        }
        all.push_back(s);
    }
    {
        // KON key-offs of decaying voices while CSM keys every other frame (CLKA
        // 1022), at six timings against the overflows and the envelope's clock:
        // M1 and C2 of channel 2 (slots CSM keys a frame late) and of channel 7
        // (C2 the noise, whose level shows every step).
        Stream s("csm_after_key_off");
        s.write(0x0F, 0x80 | 17);
        s.write(0x10, 0xFF);
        s.write(0x11, 0x02);
        for (unsigned ch : {2u, 7u}) {
            s.channel(ch, 7, 0);
            s.note(ch, 0x36);
            Operator o;
            o.ks = 3, o.d1r = 18, o.d1l = 4, o.rr = 2;
            s.op(ch, 0, o);
            s.op(ch, 3, o);
        }
        for (unsigned timing = 0; timing < 6; ++timing) {
            s.write(0x14, 0x00);
            s.key(2, 9);
            s.key(7, 9);
            s.wait(60);
            s.write(0x14, 0x81);
            s.wait(timing);
            s.key(2, 0);
            s.key(7, 0);
            s.wait(40);
        }
        all.push_back(s);
    }
    all.push_back(csmRepeatingStream("csm_every_frame", 0x03));
    all.push_back(csmRepeatingStream("csm_every_other_frame", 0x02));
    {
        // CSM re-keying a released carrier every 8 frames, then CSM, LDA or
        // both cleared at each frame between two overflows: CSM cleared in the
        // frame before an overflow still keys in it, LDA cleared in either of
        // the two frames before it still lets the timer overflow.
        Stream s("csm_stopped");
        s.channel(2, 7, 0);
        Operator o;
        o.ar = 24, o.d1r = 6, o.d1l = 2, o.rr = 9;
        s.op(2, 0, o);
        s.note(2, 0x42);
        constexpr unsigned period = 8;
        s.write(0x10, (1024 - period) >> 2);
        s.write(0x11, (1024 - period) & 3);
        for (unsigned stop : {0x00u, 0x01u, 0x80u}) {
            for (unsigned wait = 0; wait < period; ++wait) {
                s.key(2, 1);
                s.wait(30);
                s.key(2, 0);
                s.write(0x14, 0x81);
                s.wait(3 * period + wait);
                s.write(0x14, stop);
                s.wait(40);
            }
        }
        all.push_back(s);
    }
    {
        // Released carriers re-keyed by CSM every 3, 4, 5 and 89 frames: M1 of
        // channel 2, M2 of channel 5 and C2 of channel 3 (slots on both sides of
        // where a frame's CSM key-on starts), attack rate 24 (below the
        // fastest, so the attack starts from the level the release left), RR
        // 9, 12 and 15, keyed off at each phase of the envelope counter.
        Stream s("csm_release");
        constexpr std::array<std::array<unsigned, 2>, 3> slots{{{2, 0}, {5, 1}, {3, 3}}};
        for (const auto& [ch, role] : slots) {
            s.channel(ch, 7, 0);
            Operator o;
            o.ar = 24, o.d1r = 6, o.d1l = 2;
            s.op(ch, role, o);
            s.note(ch, 0x40 + ch);
        }
        const auto keys = [&](bool on) {
            for (const auto& [ch, role] : slots)
                s.key(ch, on ? 1u << (role == 1 ? 2 : role == 2 ? 1 : role) : 0);
        };
        for (unsigned period : {3u, 4u, 5u, 89u}) {
            s.write(0x14, 0x00);
            s.write(0x10, (1024 - period) >> 2);
            s.write(0x11, (1024 - period) & 3);
            s.write(0x14, 0x81);
            for (unsigned rr : {9u, 12u, 15u}) {
                for (const auto& [ch, role] : slots)
                    s.write(0xE0 + role * 8 + ch, (2 << 4) | rr);
                for (unsigned phase = 0; phase < 3; ++phase) {
                    keys(true);
                    s.wait(40 + phase);
                    keys(false);
                    s.wait(150);
                }
            }
        }
        s.write(0x14, 0x00);
        s.wait(100);
        all.push_back(s);
    }
    all.push_back(busyStream(8000));
    all.push_back(busyStream(8000, false));
    return all;
}

} // namespace ym2151test
