// Register streams for the SSG tests and benchmark: each a list of register
// writes at frame times, driving every part of the chip.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace synth::test {

struct SsgWrite {
    std::size_t frame; // the write lands before this frame is generated
    std::uint8_t reg;
    std::uint8_t data;
};

struct SsgStream {
    std::string name;
    std::vector<SsgWrite> writes; // in frame order
    std::size_t frames = 0;
};

inline void addTonePeriod(std::vector<SsgWrite>& w, std::size_t frame, int ch, int period) {
    w.push_back({frame, static_cast<std::uint8_t>(2 * ch), static_cast<std::uint8_t>(period)});
    w.push_back(
        {frame, static_cast<std::uint8_t>(2 * ch + 1), static_cast<std::uint8_t>(period >> 8)});
}

// Tones alone at fixed levels: periods from 0 to 4095, raised and lowered
// while the counters are mid-way.
inline SsgStream toneStream() {
    SsgStream s{"tone periods", {}, 0};
    s.writes = {{0, 7, 0x38}, {0, 8, 15}, {0, 9, 10}, {0, 10, 5}};
    const int periods[] = {0, 1, 2, 3, 17, 255, 256, 1000, 4095, 5, 600, 31};
    std::size_t frame = 0;
    for (int i = 0; i < 12; ++i) {
        addTonePeriod(s.writes, frame, 0, periods[i]);
        addTonePeriod(s.writes, frame + 777, 1, periods[(i + 4) % 12]);
        addTonePeriod(s.writes, frame + 3001, 2, periods[(i + 8) % 12]);
        frame += 12000;
    }
    s.frames = frame + 12000;
    return s;
}

// Noise alone on all three channels, through every kind of noise period.
inline SsgStream noiseStream() {
    SsgStream s{"noise", {}, 0};
    s.writes = {{0, 7, 0x07}, {0, 8, 15}, {0, 9, 15}, {0, 10, 15}};
    const int periods[] = {0, 1, 2, 5, 16, 31, 3, 1};
    std::size_t frame = 0;
    for (int p : periods) {
        s.writes.push_back({frame, 6, static_cast<std::uint8_t>(p)});
        frame += 15013;
    }
    s.frames = frame;
    return s;
}

// Each of the 16 envelope shapes at short and long periods, with the shape
// written again (same value) part-way through a cycle.
inline SsgStream envelopeStream() {
    SsgStream s{"envelope shapes", {}, 0};
    s.writes = {{0, 7, 0x3f}, {0, 8, 0x10}, {0, 9, 0x10}, {0, 10, 0x1f}};
    std::size_t frame = 0;
    for (int period : {0, 1, 3, 40}) {
        for (int shape = 0; shape < 16; ++shape) {
            s.writes.push_back({frame, 11, static_cast<std::uint8_t>(period)});
            s.writes.push_back({frame, 12, 0});
            s.writes.push_back({frame, 13, static_cast<std::uint8_t>(shape)});
            const std::size_t cycle = 32 * static_cast<std::size_t>(period == 0 ? 1 : period);
            s.writes.push_back(
                {frame + 3 * cycle + cycle / 3, 13, static_cast<std::uint8_t>(shape)});
            frame += 6 * cycle + 7;
        }
    }
    s.frames = frame;
    return s;
}

