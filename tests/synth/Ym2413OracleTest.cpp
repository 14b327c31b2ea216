// The YM2413 model against the die-shot emulator in ../shared/reference, frame by frame.
//
// Both chips get the same register streams at the same frames. The emulator is clocked one
// operator slot (4 input clocks) per call, 18 calls per frame; each call reports the melody
// and rhythm pins of the previous phase, each one step above its value, so a frame of it is
// the sum over 18 calls of both pins less their rest level. A write goes to it as the address
// at the frame's first phase and the data three phases later, and every write gets a frame
// of its own with one frame between writes, as the chip needs. With that schedule, and both
// chips run for four frames after reset before the stream starts, the two line up frame for
// frame: no delay needs aligning.
//
// Each stream reports its share of equal frames and, where frames differ, the signal-to-error
// ratio (the oracle's power over the power of the difference), how many frames differ and the
// first of them (with TONRIG_YM2413_DIFFERENCES set in the environment, every differing frame).
// Streams the model reproduces exactly are asserted exact; the others are held to a floor below
// today's figures.
#include "synth/Ym2413.h"
#include "synth/Ym2413Tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifdef TONRIG_YM2413_ORACLE
extern "C" {
#include "opll.h"
}
#endif

namespace {

constexpr int preRollFrames = 4;

struct Write {
    int frame;
    std::uint8_t address;
    std::uint8_t data;
};

// A register stream: writes at increasing frames, two frames apart, and a length.
class Stream {
public:
    void put(int address, int data) {
        writes_.push_back(
            {frame_, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data)});
        frame_ += 2;
    }
    void wait(int frames) { frame_ += frames; }
    void user(const std::uint8_t (&patch)[8]) {
        for (int i = 0; i < 8; ++i)
            put(i, patch[i]);
    }
    void note(int ch, int fNumber, int block, int instrument, int volume, bool sustain = false) {
        put(0x10 + ch, fNumber & 0xff);
        put(0x30 + ch, instrument << 4 | volume);
        put(0x20 + ch, (sustain ? 0x20 : 0) | 0x10 | block << 1 | fNumber >> 8);
    }
    void keyOff(int ch, int fNumber, int block, bool sustain = false) {
        put(0x20 + ch, (sustain ? 0x20 : 0) | block << 1 | fNumber >> 8);
    }
    // The drums' pitches: F-numbers and blocks of channels 6-8 as the rhythm tests play them.
    void drumPitches() {
        put(0x16, 0x20);
        put(0x26, 0x05);
        put(0x17, 0x50);
        put(0x27, 0x05);
        put(0x18, 0xc0);
        put(0x28, 0x01);
    }
    // The drums' pitches, then their volumes (0x36-0x38) as the rhythm tests play them.
    void drumSetUp() {
        drumPitches();
        put(0x36, 0x02);
        put(0x37, 0x31);
        put(0x38, 0x24);
    }
    const std::vector<Write>& writes() const { return writes_; }
    int length() const { return frame_; }

private:
    std::vector<Write> writes_;
    int frame_ = 2;
};

// A music-like random register stream from a seed: notes keyed on and off at random moments of
// their envelopes, changes of instrument, volume, F-number, block and sustain while they sound,
// writes to the user instrument and, with rhythm, rhythm mode switched on and off and every drum
// struck and re-struck at random moments. The seed's generator is used through its raw output
// only, so the stream is the same with every standard library.
Stream randomSong(std::uint32_t seed, int seconds, bool rhythm, bool userWrites) {
    std::mt19937 random(seed);
    auto pick = [&](std::uint32_t n) { return static_cast<int>(random() % n); };
    Stream s;
    s.user({0x21, 0x21, 0x1c, 0x07, 0xf2, 0xf4, 0x24, 0x35});
    int fNumbers[9] = {};
    int blocks[9] = {};
    bool keys[9] = {};
    bool sustain[9] = {};
    int drums = 0;
    bool rhythmOn = false;
    const int frames = seconds * 49716;
    auto keyBlock = [&](int ch) {
        return (sustain[ch] ? 0x20 : 0) | (keys[ch] ? 0x10 : 0) | blocks[ch] << 1 |
               fNumbers[ch] >> 8;
    };
    while (s.length() < frames) {
        const int ch = pick(rhythmOn ? 6 : 9);
        const int event = pick(100);
        if (event < 30) { // a note
            fNumbers[ch] = 0x80 + pick(0x180);
            blocks[ch] = 1 + pick(7);
            sustain[ch] = pick(4) == 0;
            keys[ch] = true;
            s.put(0x10 + ch, fNumbers[ch] & 0xff);
            s.put(0x30 + ch, pick(16) << 4 | pick(10));
            s.put(0x20 + ch, keyBlock(ch));
        } else if (event < 52) { // a key-off
            keys[ch] = false;
            s.put(0x20 + ch, keyBlock(ch));
        } else if (event < 60) { // a re-key without key-off in between (legato)
            fNumbers[ch] = 0x80 + pick(0x180);
            s.put(0x10 + ch, fNumbers[ch] & 0xff);
            keys[ch] = !keys[ch];
            s.put(0x20 + ch, keyBlock(ch));
        } else if (event < 68) { // pitch bend or block change
            if (pick(3) == 0) blocks[ch] = 1 + pick(7);
            fNumbers[ch] = std::clamp(fNumbers[ch] + pick(41) - 20, 0, 0x1ff);
            s.put(0x10 + ch, fNumbers[ch] & 0xff);
            s.put(0x20 + ch, keyBlock(ch));
        } else if (event < 74) { // volume or instrument
            s.put(0x30 + ch, pick(16) << 4 | pick(16));
        } else if (event < 78) { // sustain
            sustain[ch] = !sustain[ch];
            s.put(0x20 + ch, keyBlock(ch));
        } else if (event < 84 && userWrites) { // the user instrument
            s.put(pick(8), pick(256));
        } else if (event < 96 && rhythm) { // the drums
            if (!rhythmOn) {
                for (int d = 6; d < 9; ++d) {
                    fNumbers[d] = 0x100 + pick(0x100);
                    blocks[d] = 1 + pick(4);
                    keys[d] = false;
                    s.put(0x10 + d, fNumbers[d] & 0xff);
                    s.put(0x20 + d, keyBlock(d));
                    s.put(0x30 + d, pick(256));
                }
                rhythmOn = true;
            }
            drums ^= 1 << pick(5);
            s.put(0x0e, 0x20 | drums);
        } else if (event < 98 && rhythm && rhythmOn) { // rhythm mode off
            drums = 0;
            rhythmOn = false;
            s.put(0x0e, 0);
        }
        // Music moves in beats but keys come at any moment of an envelope.
        s.wait(pick(4) == 0 ? pick(12) : pick(1500));
    }
    return s;
}

// A song as a sound driver writes it, from a seed: 60 or 50 ticks a second; each channel's
// volume and instrument register rewritten in every tick (a software volume envelope) and its
// F-number in every tick (vibrato, slides); a new note as key-off and key-on in the same tick, or
// legato; sustain switched on and off; the user instrument rewritten between notes when a channel
// needs another patch than the one loaded (while other channels still play the old one); with
// rhythm, several drums keyed in one write (released in the same tick or not), their volumes
// rewritten with every beat and their pitch now and then.
Stream driverSong(std::uint32_t seed, int seconds, bool rhythm) {
    std::mt19937 random(seed);
    auto pick = [&](std::uint32_t n) { return static_cast<int>(random() % n); };
    static const int scale[12] = {172, 181, 192, 204, 216, 229, 242, 257, 272, 288, 305, 323};
    static const std::uint8_t patches[4][8] = {{0x61, 0x61, 0x1e, 0x17, 0xf0, 0x7f, 0x00, 0x17},
                                               {0x13, 0x41, 0x16, 0x0e, 0xfd, 0xf4, 0x23, 0x23},
                                               {0x01, 0x01, 0x0f, 0x07, 0xf8, 0xf8, 0x24, 0x15},
                                               {0xc2, 0x11, 0x1d, 0x05, 0xf3, 0xe2, 0x27, 0x87}};
    const int tick = pick(2) ? 828 : 994;
    const int melodyChannels = rhythm ? 6 : 9;
    struct Voice {
        int instrument, patch, volume, gate, vibratoDepth, vibratoDelay;
        bool sustain, legato, slide;
        int note = -1, fNumber = 0, block = 0, ticksLeft = 0, age = 0, gateLeft = 0, fade = 0;
        int target = 0;
        bool keyed = false;
    } voices[9];
    for (int ch = 0; ch < melodyChannels; ++ch) {
        Voice& v = voices[ch];
        v.instrument = pick(4) == 0 ? 0 : 1 + pick(15);
        v.patch = pick(4);
        v.volume = pick(6);
        v.gate = 50 + pick(50);
        v.vibratoDepth = pick(3) == 0 ? 0 : 1 + pick(4);
        v.vibratoDelay = pick(12);
        v.sustain = pick(3) == 0;
        v.legato = pick(4) == 0;
        v.slide = pick(5) == 0;
    }
    int loadedPatch = -1;
    Stream s;
    int drumStep = 0;
    const int drumEvery = 3 + pick(6);
    if (rhythm) {
        s.drumPitches();
        s.put(0x36, pick(16));
        s.put(0x37, pick(256));
        s.put(0x38, pick(256));
        s.put(0x0e, 0x20);
    }
    const int frames = seconds * 49716;
    while (s.length() < frames) {
        const int tickStart = s.length();
        for (int ch = 0; ch < melodyChannels; ++ch) {
            Voice& v = voices[ch];
            auto keyBlock = [&](bool key) {
                return (v.sustain ? 0x20 : 0) | (key ? 0x10 : 0) | v.block << 1 | v.fNumber >> 8;
            };
            if (v.ticksLeft == 0) { // a new note, or a rest
                static const int lengths[] = {2, 3, 4, 6, 8, 12, 16, 24};
                v.ticksLeft = lengths[pick(8)];
                v.gateLeft = std::max(1, v.ticksLeft * v.gate / 100);
                if (pick(8) == 0) {
                    if (v.keyed) s.put(0x20 + ch, keyBlock(false));
                    v.keyed = false;
                    v.gateLeft = 0;
                } else {
                    v.note = pick(36);
                    v.age = 0;
                    v.fade = 0;
                    if (v.instrument == 0 && v.patch != loadedPatch) {
                        if (v.keyed) s.put(0x20 + ch, keyBlock(false));
                        v.keyed = false;
                        s.user(patches[v.patch]);
                        loadedPatch = v.patch;
                    }
                    v.target = scale[v.note % 12];
                    v.block = 2 + v.note / 12;
                    if (!v.slide || !v.keyed) {
                        v.fNumber = v.target;
                        if (v.keyed && !v.legato) s.put(0x20 + ch, keyBlock(false));
                        s.put(0x10 + ch, v.fNumber & 0xff);
                        s.put(0x30 + ch, v.instrument << 4 | v.volume);
                        s.put(0x20 + ch, keyBlock(true));
                        v.keyed = true;
                    }
                    if (pick(6) == 0) v.sustain = !v.sustain;
                }
            } else {
                ++v.age;
                if (v.keyed && v.gateLeft == 0) {
                    v.keyed = false;
                    if (pick(3) == 0) v.sustain = !v.sustain;
                    s.put(0x20 + ch, keyBlock(false));
                }
            }
            if (v.note >= 0) {
                if (v.age % 3 == 2 && v.fade < 15 - v.volume) ++v.fade;
                s.put(0x30 + ch, v.instrument << 4 | std::min(15, v.volume + v.fade));
                if (v.slide && v.fNumber != v.target)
                    v.fNumber += std::clamp(v.target - v.fNumber, -6, 6);
                int f = v.fNumber;
                if (v.vibratoDepth && v.age >= v.vibratoDelay) {
                    const int phase = v.age % 8;
                    f += (phase < 4 ? phase - 2 : 6 - phase) * v.vibratoDepth;
                }
                s.put(0x10 + ch, f & 0xff);
                s.put(0x20 + ch,
                      (v.sustain ? 0x20 : 0) | (v.keyed ? 0x10 : 0) | v.block << 1 | f >> 8);
            }
            --v.ticksLeft;
            if (v.gateLeft > 0) --v.gateLeft;
        }
        if (rhythm && drumStep-- == 0) {
            drumStep = drumEvery - 1;
            const int keys = 1 + pick(31);
            if (pick(2)) s.put(0x0e, 0x20);
            s.put(0x0e, 0x20 | keys);
            if (pick(3) == 0) s.put(0x36 + pick(3), pick(256));
            s.put(0x36, pick(16));
            s.put(0x37, pick(256));
            s.put(0x38, pick(256));
            if (pick(4) == 0) {
                const int d = 6 + pick(3);
                s.put(0x10 + d, pick(256));
                s.put(0x20 + d, pick(8));
            }
        }
        s.wait(std::max(0, tickStart + tick - s.length()));
    }
    return s;
}

