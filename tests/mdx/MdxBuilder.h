// Test-side MDX builder: makes small MDX songs, one command or a few at a
// time, for the driver tests and the comparisons with the reference driver.
// Tracks are byte programs written with the command helpers below; voices are
// given as the 27 bytes of the file's voice record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mdxtest {

using Bytes = std::vector<std::uint8_t>;

// One track's program. The helpers append one command each.
struct Track {
    Bytes code;
    Track& rest(int clocks) {
        while (clocks > 0) {
            int n = clocks > 128 ? 128 : clocks;
            code.push_back(static_cast<std::uint8_t>(n - 1));
            clocks -= n;
        }
        return *this;
    }
    Track& note(int key, int clocks) {
        return raw({static_cast<std::uint8_t>(0x80 + key), static_cast<std::uint8_t>(clocks - 1)});
    }
    Track& tempo(int timerB) { return raw({0xFF, static_cast<std::uint8_t>(timerB)}); }
    Track& reg(int r, int v) {
        return raw({0xFE, static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(v)});
    }
    Track& voice(int n) { return raw({0xFD, static_cast<std::uint8_t>(n)}); }
    Track& pan(int p) { return raw({0xFC, static_cast<std::uint8_t>(p)}); }
    Track& volume(int v) { return raw({0xFB, static_cast<std::uint8_t>(v)}); }
    Track& volumeDown() { return raw({0xFA}); }
    Track& volumeUp() { return raw({0xF9}); }
    Track& gate(int q) { return raw({0xF8, static_cast<std::uint8_t>(q)}); }
    Track& legato() { return raw({0xF7}); }
    Track& repeatStart(int n) { return raw({0xF6, static_cast<std::uint8_t>(n), 0x00}); }
    // Repeat end jumping back to just after the repeat start at byte `start`
    // (the offset the repeatStart call returned through mark()).
    Track& repeatEnd(std::size_t afterStart) {
        int back = static_cast<int>(afterStart) - static_cast<int>(code.size() + 3);
        return word(0xF5, back);
    }
    // Escape: the jump target is patched by escapeTarget(), called right
    // after the repeat end: the escape leads to the repeat end's word.
    Track& repeatEscape(std::size_t& at) {
        at = code.size();
        return word(0xF4, 0);
    }
    Track& escapeTarget(std::size_t at) {
        int forward = static_cast<int>(code.size() - 2) - static_cast<int>(at + 3);
        code[at + 1] = static_cast<std::uint8_t>(forward >> 8);
        code[at + 2] = static_cast<std::uint8_t>(forward);
        return *this;
    }
    Track& detune(int d) { return word(0xF3, d); }
    Track& portamento(int p) { return word(0xF2, p); }
    Track& end() { return raw({0xF1, 0x00}); }
    // End with a loop back to byte `to` of the track.
    Track& loopTo(std::size_t to) {
        int back = static_cast<int>(to) - static_cast<int>(code.size() + 3);
        return word(0xF1, back);
    }
    Track& keyOnDelay(int n) { return raw({0xF0, static_cast<std::uint8_t>(n)}); }
    Track& syncSend(int track) { return raw({0xEF, static_cast<std::uint8_t>(track)}); }
    Track& syncWait() { return raw({0xEE}); }
    Track& noise(int n) { return raw({0xED, static_cast<std::uint8_t>(n)}); }
    Track& lfoSwitch(int command, int onOff) {
        return raw({static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(onOff)});
    }
    Track& pitchLfo(int wave, int period, int amplitude) {
        return lfo(0xEC, wave, period, amplitude);
    }
    Track& volumeLfo(int wave, int period, int amplitude) {
        return lfo(0xEB, wave, period, amplitude);
    }
    Track& chipLfo(int syncWave, int lfrq, int pmd, int amd, int pmsAms) {
        return raw({0xEA, static_cast<std::uint8_t>(syncWave), static_cast<std::uint8_t>(lfrq),
                    static_cast<std::uint8_t>(pmd), static_cast<std::uint8_t>(amd),
                    static_cast<std::uint8_t>(pmsAms)});
    }
    Track& lfoDelay(int n) { return raw({0xE9, static_cast<std::uint8_t>(n)}); }
    Track& fade(int speed) { return raw({0xE7, 0x01, static_cast<std::uint8_t>(speed)}); }
    std::size_t mark() const { return code.size(); }

    Track& raw(std::initializer_list<std::uint8_t> bytes) {
        code.insert(code.end(), bytes);
        return *this;
    }
    Track& word(std::uint8_t command, int value) {
        return raw({command, static_cast<std::uint8_t>((value >> 8) & 0xFF),
                    static_cast<std::uint8_t>(value & 0xFF)});
    }
    Track& lfo(std::uint8_t command, int wave, int period, int amplitude) {
        raw({command, static_cast<std::uint8_t>(wave)});
        code.push_back(static_cast<std::uint8_t>((period >> 8) & 0xFF));
        code.push_back(static_cast<std::uint8_t>(period & 0xFF));
        code.push_back(static_cast<std::uint8_t>((amplitude >> 8) & 0xFF));
        code.push_back(static_cast<std::uint8_t>(amplitude & 0xFF));
        return *this;
    }
};

// A voice record: number, FL/CON, slot mask and the six groups of four
// operator bytes (DT1/MUL, TL, KS/AR, AME/D1R, DT2/D2R, D1L/RR).
using Voice = std::array<std::uint8_t, 27>;

// A plain voice with distinct bytes per operator, so that the order of the
// operator writes shows in a comparison.
inline Voice testVoice(int number, int flCon = 0x3A) {
    Voice v{};
    v[0] = static_cast<std::uint8_t>(number);
    v[1] = static_cast<std::uint8_t>(flCon);
    v[2] = 0x0F;
    const std::uint8_t groups[6][4] = {{0x01, 0x12, 0x23, 0x34}, {0x20, 0x18, 0x28, 0x04},
                                       {0x1F, 0x5E, 0x9D, 0xDC}, {0x05, 0x86, 0x07, 0x08},
                                       {0x01, 0x42, 0x83, 0xC4}, {0x15, 0x26, 0x37, 0x48}};
    for (int g = 0; g < 6; ++g)
        for (int o = 0; o < 4; ++o)
            v[3 + g * 4 + o] = static_cast<std::uint8_t>(groups[g][o] + (g == 1 ? number : 0));
    return v;
}

struct Song {
    std::string title = "test";
    std::string pdxName;
    std::vector<Track> tracks = std::vector<Track>(9);
    std::vector<Voice> voices;

    // Tracks without a program get an end command.
    Bytes build() const {
        Bytes out(title.begin(), title.end());
        out.insert(out.end(), {0x0D, 0x0A, 0x1A});
        out.insert(out.end(), pdxName.begin(), pdxName.end());
        out.push_back(0x00);
        std::size_t base = out.size();
        std::size_t header = 2 + 2 * tracks.size();
        out.resize(base + header);
        auto putWord = [&](std::size_t at, std::size_t value) {
            out[at] = static_cast<std::uint8_t>(value >> 8);
            out[at + 1] = static_cast<std::uint8_t>(value);
        };
        for (std::size_t t = 0; t < tracks.size(); ++t) {
            putWord(base + 2 + 2 * t, out.size() - base);
            if (tracks[t].code.empty())
                out.insert(out.end(), {0xF1, 0x00});
            else
                out.insert(out.end(), tracks[t].code.begin(), tracks[t].code.end());
        }
        putWord(base, out.size() - base);
        for (const Voice& v : voices)
            out.insert(out.end(), v.begin(), v.end());
        return out;
    }
};

} // namespace mdxtest
