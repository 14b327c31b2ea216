// The songs as the player plays them: the test song's register pattern and
// timing, the demo song's voices, notes, PSG part and loop, and the driver's
// own jingle when there is no data file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "DriverRig.h"

namespace {

using ::testing::HasSubstr;

// The test song's writes, recomputed from its documentation: in step 0 each
// track first starts its tone; step k runs in tick 10 (k + 1) and writes
// OPM #1 0x18 = k, OPM #2 0x18 = k xor 0xFF, PSG 0 = k xor 0x55 (k mod 256).
std::vector<ChipWrite> testSongPattern(int ticks) {
    const auto opmSine = [](Chip chip, int outputs, int keyCode) {
        return std::vector<ChipWrite>{{chip, 10, 0x20, outputs | 0x07},
                                      {chip, 10, 0x40, 0x01},
                                      {chip, 10, 0x80, 0x1F},
                                      {chip, 10, 0x28, keyCode},
                                      {chip, 10, 0x08, 0x08}};
    };
    const std::vector<ChipWrite> tones[3] = {
        opmSine(Chip::Opm1, 0x40, 0x4A),
        opmSine(Chip::Opm2, 0x80, 0x54),
        {{Chip::Psg, 10, 2, 0x90}, {Chip::Psg, 10, 3, 0x01}, {Chip::Psg, 10, 9, 12}}};
    std::vector<ChipWrite> pattern;
    for (int tick = 10; tick <= ticks; tick += 10) {
        const int k = (tick / 10 - 1) % 256;
        const auto step = [&](int track, ChipWrite write) {
            if (tick == 10) pattern.insert(pattern.end(), tones[track].begin(), tones[track].end());
            pattern.push_back(write);
        };
        step(0, {Chip::Opm1, tick, 0x18, k});
        step(1, {Chip::Opm2, tick, 0x18, k ^ 0xFF});
        step(2, {Chip::Psg, tick, 0x00, k ^ 0x55});
    }
    return pattern;
}

// The documented writes of the init and start entries.
std::vector<ChipWrite> setupWrites() {
    std::vector<ChipWrite> setup;
    for (const Chip opm : {Chip::Opm1, Chip::Opm2}) {
        for (int channel = 0; channel < 8; ++channel)
            setup.push_back({opm, 0, 0x08, channel});
        for (int reg = 0xE0; reg <= 0xFF; ++reg)
            setup.push_back({opm, 0, reg, 0xFF});
        setup.push_back({opm, 0, 0x0F, 0x00});
        setup.push_back({opm, 0, 0x19, 0x00});
        setup.push_back({opm, 0, 0x19, 0x80});
        setup.push_back({opm, 0, 0x1B, 0x00});
    }
    setup.push_back({Chip::Psg, 0, 7, 0x3F});
    for (int reg = 8; reg <= 10; ++reg)
        setup.push_back({Chip::Psg, 0, reg, 0});
    setup.push_back({Chip::Psg, 0, 7, 0x38});
    return setup;
}

TEST(TestSong, WritesItsDocumentedPatternEveryTenTicksAcrossItsLoop) {
    DriverRig rig("test-song.vkn");
    ASSERT_TRUE(rig.loaded);
    rig.start();
    EXPECT_EQ(rig.machine.title(), "Register pattern test");
    rig.run(3000); // 300 steps: the 256-step tracks loop once

    std::vector<ChipWrite> expected = setupWrites();
    const std::vector<ChipWrite> pattern = testSongPattern(3000);
    expected.insert(expected.end(), pattern.begin(), pattern.end());
    EXPECT_EQ(rig.writes, expected);

    // No write repeats the value its register holds, setup writes included,
    // and none goes to the PSG's port registers: no chip cache drops any.
    std::map<std::pair<Chip, int>, int> last;
    for (const ChipWrite& w : rig.writes) {
        const auto [it, fresh] = last.try_emplace({w.chip, w.reg}, w.value);
        EXPECT_TRUE(fresh || it->second != w.value) << "tick " << w.tick << " reg " << w.reg;
        it->second = w.value;
        if (w.chip == Chip::Psg) {
            EXPECT_LT(w.reg, 14);
        }
    }
}

bool isKeyOn(const ChipWrite& w, int channel) {
    return w.reg == 0x08 && w.value == (0x78 | channel);
}

// Key codes of a chip's key-ons on channel 0 and 1, each with its tick: the
// last key code written to the channel before the key on.
std::vector<std::array<int, 3>> keyOns(const std::vector<ChipWrite>& writes) {
    std::array<int, 8> keyCode{};
    std::vector<std::array<int, 3>> result;
    for (const ChipWrite& w : writes) {
        if (w.reg >= 0x28 && w.reg < 0x30) keyCode[w.reg - 0x28] = w.value;
        for (int channel = 0; channel < 2; ++channel) {
            if (isKeyOn(w, channel)) result.push_back({w.tick, channel, keyCode[channel]});
        }
    }
    return result;
}

// The demo song: 256 steps of 125 ms from tick 125 on, so its loop starts
// again at tick 125 + 32000.
constexpr int demoStart = 125;
constexpr int demoLength = 32000;

TEST(DemoSong, SetsUpVoicesAndPlaysBothOpmsAndThePsg) {
    DriverRig rig("demo-song.vkn");
    ASSERT_TRUE(rig.loaded);
    rig.start();
    EXPECT_THAT(std::string(rig.machine.title()), HasSubstr("Ode to Joy"));
    rig.run(4000);

    for (const Chip chip : {Chip::Opm1, Chip::Opm2}) {
        const auto writes = rig.writesOf(chip, 1);
        std::set<int> registers;
        for (const ChipWrite& w : writes) {
            registers.insert(w.reg);
            // Connection registers keep both outputs on.
            if (w.reg >= 0x20 && w.reg < 0x28) {
                EXPECT_EQ(w.value & 0xC0, 0xC0);
            }
        }
        for (int channel = 0; channel < 2; ++channel) {
            EXPECT_TRUE(registers.count(0x20 + channel));
            for (int reg = 0x40 + channel; reg < 0x100; reg += 8) {
                EXPECT_TRUE(registers.count(reg)) << std::hex << reg;
            }
            EXPECT_TRUE(registers.count(0x28 + channel));
            EXPECT_TRUE(registers.count(0x30 + channel));
        }
        const auto notes = keyOns(writes);
        for (int channel = 0; channel < 2; ++channel) {
            EXPECT_GE(std::count_if(notes.begin(), notes.end(),
                                    [&](const auto& n) { return n[1] == channel; }),
                      3);
        }
    }

    // The melody opens F#4 F#4 G4 A4: key codes of a 4 MHz chip (two
    // semitones below the note, octave 4: E, E, F, G).
    const auto melody = keyOns(rig.writesOf(Chip::Opm1, 1));
    ASSERT_GE(melody.size(), 4u);
    std::vector<int> opening;
    for (const auto& n : melody) {
        if (n[1] == 0 && opening.size() < 4) opening.push_back(n[2]);
    }
    EXPECT_EQ(opening, (std::vector<int>{0x44, 0x44, 0x45, 0x48}));

    // PSG: tones on in the mixer, channel A with a period and a volume, and
    // the volume decaying one step every two 20 ms frames.
    const auto psg = rig.writesOf(Chip::Psg);
    EXPECT_TRUE(std::any_of(psg.begin(), psg.end(),
                            [](const ChipWrite& w) { return w.reg == 7 && (w.value & 1) == 0; }));
    EXPECT_TRUE(std::any_of(psg.begin(), psg.end(),
                            [](const ChipWrite& w) { return w.tick > 0 && w.reg == 0; }));
    // A decay step that follows a decay step comes exactly 40 ticks later.
    int decays = 0;
    const ChipWrite* previous = nullptr;
    bool previousDecayed = false;
    for (const ChipWrite& w : psg) {
        if (w.reg != 8 || w.tick == 0) continue;
        const bool decayed = previous != nullptr && w.value == previous->value - 1;
        if (decayed && previousDecayed) {
            EXPECT_EQ(w.tick - previous->tick, 40) << "tick " << w.tick;
            ++decays;
        }
        previous = &w;
        previousDecayed = decayed;
    }
    EXPECT_GE(decays, 20);
}

TEST(DemoSong, LoopsBackToItsStartAfterSixteenBars) {
    DriverRig rig("demo-song.vkn");
    ASSERT_TRUE(rig.loaded);
    rig.start();
    constexpr int compareTicks = 2000;
    rig.run(demoStart + demoLength + compareTicks + 1);

    // Everything after the first step (which also loads the voices) repeats
    // exactly one song length later.
    for (const Chip chip : {Chip::Opm1, Chip::Opm2, Chip::Psg}) {
        auto first = rig.writesOf(chip, demoStart + 1, demoStart + 1 + compareTicks);
        auto again = rig.writesOf(chip, demoStart + demoLength + 1,
                                  demoStart + demoLength + 1 + compareTicks);
        for (ChipWrite& w : again)
            w.tick -= demoLength;
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(again, first);
    }
    const auto firstNotes = keyOns(rig.writesOf(Chip::Opm1, demoStart, demoStart + 1));
    auto loopNotes =
        keyOns(rig.writesOf(Chip::Opm1, demoStart + demoLength, demoStart + demoLength + 1));
    for (auto& n : loopNotes)
        n[0] -= demoLength;
    EXPECT_EQ(loopNotes, firstNotes);
}

TEST(OwnJingle, PlaysWithoutADataFileThenKeysOffAndIdles) {
    DriverRig rig;
    ASSERT_TRUE(rig.loaded);
    rig.start();
    EXPECT_EQ(rig.machine.title(), "");
    rig.run(3000);

    const auto opm1 = rig.writesOf(Chip::Opm1, 1);
    const auto opm2 = rig.writesOf(Chip::Opm2, 1);
    EXPECT_EQ(keyOns(opm1).size(), 4u);
    EXPECT_EQ(keyOns(opm2).size(), 1u);
    const auto psg = rig.writesOf(Chip::Psg, 1);
    EXPECT_TRUE(std::any_of(psg.begin(), psg.end(),
                            [](const ChipWrite& w) { return w.reg == 8 && w.value > 0; }));

    // About a second of music, then the last writes silence every part and
    // nothing follows.
    EXPECT_TRUE(rig.writesOf(Chip::Opm1, 1500).empty());
    EXPECT_TRUE(rig.writesOf(Chip::Opm2, 1500).empty());
    EXPECT_TRUE(rig.writesOf(Chip::Psg, 1500).empty());
    ASSERT_FALSE(opm1.empty());
    ASSERT_FALSE(opm2.empty());
    ASSERT_FALSE(psg.empty());
    EXPECT_EQ(opm1.back(), (ChipWrite{Chip::Opm1, opm1.back().tick, 0x08, 0x00}));
    EXPECT_EQ(opm2.back(), (ChipWrite{Chip::Opm2, opm2.back().tick, 0x08, 0x00}));
    EXPECT_EQ(psg.back(), (ChipWrite{Chip::Psg, psg.back().tick, 0x08, 0x00}));
}

} // namespace