// Everything at once: random writes to registers 0-13 with periods short
// enough that every generator moves, mixer and modes toggling.
inline SsgStream busyStream(std::size_t frames, std::uint32_t seed = 2149) {
    SsgStream s{"busy", {}, frames};
    std::mt19937 random(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    s.writes = {{0, 7, 0x00}, {0, 8, 12}, {0, 9, 0x10}, {0, 10, 9}};
    for (std::size_t frame = 0; frame < frames; frame += static_cast<std::size_t>(pick(1, 400))) {
        const int reg = pick(0, 13);
        int data = pick(0, 255);
        if (reg == 1 || reg == 3 || reg == 5) data &= 0x01; // periods below 512
        if (reg == 12) data &= 0x00;                        // envelope periods below 256
        s.writes.push_back(
            {frame, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(data)});
    }
    return s;
}

// Random writes to all sixteen registers with any data: the bits a register
// lacks, periods up to their largest, the I/O ports among them.
inline SsgStream wideStream(std::size_t frames, std::uint32_t seed = 294) {
    SsgStream s{"wide", {{0, 13, 0}}, frames};
    std::mt19937 random(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (std::size_t frame = 0; frame < frames; frame += static_cast<std::size_t>(pick(0, 300)))
        s.writes.push_back({frame, static_cast<std::uint8_t>(pick(0, 15)),
                            static_cast<std::uint8_t>(pick(0, 255))});
    return s;
}

// Hand-made feature streams: each drives one part of the chip through all of
// its values and through writes that land at every point of a count.

// Every tone period from 0 to 300 and then every 37th up to 4095, each held
// for at least three half-periods, on the three channels at once (channel B
// one period behind A, channel C two), the fixed levels changing with them.
inline SsgStream everyTonePeriodStream() {
    SsgStream s{"every tone period", {{0, 7, 0x38}}, 0};
    std::vector<int> periods;
    for (int p = 0; p <= 300; ++p)
        periods.push_back(p);
    for (int p = 301; p <= 4095; p += 37)
        periods.push_back(p);
    periods.push_back(4095);
    std::size_t frame = 0;
    for (std::size_t i = 0; i < periods.size(); ++i) {
        for (int ch = 0; ch < 3; ++ch) {
            const int period = periods[i >= static_cast<std::size_t>(ch) ? i - ch : 0];
            addTonePeriod(s.writes, frame, ch, period);
            s.writes.push_back({frame, static_cast<std::uint8_t>(8 + ch),
                                static_cast<std::uint8_t>(1 + (i + 5 * ch) % 15)});
        }
        frame += std::max<std::size_t>(40, 3 * static_cast<std::size_t>(periods[i]) + 5);
    }
    s.frames = frame;
    return s;
}

// A tone period rewritten at every frame of a running half-period: the fine
// register alone, the coarse alone, fine then coarse a frame apart and the
// reverse, raising and lowering the period across the count.
inline SsgStream tonePeriodRewriteStream() {
    SsgStream s{"tone period rewrites", {{0, 7, 0x38}, {0, 8, 15}, {0, 9, 11}, {0, 10, 7}}, 0};
    std::size_t frame = 0;
    const std::pair<int, int> changes[] = {{40, 12},       {12, 40},       {0x105, 0x0f3},
                                           {0x0f3, 0x105}, {0x200, 0x010}, {0x010, 0x200},
                                           {3, 1},         {1, 0}};
    for (const auto& [from, to] : changes) {
        const int span = std::min(std::max(from, to), 48);
        for (int at = 0; at <= span; ++at) {
            for (int ch = 0; ch < 3; ++ch)
                addTonePeriod(s.writes, frame, ch, from);
            const std::size_t when = frame + 3 * static_cast<std::size_t>(std::max(from, 1)) +
                                     static_cast<std::size_t>(at);
            // A: both registers at once; B: fine, then coarse a frame later;
            // C: coarse, then fine a frame later.
            addTonePeriod(s.writes, when, 0, to);
            s.writes.push_back({when, 2, static_cast<std::uint8_t>(to)});
            s.writes.push_back({when + 1, 3, static_cast<std::uint8_t>(to >> 8)});
            s.writes.push_back({when, 5, static_cast<std::uint8_t>(to >> 8)});
            s.writes.push_back({when + 1, 4, static_cast<std::uint8_t>(to)});
            frame = when + 4 * static_cast<std::size_t>(std::max({from, to, 1})) + 9;
        }
    }
    s.frames = frame;
    return s;
}

// Noise on all three channels at every noise period from 0 to 31, then the
// period rewritten at every frame of a running count, up and down.
inline SsgStream everyNoisePeriodStream() {
    SsgStream s{"every noise period", {{0, 7, 0x07}, {0, 8, 15}, {0, 9, 12}, {0, 10, 9}}, 0};
    std::size_t frame = 0;
    for (int p = 0; p <= 31; ++p) {
        s.writes.push_back({frame, 6, static_cast<std::uint8_t>(p)});
        frame += 300 + 17 * static_cast<std::size_t>(p);
    }
    for (const auto& [from, to] : {std::pair{20, 3}, {3, 20}, {31, 0}, {1, 2}}) {
        for (int at = 0; at < 2 * std::max(from, 1) + 2; ++at) {
            s.writes.push_back({frame, 6, static_cast<std::uint8_t>(from)});
            s.writes.push_back(
                {frame + 5 * static_cast<std::size_t>(from) + static_cast<std::size_t>(at), 6,
                 static_cast<std::uint8_t>(to)});
            frame += 8 * static_cast<std::size_t>(std::max(from, to)) + 40;
        }
    }
    s.frames = frame;
    return s;
}

// The mixer rewritten in the middle of notes: every mixer value on the three
// channels (tone and noise running), each at a new point of the tone's and
// the noise's counts.
inline SsgStream mixerToggleStream() {
    SsgStream s{"mixer toggles",
                {{0, 8, 15}, {0, 9, 13}, {0, 10, 0x10}, {0, 6, 5}, {0, 11, 7}, {0, 13, 0x0e}},
                0};
    addTonePeriod(s.writes, 0, 0, 9);
    addTonePeriod(s.writes, 0, 1, 14);
    addTonePeriod(s.writes, 0, 2, 23);
    std::size_t frame = 0;
    for (int round = 0; round < 4; ++round) {
        for (int mixer = 0; mixer < 256; ++mixer) {
            s.writes.push_back({frame, 7, static_cast<std::uint8_t>(mixer ^ (round * 0x15))});
            frame += 13 + static_cast<std::size_t>((mixer * 7 + round) % 23);
        }
    }
    s.frames = frame;
    return s;
}

// Every envelope shape (0-15) at periods 0, 1, 2, 3, 7, 255, 256 and 300,
// two cycles and more of each, on channel A, with B and C at fixed levels.
inline SsgStream everyEnvelopeStream() {
    SsgStream s{"every envelope", {{0, 7, 0x3f}, {0, 8, 0x10}, {0, 9, 4}, {0, 10, 9}}, 0};
    std::size_t frame = 0;
    for (int period : {0, 1, 2, 3, 7, 255, 256, 300}) {
        for (int shape = 0; shape < 16; ++shape) {
            s.writes.push_back({frame, 11, static_cast<std::uint8_t>(period)});
            s.writes.push_back({frame, 12, static_cast<std::uint8_t>(period >> 8)});
            s.writes.push_back({frame, 13, static_cast<std::uint8_t>(shape)});
            frame += 32 * 5 / 2 * static_cast<std::size_t>(std::max(period, 1)) + 11;
        }
    }
    // The longest period, for a while.
    s.writes.push_back({frame, 11, 0xff});
    s.writes.push_back({frame, 12, 0xff});
    s.writes.push_back({frame, 13, 0x0e});
    s.frames = frame + 200000;
    return s;
}

// Each shape started, then its register written again at every frame of
// its first two cycles (period 1, then period 3 at every third frame), with
// the same shape and with another one.
inline SsgStream envelopeRetriggerStream() {
    SsgStream s{
        "envelope retriggers", {{0, 7, 0x3f}, {0, 8, 0x10}, {0, 9, 0x10}, {0, 10, 0x10}}, 0};
    std::size_t frame = 0;
    for (int period : {1, 3}) {
        s.writes.push_back({frame, 11, static_cast<std::uint8_t>(period)});
        for (int shape = 0; shape < 16; ++shape) {
            for (int at = 0; at < 64 * period; at += period == 1 ? 1 : 3) {
                for (int other : {shape, (shape + 5) % 16}) {
                    s.writes.push_back({frame, 13, static_cast<std::uint8_t>(shape)});
                    s.writes.push_back({frame + static_cast<std::size_t>(at) + 1, 13,
                                        static_cast<std::uint8_t>(other)});
                    frame +=
                        static_cast<std::size_t>(at) + 1 + 40 * static_cast<std::size_t>(period);
                }
            }
        }
    }
    s.frames = frame;
    return s;
}

// The envelope period rewritten at every frame of a running step, raised and
// lowered across the count: both registers at once, fine then coarse a frame
// later, and the reverse. One repeating shape written once at frame 0, so
// the envelope's count is never restarted after power-on.
inline SsgStream envelopePeriodRewriteStream() {
    SsgStream s{"envelope period rewrites",
                {{0, 7, 0x3f}, {0, 8, 0x10}, {0, 9, 0x10}, {0, 10, 0x10}, {0, 13, 0x0a}},
                0};
    std::size_t frame = 0;
    const std::pair<int, int> changes[] = {{40, 12},       {12, 40},       {0x105, 0x0f3},
                                           {0x0f3, 0x105}, {0x200, 0x010}, {0x010, 0x200},
                                           {3, 1},         {1, 0},         {2, 0x300}};
    for (const auto& [from, to] : changes) {
        const int span = std::min(std::max(from, to), 48);
        for (int at = 0; at <= span; ++at) {
            s.writes.push_back({frame, 11, static_cast<std::uint8_t>(from)});
            s.writes.push_back({frame, 12, static_cast<std::uint8_t>(from >> 8)});
            const std::size_t when = frame + 5 * static_cast<std::size_t>(std::max(from, 1)) +
                                     static_cast<std::size_t>(at);
            const std::uint8_t fine = static_cast<std::uint8_t>(to);
            const std::uint8_t coarse = static_cast<std::uint8_t>(to >> 8);
            if (at % 3 == 0) {
                s.writes.push_back({when, 11, fine});
                s.writes.push_back({when, 12, coarse});
            } else if (at % 3 == 1) {
                s.writes.push_back({when, 11, fine});
                s.writes.push_back({when + 1, 12, coarse});
            } else {
                s.writes.push_back({when, 12, coarse});
                s.writes.push_back({when + 1, 11, fine});
            }
            frame = when + 4 * static_cast<std::size_t>(std::max({from, to, 1})) + 9;
        }
    }
    s.frames = frame;
    return s;
}

// A channel's level switched between fixed and envelope at points within the
// envelope's cycle, with the envelope's period rewritten mid-step too.
inline SsgStream levelModeStream() {
    SsgStream s{"level modes", {{0, 7, 0x38}, {0, 11, 5}, {0, 13, 0x0a}}, 0};
    addTonePeriod(s.writes, 0, 0, 0);
    addTonePeriod(s.writes, 0, 1, 1);
    addTonePeriod(s.writes, 0, 2, 6);
    std::size_t frame = 1;
    for (int i = 0; i < 600; ++i) {
        const int ch = i % 3;
        const int value = (i / 3) % 2 ? 0x10 | (i & 0x0f) : (i * 7) & 0x1f;
        s.writes.push_back(
            {frame, static_cast<std::uint8_t>(8 + ch), static_cast<std::uint8_t>(value)});
        if (i % 50 == 49) s.writes.push_back({frame, 11, static_cast<std::uint8_t>(1 + i % 9)});
        frame += 7 + static_cast<std::size_t>(i % 17);
    }
    s.frames = frame + 100;
    return s;
}

// The I/O port registers and the ports' direction bits written among
// sounding channels: the sound does not change.
inline SsgStream ioPortStream() {
    SsgStream s{
        "io ports",
        {{0, 7, 0x30}, {0, 8, 15}, {0, 9, 0x10}, {0, 10, 6}, {0, 6, 3}, {0, 11, 9}, {0, 13, 0x0c}},
        0};
    addTonePeriod(s.writes, 0, 0, 11);
    addTonePeriod(s.writes, 0, 1, 37);
    addTonePeriod(s.writes, 0, 2, 5);
    std::size_t frame = 0;
    for (int i = 0; i < 400; ++i) {
        const std::uint8_t data = static_cast<std::uint8_t>(i * 37 + 11);
        s.writes.push_back({frame, static_cast<std::uint8_t>(14 + i % 2), data});
        if (i % 3 == 0)
            s.writes.push_back({frame, 7, static_cast<std::uint8_t>(0x30 ^ ((i & 3) << 6))});
        frame += 5 + static_cast<std::size_t>(i % 11);
    }
    s.frames = frame;
    return s;
}

} // namespace synth::test