#ifdef TONRIG_YM2413_ORACLE
std::vector<int> renderModel(const Stream& stream) {
    synth::Ym2413 chip;
    std::int16_t settle[preRollFrames];
    chip.generate(settle, preRollFrames);
    std::vector<int> out;
    std::size_t next = 0;
    for (int f = 0; f < stream.length(); ++f) {
        while (next < stream.writes().size() && stream.writes()[next].frame == f) {
            chip.write(stream.writes()[next].address, stream.writes()[next].data);
            ++next;
        }
        std::int16_t value = 0;
        chip.generate(&value, 1);
        out.push_back(value);
    }
    return out;
}

std::vector<int> renderOracle(const Stream& stream) {
    static opll_t chip; // large; one at a time
    OPLL_Reset(&chip, opll_type_ym2413);
    std::int32_t pins[2];
    for (int i = 0; i < 18 * preRollFrames; ++i)
        OPLL_Clock(&chip, pins);
    std::vector<int> out;
    std::size_t next = 0;
    for (int f = 0; f < stream.length(); ++f) {
        const Write* write = nullptr;
        if (next < stream.writes().size() && stream.writes()[next].frame == f)
            write = &stream.writes()[next++];
        int sum = 0;
        for (int phase = 0; phase < 18; ++phase) {
            if (write && phase == 0) OPLL_Write(&chip, 0, write->address);
            if (write && phase == 3) OPLL_Write(&chip, 1, write->data);
            OPLL_Clock(&chip, pins);
            sum += pins[0] - 1 + pins[1] - 1;
        }
        out.push_back(sum);
    }
    return out;
}
#endif

struct Agreement {
    double equalShare;
    double signalToError; // dB; infinite when equal
};

// Runs both chips, prints the figures and returns them.
Agreement compare(const char* name, const Stream& stream) {
#ifdef TONRIG_YM2413_ORACLE
    const std::vector<int> model = renderModel(stream);
    const std::vector<int> oracle = renderOracle(stream);
    int equal = 0;
    std::size_t firstDifference = model.size();
    double signal = 0;
    double error = 0;
    bool audible = false;
    for (std::size_t i = 0; i < model.size(); ++i) {
        equal += model[i] == oracle[i];
        if (model[i] != oracle[i] && firstDifference == model.size()) firstDifference = i;
        audible = audible || oracle[i] != 0;
        signal += double(oracle[i]) * oracle[i];
        error += double(model[i] - oracle[i]) * (model[i] - oracle[i]);
    }
    EXPECT_TRUE(audible) << name << ": the oracle stayed silent, the stream is broken";
    const Agreement result{100.0 * equal / double(model.size()),
                           error == 0 ? INFINITY : 10.0 * std::log10(signal / error)};
    std::printf("[ YM2413 ] %-28s equal %6.2f%%  SER %6.1f dB  (%zu frames, %zu differ", name,
                result.equalShare, result.signalToError, model.size(),
                model.size() - static_cast<std::size_t>(equal));
    if (firstDifference < model.size()) std::printf(", the first at %zu", firstDifference);
    std::printf(")\n");
    if (std::getenv("TONRIG_YM2413_DIFFERENCES"))
        for (std::size_t i = 0; i < model.size(); ++i)
            if (model[i] != oracle[i])
                std::printf("  frame %zu: ours %d, oracle %d\n", i, model[i], oracle[i]);
    return result;
#else
    (void)name;
    (void)stream;
    return {0, 0};
#endif
}

// Compares a stream that the model reproduces exactly.
void expectExact(const std::string& name, const Stream& stream) {
    EXPECT_EQ(compare(name.c_str(), stream).equalShare, 100.0) << name;
}

class Ym2413Oracle : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef TONRIG_YM2413_ORACLE
        GTEST_SKIP() << "../shared/reference/nuked-opll is absent: the comparison with the "
                        "die-shot emulator is "
                        "skipped";
#endif
    }
};

// A user instrument with a silent modulator is a plain sine: the operator tables, phase
// generator and output pins alone.
TEST_F(Ym2413Oracle, PlainSineIsExact) {
    Stream s;
    s.user({0x21, 0x21, 0x3f, 0x00, 0x00, 0xf0, 0x0f, 0x0f});
    s.note(0, 0x80, 6, 0, 0);
    s.note(4, 0x1ff, 2, 0, 5);
    s.wait(1500);
    const Agreement a = compare("plain sine", s);
    EXPECT_EQ(a.equalShare, 100.0);
}

TEST_F(Ym2413Oracle, UserInstrumentFrequencyModulation) {
    Stream s;
    s.user({0x21, 0x21, 0x3f, 0x00, 0xf0, 0xf0, 0x0f, 0x0f});
    s.note(0, 0x80, 6, 0, 0);
    s.wait(400);
    const Agreement weak = compare("user FM, weak modulator", s);
    EXPECT_EQ(weak.equalShare, 100.0);

    Stream t;
    t.user({0x23, 0x21, 0x12, 0x05, 0xf4, 0xf2, 0x24, 0x14});
    t.note(1, 0x120, 4, 0, 2);
    t.wait(2000);
    t.keyOff(1, 0x120, 4);
    t.wait(1500);
    const Agreement strong = compare("user FM, feedback", t);
    EXPECT_EQ(strong.equalShare, 100.0);
}

TEST_F(Ym2413Oracle, BuiltInInstruments) {
    static const char* const names[] = {
        "violin",      "guitar",     "piano",      "flute",         "clarinet",
        "oboe",        "trumpet",    "organ",      "horn",          "synthesizer",
        "harpsichord", "vibraphone", "synth bass", "acoustic bass", "electric guitar"};
    for (int inst = 1; inst <= 15; ++inst) {
        Stream s;
        s.note(inst % 9, 0x100 + inst * 9, 4, inst, 0);
        s.wait(6000);
        s.keyOff(inst % 9, 0x100 + inst * 9, 4);
        s.wait(4000);
        expectExact(std::to_string(inst) + " " + names[inst - 1], s);
    }
}

// Every instrument, the user's among them, on every channel with and without the sustain bit:
// notes keyed off at different points of their envelopes and keyed again while they release.
TEST_F(Ym2413Oracle, EveryInstrumentOnEveryChannel) {
    for (int ch = 0; ch < 9; ++ch) {
        for (bool sustain : {false, true}) {
            Stream s;
            s.user({0x33, 0x61, 0x45, 0x1d, 0xb5, 0x83, 0x27, 0x46});
            for (int inst = 0; inst < 16; ++inst) {
                const int fNumber = 0x100 + inst * 13;
                const int block = 2 + inst % 5;
                s.note(ch, fNumber, block, inst, inst % 8, sustain);
                s.wait(80 + inst * 23);
                s.keyOff(ch, fNumber, block, sustain);
                s.wait(60 + inst * 7);
                s.note(ch, fNumber + 5, block, inst, 3, sustain);
                s.wait(200);
                s.keyOff(ch, fNumber + 5, block, sustain);
                s.wait(300);
            }
            expectExact("all instruments, ch " + std::to_string(ch) + (sustain ? ", SUS" : ""), s);
        }
    }
}

// New F-numbers and blocks while notes sound, on channels the chip serves at different
// points of its turn, with and without vibrato.
TEST_F(Ym2413Oracle, PitchChangesWhileSounding) {
    Stream s;
    s.user({0x21, 0x21, 0x10, 0x02, 0xf0, 0xf0, 0x05, 0x05});
    for (int ch : {1, 4, 7})
        s.note(ch, 0xad, 5, ch == 7 ? 1 : 0, 0);
    s.wait(300);
    for (int step = 0; step < 12; ++step) {
        for (int ch : {1, 4, 7})
            s.put(0x10 + ch, 0xad + step * 11 + ch);
        s.put(0x24, 0x10 | (step % 3 + 4) << 1);
        s.wait(150);
    }
    EXPECT_EQ(compare("pitch changes", s).equalShare, 100.0);
}

TEST_F(Ym2413Oracle, RhythmMode) {
    Stream s;
    s.drumSetUp();
    for (int bits : {0x10, 0x08, 0x04, 0x02, 0x01, 0x1f}) {
        s.put(0x0e, 0x20 | bits);
        s.wait(3000);
        s.put(0x0e, 0x20);
        s.wait(1000);
    }
    const Agreement a = compare("rhythm, five drums", s);
    EXPECT_EQ(a.equalShare, 100.0);
}

// Each drum alone, struck after a long rest, then struck again at different points of its
// attack, decay and release: the re-key's damping, attack and phase restart.
TEST_F(Ym2413Oracle, DrumsReKeyed) {
    static const char* const names[] = {"hi-hat", "top cymbal", "tom-tom", "snare drum",
                                        "bass drum"};
    for (int drum = 0; drum < 5; ++drum) {
        Stream s;
        s.drumSetUp();
        for (int gap : {3000, 37, 150, 610, 1003}) {
            s.put(0x0e, 0x20 | 1 << drum);
            s.wait(gap);
            s.put(0x0e, 0x20);
            s.wait(gap / 3);
        }
        s.wait(1000);
        expectExact(std::string(names[drum]) + ", re-keyed", s);
    }
}

// Each drum keyed off and on again at every moment of its envelope: in its damping, attack, decay
// and sustain (held on for 0 to 1,597 frames), and off for no frame at all to long into its
// release, at spacings that land on every phase of the envelope counter.
TEST_F(Ym2413Oracle, DrumsReKeyedAtEveryMomentOfTheirEnvelopes) {
    static const char* const names[] = {"hi-hat", "top cymbal", "tom-tom", "snare drum",
                                        "bass drum"};
    for (int drum = 0; drum < 5; ++drum) {
        Stream s;
        s.drumSetUp();
        s.put(0x0e, 0x20);
        for (int on : {0, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987, 1597}) {
            for (int off : {0, 1, 3, 7, 40, 401}) {
                s.put(0x0e, 0x20 | 1 << drum);
                s.wait(on);
                s.put(0x0e, 0x20);
                s.wait(off);
            }
        }
        s.wait(1000);
        expectExact(std::string(names[drum]) + ", re-keyed at every moment", s);
    }
}

// Rhythm mode switched on while channels 7 and 8 still sound from melody notes: the hi-hat and
// the tom-tom go on from their modulators' phase (a step back: a melody modulator of channels
// 3-8 runs a turn ahead), the cymbal and snare drum from those bits.
TEST_F(Ym2413Oracle, RhythmSwitchedOnUnderMelodyNotes) {
    for (int gap : {50, 51}) {
        Stream s;
        s.user({0x21, 0x21, 0x3f, 0x00, 0xf0, 0x00, 0x00, 0x00});
        s.note(7, 0x127, 3, 0, 0);
        s.note(8, 0x0e5, 4, 0, 0);
        s.wait(100);
        s.keyOff(7, 0x127, 3);
        s.keyOff(8, 0x0e5, 4);
        s.wait(gap);
        s.put(0x0e, 0x20);
        s.wait(400);
        expectExact("rhythm on under notes, " + std::to_string(gap), s);
    }
}

// Rhythm mode switched on again while the hi-hat of the last time still fades as channel 7's
// modulator: in that first turn the hi-hat takes the top cymbal's phase as it stood in the last
// turn in rhythm mode (the chip loads that latch only in rhythm mode), not in the turn before.
TEST_F(Ym2413Oracle, RhythmSwitchedOnAgainUnderAFadingHiHat) {
    for (int gap = 6; gap < 40; ++gap) {
        Stream s;
        s.put(0x18, 0xc8);
        s.put(0x28, 0x0d);
        s.put(0x0e, 0x21);
        s.wait(300);
        s.put(0x0e, 0x00);
        s.wait(gap);
        s.put(0x0e, 0x20);
        s.wait(100);
        expectExact("rhythm on again over the hi-hat, " + std::to_string(gap), s);
    }
}

