// Register streams of real music for the YM2151 comparison: random MDX songs
// (voices, notes, rests, ties, volume, pan, detune, portamento, the driver's
// pitch LFO, the chip's LFO set and changed by the song, noise on the last
// track) played by the MDX driver, its writes put at the frames of the timer-B
// ticks that make them (a 4 MHz chip: 62,500 frames a second), two frames
// apart within a tick as a chip needs them.
#pragma once

#include "../mdx/MdxBuilder.h"
#include "Ym2151Streams.h"
#include "mdx/MdxDriver.h"
#include "mdx/MdxFile.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace ym2151test {

// A song of eight FM tracks of random commands (a loop back to the start of
// each, so it plays for as long as it is asked), voices of random operators.
inline mdxtest::Song randomSong(std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto pick = [&](int low, int high) {
        return low + static_cast<int>(random() % static_cast<std::uint32_t>(high - low + 1));
    };
    mdxtest::Song song;
    for (int v = 0; v < 6; ++v) {
        mdxtest::Voice voice{};
        voice[0] = static_cast<std::uint8_t>(v);
        voice[1] = static_cast<std::uint8_t>(pick(0, 63));
        voice[2] = 0x0F;
        for (int op = 0; op < 4; ++op) {
            const std::size_t at = 3 + static_cast<std::size_t>(op);
            voice[at] = static_cast<std::uint8_t>(pick(0, 0x7F));                    // DT1/MUL
            voice[at + 4] = static_cast<std::uint8_t>(pick(0, 3) == 0 ? pick(0, 127) // TL
                                                                      : pick(0, 40));
            voice[at + 8] = static_cast<std::uint8_t>((pick(0, 3) << 6) | pick(12, 31));
            voice[at + 12] = static_cast<std::uint8_t>((pick(0, 1) << 7) | pick(0, 31));
            voice[at + 16] = static_cast<std::uint8_t>((pick(0, 3) << 6) | pick(0, 31));
            voice[at + 20] = static_cast<std::uint8_t>((pick(0, 15) << 4) | pick(0, 15));
        }
        song.voices.push_back(voice);
    }
    for (int track = 0; track < 8; ++track) {
        mdxtest::Track& t = song.tracks[static_cast<std::size_t>(track)];
        if (track == 0) t.tempo(pick(180, 230));
        t.voice(pick(0, 5)).volume(pick(8, 15));
        const std::size_t loop = t.mark();
        for (int i = 0; i < 60; ++i) {
            switch (pick(0, 24)) {
            case 0: t.volume(pick(0, 15)); break;
            case 1: t.pan(pick(0, 3)); break;
            case 2: t.gate(pick(1, 8)); break;
            case 3: t.legato(); break;
            case 4: t.detune(pick(-200, 200)); break;
            case 5: t.portamento(pick(-600, 600)); break;
            case 6: t.pitchLfo(pick(0, 2), pick(1, 9), pick(-800, 800)); break;
            case 7: t.lfoSwitch(0xEC, pick(0x80, 0x81)); break;
            case 8: t.voice(pick(0, 5)); break;
            case 9: t.rest(pick(1, 24)); break;
            case 10:
                if (track == 7) t.noise(pick(0, 1) ? 0x80 | pick(0, 0x1F) : 0);
                break;
            case 11:
                t.chipLfo(pick(0, 0x43), pick(0, 255), 0x80 | pick(0, 0x7F), pick(0, 0x7F),
                          pick(0, 0x73));
                break;
            case 12: t.lfoSwitch(0xEA, pick(0x80, 0x81)); break;
            case 13: t.keyOnDelay(pick(0, 3)); break;
            default: t.note(pick(0, 95), pick(6, 48)); break;
            }
        }
        t.note(pick(0, 95), pick(6, 48)).loopTo(loop);
    }
    return song;
}

// The song's writes, over the ticks that fit in `frames`.
inline Stream songStream(std::string name, const mdxtest::Song& song, std::uint32_t frames) {
    Stream s(std::move(name));
    const mdxtest::Bytes bytes = song.build();
    std::string error;
    const std::optional<mdx::MdxFile> file = mdx::MdxFile::parse(bytes, error);
    if (!file) return s;
    mdx::MdxDriver driver(*file);
    std::vector<mdx::Ym2151Write> writes;
    driver.start(writes);
    constexpr double framesPerSecond = mdx::MdxDriver::chipClock / 64.0;
    double tickStart = 0;
    while (s.length() < frames) {
        for (const mdx::Ym2151Write& w : writes)
            s.write(w.address, w.data);
        writes.clear();
        tickStart += driver.tickSeconds() * framesPerSecond;
        if (s.length() < tickStart) s.wait(static_cast<std::uint32_t>(tickStart) - s.length());
        driver.tick(writes);
    }
    return s;
}

} // namespace ym2151test
