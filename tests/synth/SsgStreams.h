// Register streams for the SSG tests and benchmark: each a list of register
// writes at frame times, driving every part of the chip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
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

} // namespace synth::test