// Rhythm mode switched on while the hi-hat or the tom-tom, keyed again as a melody modulator,
// still damps from where the drum had decayed to (the channel's key bit then keys the drum on
// through the switch): a melody modulator runs a turn ahead, so its envelope has taken the
// switch's frame's step already and takes none as a drum in that frame (with a step more, the
// level is a step high from the switch on where the damping steps in that frame: 67.6 % to 73.7 %
// of frames equal in those streams).
TEST_F(Ym2413Oracle, RhythmSwitchedOnUnderADampingModulator) {
    for (int ch : {7, 8}) {
        for (int damping : {0, 1, 2, 3, 52, 53}) {
            Stream s;
            s.put(0x10 + ch, 0x40);
            s.put(0x20 + ch, 0x09);
            s.put(0x0e, ch == 7 ? 0x21 : 0x24);
            s.wait(300);
            s.put(0x0e, 0x00);
            s.wait(10);
            s.put(0x20 + ch, 0x19);
            s.wait(damping);
            s.put(0x0e, 0x20);
            s.wait(400);
            expectExact("rhythm on, ch " + std::to_string(ch) + " damping for " +
                            std::to_string(damping),
                        s);
        }
    }
}

// Rhythm mode switched on or off as the hi-hat or the tom-tom, keyed on through it by its
// channel's key bit, or the snare drum or top cymbal under it, ends its damping (keyed as a melody
// note while the two drums of the channel still sounded, so both damp; the carrier, louder, ends
// first). A melody modulator whose damping ends under its sounding carrier keeps its phase running
// for the carrier's attack to restart: switched on in the frame after, the drum restarts its phase
// itself, after that frame's output (310 and 314 frames of damping); switched off in the frame the
// drum's damping ends, the modulator keeps its phase running (308). The restart a melody carrier's
// attack gives its modulator comes too late for rhythm mode switched on in the frame after: the
// drum runs on from the phase it had (278, 309). The snare drum's or top cymbal's attack started in
// the frame before rhythm mode is switched off restarts the modulator's phase in the switch's frame
// (280, 307), the output the carrier takes next still made from the phase before (see below).
// Without these, the streams where the switch meets a damping's end came out 76.0 % to 86.0 %
// equal, 7.5 to 23.3 dB (with the late restarts as the others: 96.6 % and 99.5 % switched on, 77.1
// % and 77.7 % switched off).
TEST_F(Ym2413Oracle, RhythmSwitchedAsADampingEnds) {
    static const struct {
        int ch;
        bool on;
        int damping;
    } cases[] = {{7, true, 308},  {7, true, 309},  {7, true, 310},  {7, true, 314},
                 {7, false, 307}, {7, false, 308}, {8, true, 278},  {8, true, 308},
                 {8, true, 310},  {8, true, 314},  {8, false, 280}, {8, false, 308}};
    for (const auto& c : cases) {
        Stream s;
        if (!c.on) s.put(0x30 + c.ch, 0x60);
        s.put(0x10 + c.ch, 0x40);
        s.put(0x20 + c.ch, 0x09);
        s.put(0x0e, c.ch == 7 ? 0x29 : 0x26);
        s.wait(300);
        s.put(0x0e, c.on ? 0x00 : 0x20);
        s.wait(10);
        s.put(0x20 + c.ch, 0x19);
        s.wait(c.damping);
        s.put(0x0e, c.on ? 0x20 : 0x00);
        s.wait(200);
        expectExact("rhythm " + std::string(c.on ? "on" : "off") + ", ch " + std::to_string(c.ch) +
                        " damping for " + std::to_string(c.damping),
                    s);
    }
}

// Channel 8 keyed as a melody note under the tom-tom and top cymbal, rhythm mode switched on for
// ten frames with the tom-tom's bit set, off in the frame after the top cymbal's damping ended: the
// modulator's phase restarts in the switch's frame, but the output its carrier takes next is made
// from the phase it had before (made from the restarted phase, two frames differ near silence).
TEST_F(Ym2413Oracle, RhythmSwitchedOffAsTheTopCymbalAttacks) {
    static const Write writes[] = {{156, 0x0e, 0x2f},  {1135, 0x28, 0x16}, {1138, 0x0e, 0x00},
                                   {1418, 0x38, 0xb7}, {1420, 0x28, 0x3f}, {2462, 0x0e, 0x2f},
                                   {3812, 0x28, 0x15}, {4616, 0x0e, 0x00}, {4923, 0x0e, 0x3e},
                                   {5827, 0x0e, 0x00}, {7390, 0x28, 0x05}, {7681, 0x28, 0x15},
                                   {7890, 0x0e, 0x24}, {7900, 0x0e, 0x00}};
    Stream s;
    for (const Write& w : writes) {
        s.wait(w.frame - s.length());
        s.put(w.address, w.data);
    }
    s.wait(200);
    expectExact("rhythm off as the top cymbal attacks", s);
}

TEST_F(Ym2413Oracle, RhythmSwitchedOffUnderDrums) {
    for (int attack : {3, 6, 9}) {
        Stream s;
        s.user({0x61, 0x21, 0x1c, 0x07, 0xf2, 0xf4, 0x24, 0x35});
        s.put(0x17, 0x50);
        s.put(0x27, 0x05);
        s.put(0x18, 0xc0);
        s.put(0x28, 0x01);
        s.put(0x37, 0x01);
        s.put(0x38, 0x05);
        s.put(0x0e, 0x25);
        s.wait(attack);
        s.put(0x0e, 0x00);
        s.wait(300);
        for (int step = 0; step < 6; ++step) {
            s.put(0x17, 0x50 + step * 7);
            s.put(0x18, 0xc0 - step * 5);
            s.wait(500);
        }
        s.put(0x0e, 0x20);
        s.wait(3000);
        expectExact("rhythm off in attack, " + std::to_string(attack), s);
    }
}
// Rhythm mode switched off under a decaying snare drum or top cymbal, their channel keyed off with
// its sustain bit set and playing a user voice, the switch moved by a frame each time across the
// slow rates' windows: the old drum, a melody carrier now, goes on in the state it had, at the new
// voice's rate for it. The snare drum decays at the rate it releases at, so only this shows where
// its decay ended: at its sustain level 4 (with the 6 the ROM was thought to hold, channel 7 came
// out 76.35 % / 28.2 dB and 94.09 % / 42.1 dB in the first two streams; with 3, the third
// differs).
TEST_F(Ym2413Oracle, RhythmSwitchedOffUnderADecayingDrumCarrier) {
    static const struct {
        int attackDecay, levelRelease, held;
    } voices[] = {{0xbf, 0x00, 1650}, {0x00, 0x3b, 1641}, {0xb8, 0xff, 1000}};
    for (int ch : {7, 8}) {
        for (const auto& voice : voices) {
            Stream s;
            s.put(0x05, voice.attackDecay);
            s.put(0x07, voice.levelRelease);
            s.put(0x10 + ch, 0x40);
            s.put(0x20 + ch, 0x29);
            for (int shift = 0; shift < 64; ++shift) {
                s.put(0x0e, 0x3f);
                s.wait(voice.held + shift);
                s.put(0x0e, 0x00);
                s.wait(300);
            }
            char name[64];
            std::snprintf(name, sizeof name, "rhythm off, ch %d, user %02x %02x", ch,
                          voice.attackDecay, voice.levelRelease);
            expectExact(name, s);
        }
    }
}

// Rhythm mode switched on and off again and again under sounding melody notes on channels 6-8
// (their modulators without feedback): in the frame of each switch the rhythm pin follows it from
// the sixth output phase, where the second phases of the bass drum, snare drum and top cymbal
// carry (or no longer carry) the outputs of the previous turn (99.06% equal without it). Switched
// off, the carriers of channels 7 and 8 are modulated next by the output their modulators make
// from the phase they have in the switch's frame, not the hi-hat's or tom-tom's output (99.60%
// without it). Switched on again, the hi-hat takes the top cymbal's phase latched in the last
// turn in rhythm mode (99.41% without it).
TEST_F(Ym2413Oracle, RhythmToggledUnderMelodyNotes) {
    for (int drums : {0x00, 0x12}) {
        Stream s;
        s.user({0x21, 0x21, 0x1c, 0x00, 0xf2, 0xf4, 0x04, 0x05});
        s.put(0x36, 0x01);
        s.note(6, 0x15b, 4, 0, 1, true);
        s.note(7, 0x19d, 3, 0, 0, true);
        s.note(8, 0x0e1, 5, 0, 2, true);
        s.wait(100);
        for (int gap : {40, 41, 90, 157, 300, 611}) {
            s.put(0x0e, 0x20 | drums);
            s.wait(gap);
            s.put(0x0e, 0x00);
            s.wait(gap / 2);
        }
        char name[48];
        std::snprintf(name, sizeof name, "rhythm toggled under notes, %02x", drums);
        EXPECT_EQ(compare(name, s).equalShare, 100.0) << name;
    }
}

// Rhythm mode switched on under released melody notes on channels 7 and 8 (drums struck or not)
// and off again after a while: the modulators go on a turn ahead as melody modulators, which the
// carriers they modulate show (77.91% and 79.99% equal when they stayed level with the chip's
// turn). Then F-numbers written while the modulators sound, and rhythm mode on again with the snare
// drum and top cymbal struck: their phase bits come from the modulators' phase.
TEST_F(Ym2413Oracle, RhythmSwitchedOffUnderMelodyNotes) {
    for (int drums : {0x00, 0x05}) {
        Stream s;
        s.user({0x21, 0x21, 0x1c, 0x07, 0xf2, 0xf4, 0x24, 0x35});
        s.put(0x16, 0xaf);
        s.put(0x26, 0x09);
        s.put(0x36, 0x5f);
        s.note(7, 0x18c, 3, 15, 2);
        s.note(8, 0x16d, 4, 14, 2);
        s.wait(200);
        s.keyOff(7, 0x18c, 3);
        s.keyOff(8, 0x16d, 4);
        s.wait(100);
        s.put(0x0e, 0x20 | drums);
        s.wait(1700);
        s.put(0x0e, 0x00);
        s.wait(1000);
        s.put(0x37, 0x02);
        s.put(0x38, 0x02);
        for (int step = 0; step < 4; ++step) {
            s.put(0x17, 0x30 + step * 9);
            s.put(0x18, 0xe5 - step * 7);
            s.wait(200);
        }
        s.put(0x0e, 0x2a);
        s.wait(2000);
        char name[48];
        std::snprintf(name, sizeof name, "rhythm off under notes, drums %02x", drums);
        EXPECT_EQ(compare(name, s).equalShare, 100.0) << name;
    }
}

// Rhythm mode switched on for a few frames under a first melody note with feedback on channel 7 or
// 8 (the bass drum struck) and off again: the modulators take up the outputs they fed back before,
// the drums' outputs fed back none (with their feedback run on from the drums' outputs, 24.17 % to
// 99.92 % equal).
TEST_F(Ym2413Oracle, RhythmBlippedUnderAFeedbackNote) {
    for (int ch : {7, 8}) {
        for (int frames : {2, 3, 5, 10, 40}) {
            for (int fNumber : {0, 100}) {
                Stream s;
                s.put(0x30 + ch, 0x70);
                s.put(0x10 + ch, fNumber);
                s.put(0x20 + ch, 0x16);
                s.wait(300);
                s.put(0x0e, 0x21);
                s.wait(frames - 2);
                s.put(0x0e, 0x00);
                s.wait(1000);
                char name[64];
                std::snprintf(name, sizeof name, "ch %d, rhythm for %d frames, F-number %d", ch,
                              frames, fNumber);
                EXPECT_EQ(compare(name, s).equalShare, 100.0) << name;
            }
        }
    }
}

TEST_F(Ym2413Oracle, DrumKeyOffAtEveryCounterPhase) {
    static const struct {
        const char* name;
        int bit;
        bool sustainBit;
    } drums[] = {{"hi-hat", 0x01, false},     {"tom-tom", 0x04, false},
                 {"snare drum", 0x08, false}, {"snare drum, SUS", 0x08, true},
                 {"top cymbal", 0x02, false}, {"top cymbal, SUS", 0x02, true}};
    for (const auto& drum : drums) {
        const int sustain = drum.sustainBit ? 0x20 : 0;
        Stream s;
        s.put(0x17, 0x50);
        s.put(0x27, 0x05 | sustain);
        s.put(0x18, 0xc0);
        s.put(0x28, 0x01 | sustain);
        s.put(0x37, 0x31);
        s.put(0x38, 0x24);
        s.put(0x0e, 0x20);
        for (int held = 0; held < 80; held += held < 40 ? 1 : 3) {
            s.put(0x0e, 0x20 | drum.bit);
            s.wait(held * 5);
            s.put(0x0e, 0x20);
            s.wait(700);
        }
        const std::string title = std::string(drum.name) + ", key-off at every phase";
        EXPECT_EQ(compare(title.c_str(), s).equalShare, 100.0) << title;
    }
}

// The hi-hat and the top cymbal struck again while they fade out near silence and keyed off at
// successive frames of the short damping: keyed off in the frame after the damping ends at 124 (the
// attack starting there), a drum keeps 124 for that frame and the next before it goes silent.
TEST_F(Ym2413Oracle, DrumKeyOffAsDampingEnds) {
    for (const auto& [name, bit] : {std::pair{"hi-hat", 0x01}, std::pair{"top cymbal", 0x02}}) {
        Stream s;
        s.put(0x17, 0x50);
        s.put(0x27, 0x05);
        s.put(0x18, 0xc0);
        s.put(0x28, 0x01);
        s.put(0x37, 0x31);
        s.put(0x38, 0x24);
        s.put(0x0e, 0x20);
        for (int fade = 330; fade <= 370; fade += 10) {
            for (int held = 1; held < 16; ++held) {
                s.put(0x0e, 0x20 | bit);
                s.wait(fade);
                s.put(0x0e, 0x20);
                s.wait(20);
                s.put(0x0e, 0x20 | bit);
                s.wait(held);
                s.put(0x0e, 0x20);
                s.wait(300);
            }
        }
        const std::string title = std::string(name) + ", key-off as the damping ends";
        EXPECT_EQ(compare(title.c_str(), s).equalShare, 100.0) << title;
    }
}

// Rhythm mode held on while the drums are struck and released at random moments, each alone and
// all together (a seeded generator's raw output, the same with every standard library).
TEST_F(Ym2413Oracle, RandomDrums) {
    for (unsigned drums : {0x01u, 0x02u, 0x04u, 0x08u, 0x10u, 0x1fu}) {
        std::mt19937 random(2);
        Stream s;
        s.drumSetUp();
        s.put(0x0e, 0x20);
        unsigned keys = 0;
        while (s.length() < 200000) {
            const unsigned drum = random() % 5;
            if (!(drums >> drum & 1)) continue;
            keys ^= 1u << drum;
            s.put(0x0e, static_cast<int>(0x20 | keys));
            s.wait(random() % 4 == 0 ? static_cast<int>(random() % 12)
                                     : static_cast<int>(random() % 800));
        }
        char name[40];
        std::snprintf(name, sizeof name, "random drums %02x", drums);
        expectExact(name, s);
    }
}

// Each drum of channels 7 and 8 keyed off at every frame of its attack, from silence and from the
// end of a damping (re-keyed in its slow release), at moments spread over the envelope counter's
// phases, then at the highest block, where key scaling makes every drum's attack instant. The frame
// after the key-off holds the attack's place and takes no step (stepping there at the release rate,
// the snare drum and the hi-hat came out a step quieter for the rest of the note); an instant
// attack keyed off in its first frame reaches full level and releases from there (the tom-tom
// re-keyed in its release went silent at once instead).
TEST_F(Ym2413Oracle, DrumsKeyedOffInTheirAttack) {
    static const char* const names[] = {"hi-hat", "top cymbal", "tom-tom", "snare drum"};
    for (int drum = 0; drum < 4; ++drum) {
        Stream s;
        s.put(0x37, 0x31);
        s.put(0x38, 0x24);
        for (int blockBits : {0x05, 0x0f}) {
            s.put(0x27, blockBits);
            s.put(0x28, blockBits == 0x05 ? 0x01 : 0x0f);
            for (int hold = 1; hold < 14; ++hold)
                for (int shift = 0; shift < (blockBits == 0x05 ? 32 : 6); ++shift) {
                    s.wait(shift % 7);
                    s.put(0x0e, 0x20 | 1 << drum);
                    s.wait(std::max(0, hold - 2));
                    s.put(0x0e, 0x20);
                    s.wait(400);
                }
        }
        expectExact(std::string(names[drum]) + ", keyed off in the attack", s);
    }
}

// The hi-hat and snare drum while channel 7's F-number and block change under them.
TEST_F(Ym2413Oracle, RhythmPitchChanges) {
    Stream s;
    s.put(0x17, 0x50);
    s.put(0x27, 0x05);
    s.put(0x37, 0x31);
    s.put(0x0e, 0x29);
    s.wait(500);
    s.put(0x17, 0x60);
    s.wait(1000);
    s.put(0x27, 0x07);
    s.wait(1000);
    s.put(0x0e, 0x20);
    s.wait(500);
    const Agreement a = compare("rhythm, pitch changes", s);
    EXPECT_EQ(a.equalShare, 100.0);
}

TEST_F(Ym2413Oracle, SustainAndKeyOffMidNote) {
    Stream s;
    s.note(2, 0x16b, 4, 3, 0, true);
    s.wait(800);
    s.keyOff(2, 0x16b, 4, true);
    s.wait(3000);
    s.note(3, 0xad, 5, 1, 0);
    s.wait(300);
    s.keyOff(3, 0xad, 5);
    s.wait(40);
    s.note(3, 0xad, 5, 1, 0);
    s.wait(120);
    s.note(3, 0xc0, 5, 1, 0); // a new F-number while sounding: no new attack
    s.wait(2000);
    s.keyOff(3, 0xc0, 5);
    s.wait(3000);
    const Agreement a = compare("sustain, key off mid-note", s);
    EXPECT_EQ(a.equalShare, 100.0);
}

// Notes keyed off early, before the envelope has settled: with the bass drum's voice the
// modulator holds the level it had when the key-off came (channels 3-8: the frame before), and
// the carrier takes its release rate in its first release frame. Each channel group, and the bass
// drum itself, keyed off at moments of attack and decay.
TEST_F(Ym2413Oracle, EarlyKeyOff) {
    for (int ch : {0, 4, 6, -1}) {
        for (int held : {5, 20, 37, 38, 39, 70, 71}) {
            Stream s;
            if (ch < 0) {
                s.put(0x16, 0x20);
                s.put(0x26, 0x05);
                s.put(0x36, 0x02);
                s.put(0x0e, 0x20);
                s.put(0x0e, 0x30);
                s.wait(held);
                s.put(0x0e, 0x20);
            } else {
                s.user({0x01, 0x01, 0x18, 0x0f, 0xdf, 0xf8, 0x6a, 0x6d});
                s.note(ch, 0x120, 4, 0, 0);
                s.wait(held);
                s.keyOff(ch, 0x120, 4);
            }
            s.wait(300);
            expectExact((ch < 0 ? std::string("bass drum") : "ch " + std::to_string(ch)) +
                            ", off after " + std::to_string(held),
                        s);
        }
    }
}

// Key-offs at successive moments of a carrier's decay or sustain, for percussive and sustained
// voices with and without the channel's sustain bit, some cut short while damping from the
// previous note: in its first release frame a percussive voice without sustain steps at its
// release rate, one still damping at its release rate too, any other at the rate it had.
TEST_F(Ym2413Oracle, KeyOffRateChange) {
    static const struct {
        bool sustained, sustainBit;
        int decay, sustainRelease;
    } voices[] = {{false, false, 8, 0x12}, {false, false, 4, 0x04}, {false, true, 4, 0x04},
                  {false, true, 4, 0x06},  {true, false, 4, 0x2d},  {true, false, 2, 0x1a}};
    for (const auto& v : voices) {
        Stream s;
        s.user({0x01, static_cast<std::uint8_t>(v.sustained ? 0x21 : 0x01), 0x3f, 0x00, 0x00,
                static_cast<std::uint8_t>(0xf0 | v.decay), 0x00,
                static_cast<std::uint8_t>(v.sustainRelease)});
        for (int held = 100; held < 124; ++held) {
            s.note(5, 0x120, 4, 0, 0, v.sustainBit);
            s.wait(held);
            s.keyOff(5, 0x120, 4, v.sustainBit);
            s.wait(400);
        }
        expectExact(std::string(v.sustained ? "sustained" : "percussive") +
                        (v.sustainBit ? " with SUS" : "") + ", DR " + std::to_string(v.decay) +
                        ", SL " + std::to_string(v.sustainRelease >> 4) + ", RR " +
                        std::to_string(v.sustainRelease & 15),
                    s);
    }
}

// Key-offs at successive moments of a slow attack, some while it still stands at 124: the carrier
// takes no step in the frame of its key-off.
TEST_F(Ym2413Oracle, KeyOffDuringAttack) {
    static const struct {
        int attack, release;
        bool sustained, sustainBit;
        int channel;
    } voices[] = {{5, 7, false, false, 0},
                  {5, 7, true, false, 0},
                  {5, 13, true, false, 0},
                  {6, 7, false, true, 0},
                  {7, 10, true, true, 5}};
    for (const auto& v : voices) {
        Stream s;
        s.user({0x01, static_cast<std::uint8_t>(v.sustained ? 0x21 : 0x01), 0x3f, 0x00, 0x00,
                static_cast<std::uint8_t>(v.attack << 4 | 2), 0x00,
                static_cast<std::uint8_t>(0x20 | v.release)});
        for (int held = 5; held < 60; held += 3) {
            s.note(v.channel, 0x120, 4, 0, 0, v.sustainBit);
            s.wait(held);
            s.keyOff(v.channel, 0x120, 4, v.sustainBit);
            s.wait(300);
        }
        expectExact("key-off in attack, AR " + std::to_string(v.attack) + ", RR " +
                        std::to_string(v.release) + (v.sustained ? ", sustained" : "") +
                        (v.sustainBit ? ", SUS" : ""),
                    s);
    }
}

// A sustained carrier released at rates 0 to 15 and keyed on again after gaps of either parity:
// the damping of a carrier whose attack is not instant steps from the frame after the key-on. The
// later notes are keyed off while still damping from the one before, so the fast releases (13,
// 15) step at their own rate in the key-off's frame (72.07% and 99.90% at the damping's rate).
TEST_F(Ym2413Oracle, ReKeyAfterRelease) {
    for (int release : {0, 8, 13, 15}) {
        Stream s;
        s.user({0x01, 0x21, 0x3f, 0x00, 0x0f, 0xf0, 0x6a, static_cast<std::uint8_t>(release)});
        const int ch = release % 9;
        for (int gap : {20, 21, 40, 43}) {
            s.note(ch, 0x120, 4, 0, 0);
            s.wait(150);
            s.keyOff(ch, 0x120, 4);
            s.wait(gap);
        }
        s.wait(200);
        expectExact("re-key after release " + std::to_string(release), s);
    }
}

// A note keyed off while it damps from the one before, at every frame of the envelope counter's
// patterns, for releases slower and faster than the damping: in the key-off's frame the carrier
// steps at its release rate (at rates 13-15, every third key-off differed with the damping's).
TEST_F(Ym2413Oracle, KeyOffWhileDampingAtEveryCounterPhase) {
    for (int release : {6, 13, 14, 15}) {
        for (int ch : {0, 5}) {
            Stream s;
            s.user({0x01, 0x21, 0x3f, 0x00, 0x0f, 0xf0, 0x6a, static_cast<std::uint8_t>(release)});
            for (int held = 2; held < 34; ++held) {
                s.note(ch, 0x120, 4, 0, 0);
                s.wait(150);
                s.keyOff(ch, 0x120, 4);
                s.wait(20);
                s.note(ch, 0x120, 4, 0, 0);
                s.wait(held);
                s.keyOff(ch, 0x120, 4);
                s.wait(250);
            }
            expectExact("ch " + std::to_string(ch) + ", damping cut, RR " + std::to_string(release),
                        s);
        }
    }
}

// A new instrument while a note sounds, on channels served at each point of the turn: the
// modulators of channels 3-8 take its level and wave a turn early, in the output the carrier
// reads next.
TEST_F(Ym2413Oracle, InstrumentChangeWhileSounding) {
    for (int ch : {0, 4, 5, 8}) {
        for (const auto& change : {std::pair{8, 9}, std::pair{1, 2}}) {
            Stream s;
            s.note(ch, 0x151, 6, change.first, 5);
            s.wait(1500);
            s.put(0x30 + ch, change.second << 4 | 7);
            s.wait(300);
            expectExact("ch " + std::to_string(ch) + ", instrument " +
                            std::to_string(change.first) + " to " + std::to_string(change.second),
                        s);
        }
    }
}

// A note re-keyed while both operators sound, the carrier damping from full level: the
// modulator's damping ends at 124 and its attack starts in that frame, its phase running on,
// before the carrier's attack restarts both. Modulator attack rates fast and slow on channels
// served at different points of the turn. At the slowest the modulator has fallen silent before
// the re-key and attacks from 127 while the carrier still sounds: its phase runs on (channels
// 0-2 restarted it, channels 3-8 took a step too many: 98.09-98.91% equal).
TEST_F(Ym2413Oracle, ReKeyWhileSounding) {
    for (int ch : {0, 3, 5, 7}) {
        for (int attack : {12, 8, 4, 15}) {
            Stream s;
            s.user({0x21, 0x21, 0x10, 0x00, static_cast<std::uint8_t>(attack << 4 | 6), 0xf2, 0xf0,
                    0x03});
            s.note(ch, 0x1ae, 5, 0, 0);
            s.wait(300);
            s.keyOff(ch, 0x1ae, 5);
            s.note(ch, 0x1ae, 5, 0, 0);
            s.wait(400);
            expectExact("ch " + std::to_string(ch) + ", re-keyed, AR " + std::to_string(attack), s);
        }
    }
}

// A note whose carrier attack key scaling makes instant (AR 14 at block 7 with KSR), keyed on
// again while the carrier still stands a few steps from full level: in the key-on's frame the
// carrier steps at its release rate, the damping's from the frame after, and it attacks in the
// frame it reaches 124 as any other carrier does (the damping at once was 79-97% equal). The
// modulator, slow to attack, is keyed off while still at 124: it goes silent a frame later than a
// falling slot.
TEST_F(Ym2413Oracle, ReKeyInstantAttackCarrier) {
    for (int ch : {1, 5}) {
        Stream s;
        s.user({0x8c, 0x56, 0x12, 0x56, 0x52, 0xe1, 0x2f, 0x30});
        for (int gap : {5, 6, 7, 8, 60, 61}) {
            s.note(ch, 0x184, 7, 0, 0);
            s.wait(300);
            s.keyOff(ch, 0x184, 7);
            s.wait(gap);
        }
        s.note(ch, 0x184, 7, 0, 0);
        s.wait(300);
        expectExact("ch " + std::to_string(ch) + ", instant attack re-keyed", s);
    }
}

// A released note still sounding, keyed on again by a write that also changes its F-number's
// top bit or its block: the modulators of channels 3-8 take the new step a turn early there too.
TEST_F(Ym2413Oracle, ReKeyWithNewPitch) {
    for (int ch : {0, 4, 7}) {
        for (int block : {2, 6}) {
            Stream s;
            s.put(0x10 + ch, 0xc1);
            s.put(0x30 + ch, 0xb5);
            s.put(0x20 + ch, 0x14);
            s.wait(1835);
            s.put(0x20 + ch, 0x04);
            s.wait(1061);
            s.put(0x20 + ch, 0x11 | block << 1);
            s.wait(300);
            expectExact("ch " + std::to_string(ch) + ", re-keyed to block " + std::to_string(block),
                        s);
        }
    }
}

// A note keyed on over a sounding one and keyed off again while both operators still damp: the
// release leaves the modulator's phase running.
TEST_F(Ym2413Oracle, KeyOffWhileDamping) {
    for (int ch : {0, 4}) {
        Stream s;
        s.user({0x21, 0x21, 0xd1, 0x56, 0xf2, 0xf4, 0x24, 0x35});
        s.note(ch, 0x0fa, 3, 14, 2);
        s.wait(5205);
        s.keyOff(ch, 0x0fa, 3);
        s.wait(1);
        s.note(ch, 0x1dd, 2, 12, 1);
        s.wait(11);
        s.keyOff(ch, 0x1dd, 2);
        s.wait(300);
        expectExact("ch " + std::to_string(ch) + ", key-off while damping", s);
    }
}

// A note from silence whose modulator attacks at rate 15, with and without feedback, on channels
// served at different points of the turn, keyed on a second time once silent: the carrier's
// attack restarts the modulator's phase, and the modulators of channels 3-8 attack with their
// phase running a turn ahead.
TEST_F(Ym2413Oracle, InstantModulatorFromSilence) {
    for (int ch : {0, 3, 5, 8}) {
        for (int feedback : {0, 7}) {
            Stream s;
            s.user({0x21, 0x21, 0x1c, static_cast<std::uint8_t>(feedback), 0xf2, 0xf4, 0x24, 0x35});
            s.note(ch, 0x172, 1, 0, 0);
            s.wait(300);
            s.keyOff(ch, 0x172, 1);
            s.wait(600);
            s.note(ch, 0x172, 1, 0, 0);
            s.wait(300);
            expectExact("ch " + std::to_string(ch) + ", AR 15 modulator, FB " +
                            std::to_string(feedback),
                        s);
        }
    }
}

// A new instrument six frames into a note, while the carrier attacks: the envelope takes the new
// rates a frame after the write (the modulators of channels 3-8 at once, a turn early).
TEST_F(Ym2413Oracle, InstrumentChangeDuringAttack) {
    for (int ch : {0, 4}) {
        for (const auto& change : {std::pair{11, 4}, std::pair{4, 11}, std::pair{3, 5}}) {
            Stream s;
            s.note(ch, 0x72, 5, change.first, 6, true);
            s.wait(6);
            s.put(0x30 + ch, change.second << 4 | 2);
            s.wait(200);
            expectExact("ch " + std::to_string(ch) + ", attack, instrument " +
                            std::to_string(change.first) + " to " + std::to_string(change.second),
                        s);
        }
    }
}

// The user instrument's multiples, the modulator's level and the feedback and waves rewritten
// while a note plays it on each channel: the change reaches the modulators of channels 0-4 and the
// carriers of channels 2-4 a turn earlier than the rest (measured: one step difference more of
// phase, one output more at the new level), and the output of channels 3 and 4 that the pins carry
// in the write's frame was already made with the modulator's new output (the level change there
// was 99.90% equal without it); that of channel 2 with the carrier's new wave (99.90% without).
TEST_F(Ym2413Oracle, UserInstrumentRewrittenWhileSounding) {
    for (int reg : {0, 1, 2, 3}) {
        for (int ch = 0; ch < 9; ++ch) {
            Stream s;
            s.user({0x21, 0x21, 0x1c, 0x07, 0xf2, 0xf4, 0x24, 0x35});
            s.note(ch, 0x1a2, 3, 0, 0);
            s.wait(300);
            s.keyOff(ch, 0x1a2, 3);
            s.wait(400);
            s.put(reg, reg == 2 ? 0x42 : reg == 3 ? 0x1a : 0x22);
            s.wait(300);
            static const char* const fields[] = {"modulator MULT", "carrier MULT", "modulator TL",
                                                 "FB and waves"};
            expectExact("ch " + std::to_string(ch) + ", user " + fields[reg], s);
        }
    }
}

// The user instrument rewritten with the values it holds, as a driver reloads it before every
// note, while notes of every channel play it with their modulators' envelopes moving: the slots
// go on as they were.
TEST_F(Ym2413Oracle, UserInstrumentRewrittenWithItsOwnValues) {
    static const std::uint8_t patch[8] = {0x13, 0x41, 0x16, 0x0e, 0xfd, 0xf4, 0x23, 0x23};
    Stream s;
    s.user(patch);
    for (int round = 0; round < 6; ++round) {
        for (int ch = 0; ch < 9; ++ch) {
            s.note(ch, 0x120 + 9 * ch, 2 + round % 5, 0, ch % 4);
            s.wait(3 * round);
            s.user(patch);
        }
        s.wait(400 + 50 * round);
        for (int ch = 0; ch < 9; ++ch) {
            s.keyOff(ch, 0x120 + 9 * ch, 2 + round % 5);
            s.user(patch);
        }
        s.wait(200);
    }
    EXPECT_EQ(compare("user instrument rewritten as it is", s).equalShare, 100.0);
}

// The carrier's multiple and tremolo in the user instrument rewritten while a note plays it, at
// moments of the modulator's fast fall after its attack, on each channel: channels 3 and 4 carry
// in the write's frame the output their carrier made with the modulator's output of the turn
// before as it was, not remade at the modulator's new level (97.78 % equal when it was remade).
TEST_F(Ym2413Oracle, UserCarrierRewrittenUnderAFadingModulator) {
    for (int ch = 0; ch < 9; ++ch) {
        for (int data : {0x22, 0x82}) {
            Stream s;
            s.user({0x01, 0x21, 0x00, 0x07, 0xf2, 0xf0, 0x0f, 0x05});
            s.put(0x30 + ch, 0x04);
            s.put(0x10 + ch, 0x00);
            for (int wait = 0; wait < 30; wait += 3) {
                s.put(0x20 + ch, 0x19);
                s.wait(wait);
                s.put(1, data);
                s.wait(20);
                s.put(0x20 + ch, 0x09);
                s.put(1, 0x21);
                s.wait(60);
            }
            char name[64];
            std::snprintf(name, sizeof name, "ch %d, user carrier %02x, fading", ch, data);
            EXPECT_EQ(compare(name, s).equalShare, 100.0) << name;
        }
    }
}

// The user instrument's waves or feedback rewritten in the frames after a sounding note is
// re-keyed, while its modulator and carrier damp, on every channel: the outputs the write reaches
// a turn early are remade at the envelope levels they were made at (at the levels reached since,
// channels 3 and 4 98.84 % / 18.0 dB).
TEST_F(Ym2413Oracle, UserInstrumentRewrittenAsANoteDamps) {
    for (int ch = 0; ch < 9; ++ch) {
        Stream s;
        s.user({0x13, 0x01, 0x00, 0x00, 0xf0, 0x7f, 0x00, 0x00});
        for (int wait = 0; wait < 30; ++wait) {
            s.put(0x03, 0x00);
            s.put(0x20 + ch, 0x35);
            s.wait(200);
            s.put(0x20 + ch, 0x27);
            s.wait(100);
            s.put(0x20 + ch, 0x39);
            s.wait(wait);
            s.put(0x03, wait % 3 == 0 ? 0x10 : wait % 3 == 1 ? 0x08 : 0x07);
            s.wait(100);
        }
        expectExact("ch " + std::to_string(ch) + ", user waves as it damps", s);
    }
}

// The modulator's key scaling switched in the user instrument while a re-keyed note's modulator
// damps (the damping's rate changes with it), at moments through the damping, on every channel:
// the modulators of channels 3 and 4, which take the new rate a turn early, take their last
// damping step again at it (channels 3 and 4 85.44 % / 19.3 dB without).
TEST_F(Ym2413Oracle, UserKeyScaleSwitchedAsAModulatorDamps) {
    for (int ch = 0; ch < 9; ++ch) {
        Stream s;
        s.user({0x01, 0x01, 0x00, 0x00, 0xf2, 0xf4, 0x00, 0x00});
        for (int wait = 0; wait < 30; ++wait) {
            s.put(0x00, wait % 2 ? 0x13 : 0x03);
            s.put(0x20 + ch, 0x15);
            s.wait(400);
            s.put(0x20 + ch, 0x03);
            s.wait(100);
            s.put(0x20 + ch, 0x1c);
            s.wait(wait);
            s.put(0x00, wait % 2 ? 0x03 : 0x13);
            s.wait(100);
        }
        expectExact("ch " + std::to_string(ch) + ", key scale as it damps", s);
    }
}

// The user instrument's multiples, level and rates rewritten in every few frames across the
// vibrato's steps while a note with vibrato plays it on each channel and a ROM voice with vibrato
// sounds on the next: the slots the write reaches early move by the change of their step at the
// vibrato of the frame before (the modulators of channels 3 and 4 of two frames before), a
// vibrato step in the write's frame moving none, and a channel playing a ROM voice takes nothing
// of the write.
TEST_F(Ym2413Oracle, UserInstrumentRewrittenAcrossVibratoSteps) {
    for (int ch = 0; ch < 9; ++ch) {
        Stream s;
        s.user({0x61, 0x61, 0x1e, 0x07, 0xf0, 0xf0, 0x00, 0x00});
        s.note(ch, 0x1ff, 7, 0, 0);
        s.note((ch + 1) % 9, 0x140, 6, 9, 0);
        for (int i = 0; i < 2400; ++i) {
            static const int registers[4] = {0x02, 0x07, 0x00, 0x01};
            static const int values[4] = {0x1e, 0x00, 0x61, 0x61};
            s.put(registers[i % 4], values[i % 4] + (i / 4 % 2));
            s.wait(i % 3);
        }
        expectExact("ch " + std::to_string(ch) + ", user across vibrato steps", s);
    }
}

// The other way round: a carrier re-keyed while it still sounds, its attack rate raised to 15 in
// the user instrument at moments around the end of the damping, on each group of channels: raised
// in the frame after the damping ends, the attack is instant (as a driver's song found it; left a
// plain attack, the note stayed silent: 93.39 % / 12.0 dB on channel 3); raised later, it stays
// where it is (a rate 15 attack takes no step).
TEST_F(Ym2413Oracle, AttackSpedToRate15AsTheDampingEnds) {
    for (int ch : {0, 3, 5, 8}) {
        Stream s;
        s.user({0x00, 0x21, 0x3f, 0x00, 0x00, 0xe2, 0x00, 0x0a});
        s.put(0x10 + ch, 0x43);
        for (int wait = 24; wait < 34; ++wait)
            for (int shift = 0; shift < 3; ++shift) {
                s.wait(shift);
                s.put(0x05, 0xe2);
                s.put(0x20 + ch, 0x18);
                s.wait(4000);
                s.put(0x20 + ch, 0x08);
                s.wait(1200);
                s.put(0x20 + ch, 0x18);
                s.wait(wait);
                s.put(0x05, 0xf2);
                s.wait(100);
                s.put(0x20 + ch, 0x08);
                s.wait(1000);
            }
        expectExact("ch " + std::to_string(ch) + ", attack sped to rate 15", s);
    }
}

// A note keyed on while its modulator is silent and its carrier still releases, the user
// modulator's multiple (with its LFOs) rewritten in the frame after the carrier's attack started:
// the modulator keeps its phase running until the carrier's attack restarts it, and the modulators
// of channels 3 and 4, which take a user write a turn early twice over, take that restart after
// the write, so the new step moves them once (moved twice, 95.44 % equal, 14.6 dB).
TEST_F(Ym2413Oracle, UserMultipleRewrittenAsTheCarrierRestartsItsModulator) {
    for (int ch : {3, 4}) {
        Stream s;
        s.wait(1109);
        s.put(0x07, 0x61);
        s.wait(271);
        s.put(0x20 + ch, 0x19);
        s.wait(3);
        s.put(0x05, 0x99);
        s.wait(2284);
        s.put(0x10 + ch, 0x9d);
        s.wait(2);
        s.put(0x20 + ch, 0x14);
        s.wait(392);
        s.put(0x07, 0x7b);
        s.wait(427);
        s.put(0x20 + ch, 0x04);
        s.wait(426);
        s.put(0x04, 0xb0);
        s.wait(289);
        s.put(0x20 + ch, 0x14);
        s.wait(1);
        s.put(0x00, 0xf5);
        s.wait(300);
        expectExact("ch " + std::to_string(ch) + ", multiple rewritten as the carrier attacks", s);
    }
}

// A note re-keyed while its modulator (attack rate 15, key scaling on) releases, the user
// modulator's key-scale rate switched off at moments around the end of the modulator's damping:
// the modulators of channels 3 and 4 take a user write a frame early, so one whose damping ended
// in the frame before the write damps on at the slower rate from where it was and attacks later.
TEST_F(Ym2413Oracle, UserKeyScaleSwitchedAsAModulatorsDampingEnds) {
    for (int ch : {3, 4}) {
        for (int fNumber : {0x000, 0x0c1}) {
            for (int held = 1; held < 10; ++held) {
                Stream s;
                s.user({0x35, 0x00, 0x00, 0x00, 0xff, 0xc5, 0xe3, 0x00});
                s.note(ch, fNumber, 7, 0, 0);
                s.wait(300);
                s.keyOff(ch, fNumber, 7);
                s.wait(300);
                s.note(ch, fNumber, 7, 0, 0);
                s.wait(held);
                s.put(0x00, 0x25);
                s.wait(60);
                expectExact("ch " + std::to_string(ch) + ", F-number " + std::to_string(fNumber) +
                                ", key scaling off " + std::to_string(held) +
                                " frames after the key-on",
                            s);
            }
        }
    }
}

// The same the other way: a note re-keyed under a sounding modulator (attack rate 6, key scaling
// off), the user modulator's key-scale rate switched on in the frames around the end of its
// damping: the modulators of channels 3 and 4 take the write a frame early, so one that wrote in
// the frame its damping reaches 124 takes that step again at the faster rate, passes 124 and
// attacks from the level it reaches (taken at 124, 89.28 % of frames equal, 33.2 dB), and one
// whose damping the faster step taken again ends keeps its phase running under its sounding
// carrier, as a damping that ends in its own step does (restarted, 83.50 % equal, 7.9 dB).
TEST_F(Ym2413Oracle, UserKeyScaleSwitchedOnAsAModulatorsDampingEnds) {
    for (int ch : {3, 4}) {
        for (int held = 108; held < 117; ++held) {
            Stream s;
            s.user({0x0e, 0x21, 0x00, 0x00, 0x6f, 0xf0, 0x01, 0x0f});
            s.note(ch, 0x1e7, 6, 0, 0);
            s.wait(300);
            s.keyOff(ch, 0x1e7, 6);
            s.wait(50);
            s.note(ch, 0x1e7, 6, 0, 0);
            s.wait(held);
            s.put(0x00, 0x1e);
            s.wait(100);
            expectExact("ch " + std::to_string(ch) + ", key scaling on " +
                            std::to_string(held + 2) + " frames after the key-on",
                        s);
        }
    }
}

// A note keyed on under a silent modulator, the user modulator's key-scale rate switched off nine
// frames later, in the frame after the modulator's attack took its first step: the modulators of
// channels 3 and 4 take a user write a frame early, so that step, taken again at the slower rate,
// is none, and the output the carrier takes next, made in that frame, is silence (made at the
// level of the step the write undid, a frame differs).
TEST_F(Ym2413Oracle, UserKeyScaleSwitchedAsAModulatorsAttackSteps) {
    for (int ch : {3, 4}) {
        const struct {
            int frame, address, data;
        } writes[] = {{2592, 0x00, 0x1f},      {2828, 0x05, 0xdb},      {3194, 0x04, 0x6f},
                      {5135, 0x10 + ch, 0x89}, {5139, 0x20 + ch, 0x18}, {5148, 0x00, 0x20}};
        Stream s;
        for (const auto& w : writes) {
            s.wait(w.frame - s.length());
            s.put(w.address, w.data);
        }
        s.wait(214);
        expectExact("ch " + std::to_string(ch) + ", key scaling off as the attack steps", s);
    }
}

// A note re-keyed while its modulator holds a sustain level, the user modulator's attack rate
// raised to 15 (with key scaling) at moments around the end of the modulator's damping: the
// modulators of channels 3 and 4 take a user write a frame early, so one whose attack started two
// frames before the write takes the new rate in the frame that decides whether the attack is
// instant, and it is (without it, the streams where the write meets that frame came out 99.28 %
// equal, 37.7 dB).
TEST_F(Ym2413Oracle, UserAttackRaisedTo15AsAModulatorsAttackStarts) {
    for (int ch : {3, 4}) {
        for (int held = 56; held < 59; ++held) {
            Stream s;
            s.user({0x31, 0x01, 0x00, 0x00, 0xa5, 0xf0, 0x3f, 0x0f});
            s.note(ch, 0x1ff, 7, 0, 0);
            s.wait(300);
            s.keyOff(ch, 0x1ff, 7);
            s.wait(100);
            s.note(ch, 0x1ff, 7, 0, 0);
            s.wait(held);
            s.put(0x04, 0xd1);
            s.wait(100);
            s.put(0x04, 0xa5);
            s.wait(100);
            expectExact("ch " + std::to_string(ch) + ", attack raised to 15 after " +
                            std::to_string(held),
                        s);
        }
    }
}

// The same the other way: a note re-keyed while its modulator (attack rate 15 with key scaling)
// still sounds, the user modulator's attack rate slowed nine frames after the key-on, two frames
// after the modulator's attack started: the attack is not instant (with the instant attack kept,
// 97.09 % of frames equal, -2.0 dB against a signal near silence).
TEST_F(Ym2413Oracle, UserAttackSlowedFrom15AsAModulatorsAttackStarts) {
    for (int ch : {3, 4}) {
        const struct {
            int frame, address, data;
        } writes[] = {{585, 0x04, 0xea},       {712, 0x06, 0xed},  {851, 0x20 + ch, 0x1e},
                      {854, 0x05, 0x33},       {1017, 0x00, 0x3f}, {1189, 0x20 + ch, 0x0e},
                      {1402, 0x20 + ch, 0x19}, {1411, 0x04, 0x4f}};
        Stream s;
        for (const auto& w : writes) {
            s.wait(w.frame - s.length());
            s.put(w.address, w.data);
        }
        s.wait(200);
        expectExact("ch " + std::to_string(ch) + ", attack slowed from 15", s);
    }
}

// A carrier with an instant attack (by its key scaling) re-keyed while it still sounds, its key
// scaling switched off in the user instrument at moments around the end of the damping, on every
// channel: the attack rate of the frame after the damping ends decides whether the attack is
// instant (the carriers of channels 2-4 take the write a turn early, the others a frame late).
TEST_F(Ym2413Oracle, InstantAttackSlowedAsTheDampingEnds) {
    for (int ch = 0; ch < 9; ++ch) {
        Stream s;
        s.user({0x00, 0x11, 0x3f, 0x00, 0x00, 0xe2, 0x00, 0x87});
        s.put(0x10 + ch, 0x43);
        for (int wait = 18; wait < 32; ++wait) {
            s.put(0x01, 0x11);
            s.put(0x20 + ch, 0x18);
            s.wait(4000);
            s.put(0x20 + ch, 0x08);
            s.wait(3000);
            s.put(0x20 + ch, 0x18);
            s.wait(wait);
            s.put(0x01, 0x01);
            s.wait(100);
        }
        expectExact("ch " + std::to_string(ch) + ", instant attack slowed", s);
    }
}

// The user instrument's tremolo switched on and off on the modulator and the carrier every few
// frames across the tremolo's steps while a note plays it, on every channel: the outputs the
// write reaches early are remade with the tremolo of the frame the slot takes the write in (the
// frame before, for the modulators of channels 3 and 4 the one before that), as their step with
// the vibrato (with this frame's tremolo, channels 2-4 99.98 % / 75.1 dB).
TEST_F(Ym2413Oracle, UserTremoloSwitchedAcrossItsSteps) {
    for (int ch = 0; ch < 9; ++ch) {
        Stream s;
        s.user({0x00, 0x01, 0x00, 0x00, 0xf3, 0x7f, 0x00, 0x00});
        s.put(0x10 + ch, 0x40);
        s.put(0x20 + ch, 0x37);
        s.wait(500);
        for (int i = 0; i < 4000; ++i) {
            s.put(i / 2 % 2, (i & 1 ? 0x00 : 0x80) | i / 2 % 2);
            s.wait(i % 3);
        }
        expectExact("ch " + std::to_string(ch) + ", user tremolo across its steps", s);
    }
}

TEST_F(Ym2413Oracle, UserReleaseRateRewrittenWhileReleasing) {
    for (int ch = 0; ch < 9; ++ch) {
        for (int wait : {20, 21, 22, 23}) {
            Stream s;
            s.user({0x21, 0x21, 0x0c, 0x07, 0xf2, 0xf4, 0x24, 0x3c});
            s.note(ch, 0x098, 3, 0, 0);
            s.wait(200);
            s.keyOff(ch, 0x098, 3);
            s.wait(wait);
            s.put(7, 0x3e);
            s.wait(300);
            expectExact("ch " + std::to_string(ch) + ", user carrier RR, " + std::to_string(wait),
                        s);
        }
    }
}

TEST_F(Ym2413Oracle, EnvelopeExtremes) {
    Stream s;
    s.user({0x01, 0x01, 0x3f, 0x00, 0xff, 0xff, 0x0f, 0x0f}); // fastest rates
    s.note(0, 0x100, 4, 0, 0);
    s.wait(200);
    s.keyOff(0, 0x100, 4);
    s.wait(200);
    s.user({0x01, 0x21, 0x3f, 0x00, 0x11, 0x11, 0xf1, 0x01}); // slowest rates
    s.note(0, 0x100, 4, 0, 0);
    s.wait(9000);
    s.keyOff(0, 0x100, 4);
    s.wait(2000);
    s.user({0x01, 0x31, 0x3f, 0x00, 0xd8, 0xd8, 0xf7, 0x77}); // key scaling at high block
    s.note(0, 0x1c0, 7, 0, 0);
    s.wait(3000);
    s.keyOff(0, 0x1c0, 7);
    s.wait(2000);
    EXPECT_EQ(compare("envelope extremes", s).equalShare, 100.0);
}

TEST_F(Ym2413Oracle, AllChannelsWithVibratoAndTremolo) {
    Stream s;
    s.user({0xe1, 0xc1, 0x1a, 0x03, 0xf3, 0xf3, 0x13, 0x13});
    for (int ch = 0; ch < 9; ++ch)
        s.note(ch, 0x90 + ch * 37, 3 + ch % 3, (ch * 5) % 16, ch % 4);
    s.wait(12000);
    const Agreement a = compare("nine channels, LFOs", s);
    EXPECT_EQ(a.equalShare, 100.0);
}

// The user instrument's modulator attack rate rewritten while the modulator attacks, on each
// channel, across the bands where the attack steps in windows (below rate 40), in every window
// frame (40-47) and several times a frame (48-59), at moments either side of a step: the
// modulators of channels 0-2 take the new rate in the write's frame, those of channels 3 and 4 in
// the frame before, a turn early as the rest of the write (a frame later: 77.68-98.90 % equal).
TEST_F(Ym2413Oracle, UserModulatorAttackRewrittenWhileAttacking) {
    for (int ch = 0; ch < 9; ++ch) {
        for (const auto& rates : {std::pair{0, 10}, std::pair{10, 0}, std::pair{10, 12},
                                  std::pair{5, 13}, std::pair{11, 15}}) {
            Stream s;
            s.user({0x21, 0x21, 0x1c, 0x07, static_cast<std::uint8_t>(rates.first << 4 | 2), 0xf4,
                    0x24, 0x35});
            for (int t : {20, 27, 30}) {
                s.note(ch, 0x120, 4, 0, 0);
                s.wait(t);
                s.put(4, rates.second << 4 | 2);
                s.wait(200);
                s.keyOff(ch, 0x120, 4);
                s.put(4, rates.first << 4 | 2);
                s.wait(300);
            }
            expectExact("ch " + std::to_string(ch) + ", user modulator AR " +
                            std::to_string(rates.first) + " to " + std::to_string(rates.second),
                        s);
        }
    }
}

// Vibrato at the low blocks, where the half step an odd vibrato offset adds to the F-number falls
// below the phase accumulator: the chip drops it before the multiple applies (with the multiple
// applied first, a note at block 0 with multiple 9 was 81.43 % equal).
TEST_F(Ym2413Oracle, VibratoAtLowBlocks) {
    for (int mult : {1, 3, 9, 15}) {
        Stream s;
        s.user({static_cast<std::uint8_t>(0x60 | mult), static_cast<std::uint8_t>(0x60 | mult),
                0x1c, 0x07, 0xf2, 0xf4, 0x04, 0x05});
        s.note(1, 0xd0, 0, 0, 0);
        s.note(4, 0x1c7, 1, 0, 0);
        s.note(7, 0x0e5, 0, 0, 0);
        s.wait(9000);
        expectExact("vibrato at blocks 0-1, MULT " + std::to_string(mult), s);
    }
}

// A note keyed on while its modulator holds full level from the note before (a melody modulator
// holds in its release), keyed off at moments around the end of the modulator's damping, the
// carrier sounding from the key-on: a modulator of channels 0-2 whose instant attack starts in the
// frame before the key-off reaches full level in the key-off's frame all the same and holds it
// (with the attack cut short at the key-off, 96.37 % / 9.0 dB); one of channels 3-8 stays silent,
// from the key-off's frame. The carrier fades at once in the first voice and holds full level in
// the others, whose modulator feeds back at the most, so that each of the modulator's outputs
// shows (with full level reached a frame after the key-off instead, channel 0: 99.43 % / 27.9 dB;
// with 124 kept through the key-off's frame on channels 3-8, one frame differs: 66.8 dB). The
// third voice's attack is not instant.
TEST_F(Ym2413Oracle, ModulatorKeyedOffAsItsInstantAttackStarts) {
    static const std::uint8_t voices[3][8] = {{0x11, 0x01, 0x10, 0x00, 0xf0, 0xf0, 0x00, 0x0f},
                                              {0x11, 0x21, 0x10, 0x07, 0xf0, 0xf0, 0x00, 0x0f},
                                              {0x11, 0x21, 0x10, 0x07, 0x90, 0xf0, 0x00, 0x0f}};
    for (int ch : {0, 2, 4, 6}) {
        for (int voice : {0, 1, 2}) {
            Stream s;
            s.user(voices[voice]);
            for (int held = 57; held < 65; ++held) {
                s.note(ch, 0x120, 6, 0, 0);
                s.wait(200);
                s.keyOff(ch, 0x120, 6);
                s.wait(100);
                s.note(ch, 0x120, 6, 0, 0);
                s.wait(held);
                s.keyOff(ch, 0x120, 6);
                s.wait(300);
            }
            expectExact("ch " + std::to_string(ch) + ", voice " + std::to_string(voice) +
                            ", keyed off as the attack starts",
                        s);
        }
    }
}

// A note re-keyed while it sounds, keyed off at moments around the end of its carrier's damping,
// then struck again from silence: the new note's first frame takes the output of the modulator
// (held at full level since), made from the phase it has run with since the damping. A key-off in
// the frame the carrier's damping ends leaves the modulator's phase running, as one that cuts the
// damping short does (restarted by the attack that starts there, one frame of the next note
// differs, 38.7 dB).
TEST_F(Ym2413Oracle, CarrierDampingEndsAsTheKeyGoesOff) {
    for (int ch : {0, 2, 4, 6}) {
        Stream s;
        s.user({0x01, 0x31, 0x00, 0x00, 0xf0, 0xf0, 0x00, 0x01});
        for (int held = 56; held < 69; ++held) {
            s.note(ch, 0x120, 7, 0, 0);
            s.wait(200);
            s.keyOff(ch, 0x120, 7);
            s.wait(20);
            s.note(ch, 0x120, 7, 0, 0);
            s.wait(held);
            s.keyOff(ch, 0x120, 7);
            s.wait(300);
            s.note(ch, 0x120, 7, 0, 0);
            s.wait(30);
            s.keyOff(ch, 0x120, 7);
            s.wait(300);
        }
        expectExact("ch " + std::to_string(ch) + ", keyed off as the damping ends", s);
    }
}

// The top cymbal re-keyed while it sounds, rhythm mode switched off at moments around the end of
// its damping and on again with the hi-hat keyed, which takes its phase from the cymbal's bits
// (each round from the same point of the envelope counter's cycle). Its damping ending in the
// frame of the switch, the cymbal keeps its phase running (restarted there, 98.00 % / 16.0 dB).
TEST_F(Ym2413Oracle, RhythmSwitchedOffAsACymbalsDampingEnds) {
    Stream s;
    s.put(0x16, 0x20);
    s.put(0x26, 0x05);
    s.put(0x17, 0x50);
    s.put(0x27, 0x0e);
    s.put(0x18, 0xc0);
    s.put(0x28, 0x0e);
    s.put(0x36, 0x02);
    s.put(0x37, 0x31);
    s.put(0x38, 0x24);
    for (int held = 274; held < 283; ++held) {
        s.wait((2048 - s.length() % 2048) % 2048);
        s.put(0x0e, 0x22);
        s.wait(100);
        s.put(0x0e, 0x20);
        s.put(0x0e, 0x22);
        s.wait(held);
        s.put(0x0e, 0x00);
        s.wait(100);
        s.put(0x0e, 0x21);
        s.wait(300);
        s.put(0x0e, 0x20);
        s.wait(300);
    }
    expectExact("rhythm off as the cymbal's damping ends", s);
}

// The modulator's sustain level raised at moments around its decay's reaching the old level's band
// (each note from the same point of the envelope counter's cycle, the modulator from the level it
// held since the note before). The decay ends by a comparison in the frame after the step that
// reaches the band, with that frame's sustain level: the modulators of channels 3 and 4 take the
// write a turn early, so one whose band was reached two frames before the write decays on to the
// new band (ending there at the old one, channels 3 and 4: 91.97 % / 0.0 dB).
TEST_F(Ym2413Oracle, SustainLevelRaisedAsTheDecayReachesItsBand) {
    for (int ch : {0, 3, 4}) {
        Stream s;
        s.user({0x31, 0x21, 0x00, 0x00, 0xfc, 0xf0, 0x3f, 0x0f});
        for (int wait = 50; wait < 61; ++wait) {
            s.wait((2048 - s.length() % 2048) % 2048);
            s.put(0x06, 0x3f);
            s.note(ch, 0x120, 5, 0, 0);
            s.wait(wait);
            s.put(0x06, 0x7f);
            s.wait(200);
            s.keyOff(ch, 0x120, 5);
            s.wait(300);
        }
        expectExact("ch " + std::to_string(ch) + ", sustain level raised as the band is reached",
                    s);
    }
}

// A new instrument while the carrier decays above the new sustain level's band and reaches the
// band with the write (synthesizer bass to vibraphone, a decay step due in the write's frame, at
// moments around it): the sustain level changes with the rates, a frame late, so the carrier
// takes the decay's step first (with the new sustain level at once, 94.98-99.23 % equal).
TEST_F(Ym2413Oracle, SustainLevelChangesWithTheRates) {
    for (int ch : {0, 4, 6}) {
        Stream s;
        for (int held = 555; held < 563; ++held) {
            // The note from the same point of the envelope counter's 4,096-frame turn each time.
            s.wait((3053 - s.length() % 4096 + 4096) % 4096);
            s.note(ch, 0x0ab, 7, 13, 3);
            s.wait(held - 2);
            s.put(0x30 + ch, 0xc8);
            s.wait(100);
            s.keyOff(ch, 0x0ab, 7);
            s.wait(400);
        }
        expectExact("ch " + std::to_string(ch) + ", sustain level changed", s);
    }
}

// The carrier's sustain level lowered in the user instrument as a fast decay reaches the old
// level's band, at moments around it, on every channel: the decay reaches its sustain level by
// the comparison of the frame after its step, with the sustain level of that frame, which the
// carriers of channels 2-4 see a turn early; one that finds the band passed decays on.
TEST_F(Ym2413Oracle, SustainLevelLoweredAsTheDecayArrives) {
    for (int ch = 0; ch < 9; ++ch) {
        Stream s;
        s.user({0x01, 0x21, 0x3f, 0x00, 0x00, 0xff, 0x00, 0x2f});
        for (int wait = 0; wait < 24; ++wait) {
            s.put(0x07, 0x2f);
            s.note(ch, 0x0c0, 4, 0, 0);
            s.wait(wait);
            s.put(0x07, 0x1f);
            s.wait(60);
            s.keyOff(ch, 0x0c0, 4);
            s.wait(60);
        }
        expectExact("ch " + std::to_string(ch) + ", sustain level lowered", s);
    }
}

// A slow decay met by a new sustain level: the modulator decays from full level in the band 0
// when its sustain level is lowered to 0 (with a fast release, which then applies) in the user
// instrument or by switching the channel from a ROM voice to the user one. The decay ends by the
// comparison of the write's frame (of the frame before for the modulators of channels 3 and 4
// and a user write), its sustain's rate applying from the frame after.
TEST_F(Ym2413Oracle, DecayMetByANewSustainLevel) {
    for (int ch : {0, 2, 3, 4, 5, 8}) {
        Stream s;
        s.user({0x13, 0x01, 0x99, 0x00, 0xf2, 0xc4, 0x11, 0x23});
        for (int held : {100, 3001, 6409}) {
            s.note(ch, 0x080, 1, 0, 7);
            s.wait(held);
            s.put(0x06, 0x0f);
            s.wait(300);
            s.keyOff(ch, 0x080, 1);
            s.wait(200);
            s.put(0x06, 0x11);
            s.note(ch, 0x080, 1, 3, 7);
            s.wait(held);
            s.put(0x06, 0x0e);
            s.put(0x30 + ch, 0x07);
            s.wait(300);
            s.keyOff(ch, 0x080, 1);
            s.wait(200);
            s.put(0x06, 0x11);
        }
        expectExact("ch " + std::to_string(ch) + ", decay met by a sustain level", s);
    }
}

// A held note whose user modulator (percussive) has just decayed into its sustain level's band,
// the sustain level rewritten in the frame after: the modulators of channels 3 and 4 take a user
// write a frame early, so they compare with the new sustain level there and decay on (with the
// sustain kept, 97.47 % of frames equal, 5.6 dB).
TEST_F(Ym2413Oracle, UserSustainLevelRewrittenAsTheDecayArrives) {
    for (int ch : {3, 4}) {
        const struct {
            int frame, address, data;
        } writes[] = {{2480, 0x06, 0x23}, {4141, 0x20 + ch, 0x17}, {5479, 0x05, 0x98},
                      {5595, 0x04, 0xc3}, {5771, 0x06, 0x16},      {5971, 0x00, 0x50},
                      {5989, 0x04, 0x76}, {6044, 0x04, 0x6b},      {6060, 0x06, 0x8d}};
        Stream s;
        for (const auto& w : writes) {
            s.wait(w.frame - s.length());
            s.put(w.address, w.data);
        }
        s.wait(262);
        expectExact("ch " + std::to_string(ch) + ", sustain level rewritten as the decay arrives",
                    s);
    }
}

// Modulators with tremolo sounding on channels 3-8 while another channel's registers are written
// in every other frame, across the tremolo's steps: a write leaves their last output as it was,
// made with the tremolo of the frame before (remade with this frame's, 15.76 % / -1.3 dB).
TEST_F(Ym2413Oracle, WritesElsewhereUnderTremoloModulators) {
    Stream s;
    s.user({0xec, 0x00, 0x00, 0x07, 0xf2, 0xf4, 0x00, 0x00});
    for (int ch : {3, 5, 8})
        s.note(ch, 0x100, 7, 0, 0);
    for (int offset : {0, 1}) {
        s.wait(offset);
        for (int i = 0; i < 800; ++i)
            s.put(0x10, i & 0xff);
    }
    EXPECT_EQ(compare("writes under tremolo modulators", s).equalShare, 100.0);
}

// A tour of the melody voices: every instrument, the user one among them, in turn on every
// channel (the channels play different ones at once), with volumes, F-numbers, blocks, instruments
// and the sustain bit changed during notes, key-offs mid-note and re-keys while notes release, at
// moments spread over the envelopes. The variant rotates the instruments over the channels.
Stream melodyTour(int variant) {
    static const int scale[12] = {172, 181, 192, 204, 216, 229, 242, 257, 272, 288, 305, 323};
    Stream s;
    s.user({0x33, 0x61, 0x45, 0x1d, 0xb5, 0x83, 0x27, 0x46});
    int fNumbers[9] = {}, blocks[9] = {}, instruments[9] = {}, volumes[9] = {};
    bool sustain[9] = {}, keys[9] = {};
    auto keyBlock = [&](int ch) {
        return (sustain[ch] ? 0x20 : 0) | (keys[ch] ? 0x10 : 0) | blocks[ch] << 1 |
               fNumbers[ch] >> 8;
    };
    for (int round = 0; round < 16; ++round) {
        for (int ch = 0; ch < 9; ++ch) {
            instruments[ch] = (round + ch * (variant + 1)) % 16;
            fNumbers[ch] = scale[(round * 5 + ch * 7) % 12];
            blocks[ch] = 2 + (round + ch) % 5;
            volumes[ch] = (round * 3 + ch) % 16;
            sustain[ch] = (round + ch) % 3 == 0;
            keys[ch] = true;
            s.put(0x10 + ch, fNumbers[ch] & 0xff);
            s.put(0x30 + ch, instruments[ch] << 4 | volumes[ch]);
            s.put(0x20 + ch, keyBlock(ch));
        }
        for (int step = 0; step < 24; ++step) {
            const int ch = (step * 4 + round) % 9;
            switch ((step + round) % 8) {
            case 0: // a volume
                volumes[ch] = (volumes[ch] + 5) % 16;
                s.put(0x30 + ch, instruments[ch] << 4 | volumes[ch]);
                break;
            case 1: // a pitch bend
                fNumbers[ch] = std::min(0x1ff, fNumbers[ch] + 9);
                s.put(0x10 + ch, fNumbers[ch] & 0xff);
                s.put(0x20 + ch, keyBlock(ch));
                break;
            case 2: // the sustain bit
                sustain[ch] = !sustain[ch];
                s.put(0x20 + ch, keyBlock(ch));
                break;
            case 3: // a key-off mid-note
                keys[ch] = false;
                s.put(0x20 + ch, keyBlock(ch));
                break;
            case 4: // a key-on (a re-key while releasing)
                keys[ch] = true;
                s.put(0x20 + ch, keyBlock(ch));
                break;
            case 5: // a block
                blocks[ch] = 1 + (blocks[ch] + 2) % 7;
                s.put(0x20 + ch, keyBlock(ch));
                break;
            case 6: // a new note: key-off and key-on a few frames apart
                keys[ch] = false;
                s.put(0x20 + ch, keyBlock(ch));
                s.wait((round + step) % 5);
                keys[ch] = true;
                s.put(0x20 + ch, keyBlock(ch));
                break;
            default: // an instrument
                instruments[ch] = (instruments[ch] + 7) % 16;
                s.put(0x30 + ch, instruments[ch] << 4 | volumes[ch]);
            }
            s.wait(17 + (step * 37 + round * 101) % 400);
        }
        for (int ch = 0; ch < 9; ++ch) {
            keys[ch] = false;
            s.put(0x20 + ch, keyBlock(ch));
            s.wait(3 + ch * 11);
        }
        s.wait(100 + round * 61);
    }
    return s;
}

// A tour of the rhythm section under melody notes on channels 0-5: every drum struck, alone and
// with others, and released at every moment of its envelope (held for no frame to 609, off for
// no frame to 500), the drums' volumes and their channels' F-numbers, blocks and sustain bits
// changed while they sound, and the melody notes re-struck with new instruments. Then rhythm mode
// switched off and on again under notes of channels 6-8, struck as melody notes and keyed off (or,
// with keyedThrough, still keyed) when the drums come back.
Stream rhythmTour(int variant, bool keyedThrough) {
    Stream s;
    s.user({0x61, 0x61, 0x1e, 0x17, 0xf0, 0x7f, 0x00, 0x17});
    s.drumSetUp();
    s.put(0x0e, 0x20);
    for (int ch = 0; ch < 6; ++ch)
        s.note(ch, 0x120 + ch * 17, 3 + ch % 3, (ch * 3 + variant) % 16, 4, ch == 2);
    int drums = 0;
    int i = 0;
    for (int on : {0, 1, 2, 4, 7, 12, 20, 33, 54, 88, 143, 232, 376, 609}) {
        for (int off : {0, 1, 2, 5, 11, 39, 150, 500}) {
            ++i;
            const int drum = (i * 3 + variant) % 5;
            drums |= 1 << drum;
            if (i % 3 == 0) drums |= 1 << (i * 7 + 1) % 5;
            s.put(0x0e, 0x20 | drums);
            s.wait(on);
            if (i % 4 == 0) s.put(0x36 + i % 3, (i * 37) & 0xff);
            if (i % 5 == 0) s.put(0x16 + i % 3, (i * 53) & 0xff);
            if (i % 7 == 0)
                s.put(0x26 + i % 3, (i % 2 ? 0x20 : 0) | ((i / 7) % 4 + 1) << 1 | (i & 1));
            if (i % 6 == 0) s.put(0x30 + i % 6, ((i / 6) % 16) << 4 | i % 9);
            if (i % 9 == 0) {
                const int ch = (i / 9) % 6;
                s.keyOff(ch, 0x120 + ch * 17, 3 + ch % 3, ch == 2);
                s.wait(i % 13);
                s.note(ch, 0x120 + ch * 17 + i, 3 + ch % 3, (i / 9) % 16, i % 8, i % 2);
            }
            drums &= ~(1 << drum);
            if (i % 2) drums = 0;
            s.put(0x0e, 0x20 | drums);
            s.wait(off);
        }
    }
    for (int round = 0; round < 6; ++round) {
        s.put(0x0e, 0x00);
        for (int ch = 6; ch < 9; ++ch)
            s.note(ch, 0x150 + round * 23 + ch * 11, 2 + (round + ch) % 5, (round * 5 + ch) % 16,
                   round + ch - 6, (round + ch) % 2);
        s.wait(200 + round * 137);
        if (!keyedThrough || round % 2)
            for (int ch = 6; ch < 9; ++ch)
                s.keyOff(ch, 0x150 + round * 23 + ch * 11, 2 + (round + ch) % 5, (round + ch) % 2);
        s.wait(round * 31);
        s.put(0x0e, 0x20 | (0x1f >> (round % 3)));
        s.wait(300 + round * 71);
        s.put(0x0e, 0x20);
        s.wait(100 + round * 13);
    }
    s.put(0x0e, 0x3f);
    s.wait(500);
    s.put(0x0e, 0x20);
    s.wait(2000);
    return s;
}

// The tours above, two variants each (and a third of the melody tour, which meets a modulator with
// feedback keyed off as its instant attack starts), the rhythm tour also with notes of channels 6-8
// still keyed as rhythm mode comes back.
TEST_F(Ym2413Oracle, FeatureTours) {
    for (int variant : {0, 1, 2})
        expectExact("melody tour " + std::to_string(variant), melodyTour(variant));
    for (int variant : {0, 2}) {
        expectExact("rhythm tour " + std::to_string(variant), rhythmTour(variant, false));
        expectExact("rhythm tour " + std::to_string(variant) + ", keyed through",
                    rhythmTour(variant, true));
    }
}

// Random songs, ten seconds each: the melody channels alone, with writes to the user
// instrument, with the drums, and with everything (three of them). They hold the model to what
// the chip does with streams nobody wrote by hand.
TEST_F(Ym2413Oracle, RandomSongs) {
    static const struct {
        std::uint32_t seed;
        bool rhythm, userWrites;
        double equal, signalToError;
    } songs[] = {
        {11, false, false, 100.0, 0}, {12, false, true, 100.0, 0}, {13, true, false, 100.0, 0},
        {14, true, true, 100.0, 0},   {23, true, true, 100.0, 0},  {25, true, false, 100.0, 0},
        {35, false, true, 100.0, 0},  {47, false, true, 100.0, 0}, {83, false, true, 100.0, 0},
        {89, false, true, 100.0, 0},  {66, true, false, 100.0, 0}, {42, true, false, 100.0, 0},
        {48, true, false, 100.0, 0},  {68, true, true, 100.0, 0},  {72, true, false, 100.0, 0},
        {77, false, true, 100.0, 0},  {43, false, true, 100.0, 0}, {127, true, true, 100.0, 0},
        {170, false, true, 100.0, 0}, {323, true, true, 100.0, 0}, {567, true, true, 100.0, 0}};
    for (const auto& song : songs) {
        const std::string name = "random song " + std::to_string(song.seed);
        const Agreement a =
            compare(name.c_str(), randomSong(song.seed, 10, song.rhythm, song.userWrites));
        EXPECT_GE(a.equalShare, song.equal) << name;
        EXPECT_GE(a.signalToError, song.signalToError) << name;
    }
}

// Songs as drivers write them (see driverSong), forty seconds each: five of melody alone, the
// user instrument reloaded between notes under other notes playing it, and three with the drums.
TEST_F(Ym2413Oracle, DriverSongs) {
    for (std::uint32_t seed : {1u, 2u, 3u, 4u, 7u, 25u, 31u, 80u}) {
        const bool rhythm = seed % 2 == 0;
        const std::string name =
            "driver song " + std::to_string(seed) + (rhythm ? ", drums" : ", melody");
        EXPECT_EQ(compare(name.c_str(), driverSong(seed, 40, rhythm)).equalShare, 100.0) << name;
    }
}

// The melody voices of the instrument ROM against the ones the die-shot emulator holds, field
// by field (it keeps the rhythm voices in a layout of its own; they are compared by sound).
TEST_F(Ym2413Oracle, InstrumentRomMatches) {
#ifdef TONRIG_YM2413_ORACLE
    static opll_t chip;
    OPLL_Reset(&chip, opll_type_ym2413);
    for (int voice = 1; voice <= 15; ++voice) {
        const auto& ours = synth::ym2413::instrumentRom[static_cast<std::size_t>(voice)];
        const opll_patch_t& theirs = chip.patchrom[voice - 1];
        SCOPED_TRACE("voice " + std::to_string(voice));
        EXPECT_EQ(ours[2] & 0x3f, theirs.tl);
        EXPECT_EQ((ours[3] >> 4) & 1, theirs.dc);
        EXPECT_EQ((ours[3] >> 3) & 1, theirs.dm);
        EXPECT_EQ(ours[3] & 7, theirs.fb);
        for (int op = 0; op < 2; ++op) {
            SCOPED_TRACE(op ? "carrier" : "modulator");
            EXPECT_EQ(ours[op] >> 7, theirs.am[op]);
            EXPECT_EQ((ours[op] >> 6) & 1, theirs.vib[op]);
            EXPECT_EQ((ours[op] >> 5) & 1, theirs.et[op]);
            EXPECT_EQ((ours[op] >> 4) & 1, theirs.ksr[op]);
            EXPECT_EQ(ours[op] & 0x0f, theirs.multi[op]);
            EXPECT_EQ(ours[2 + op] >> 6, theirs.ksl[op]);
            EXPECT_EQ(ours[4 + op] >> 4, theirs.ar[op]);
            EXPECT_EQ(ours[4 + op] & 0x0f, theirs.dr[op]);
            EXPECT_EQ(ours[6 + op] >> 4, theirs.sl[op]);
            EXPECT_EQ(ours[6 + op] & 0x0f, theirs.rr[op]);
        }
    }
#endif
}

} // namespace
