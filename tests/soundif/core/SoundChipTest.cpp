// Chip objects: write filters, register caches, init sequences and the class
// that makeSoundChip picks for each type code, against an interface that
// records what the chips hand it.
#include "soundif/core/SoundInterface.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

struct Write {
    std::uint32_t position, address, data;
    bool operator==(const Write&) const = default;
};

class RecordingInterface : public CSoundInterface {
public:
    std::int32_t writeRegister(std::uint32_t position, std::uint32_t address,
                               std::uint32_t data) override {
        writes.push_back({position, address, data});
        return result;
    }
    SoundChip& add(std::int32_t type, std::int32_t position = 0) {
        SoundChipInfo info{};
        info.type = type;
        info.clock = 4000000;
        info.position = position;
        addChip(info);
        return *chipAt(static_cast<std::uint32_t>(chipCount() - 1));
    }
    std::vector<Write> writes;
    std::int32_t result = 1;
};

std::vector<Write> writesTo(std::uint32_t position, std::vector<std::pair<int, int>> pairs) {
    std::vector<Write> result;
    for (auto [address, data] : pairs)
        result.push_back(
            {position, static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(data)});
    return result;
}

TEST(SoundChip, Ym2151SendsOnlyChangesOnEveryRegister) {
    RecordingInterface board;
    SoundChip& opm = board.add(2, 1);
    EXPECT_EQ(opm.setRegister(0x20, 0xC0), 1);
    board.result = 7;
    EXPECT_EQ(opm.setRegister(0x20, 0xC0), 1) << "a suppressed write reports 1";
    EXPECT_EQ(opm.getRegister(0x20), 0xC0);
    EXPECT_EQ(opm.setRegister(0x08, 0x78), 7) << "a sent write reports the interface's result";
    EXPECT_EQ(opm.setRegister(0x08, 0x78), 1);
    EXPECT_EQ(board.writes, writesTo(1, {{0x20, 0xC0}, {0x08, 0x78}}));
}

TEST(SoundChip, Ym2151InitKeysOffThenSetsDecayAndReleaseOnce) {
    RecordingInterface board;
    SoundChip& opm = board.add(2);
    EXPECT_EQ(opm.init(), 1);
    std::vector<std::pair<int, int>> expected;
    for (int channel = 0; channel < 8; ++channel)
        expected.push_back({0x08, channel});
    for (int reg = 0xE0; reg <= 0xFF; ++reg)
        expected.push_back({reg, 0xFF});
    EXPECT_EQ(board.writes, writesTo(0, expected));

    board.writes.clear();
    EXPECT_EQ(opm.init(), 1);
    expected.resize(8);
    EXPECT_EQ(board.writes, writesTo(0, expected))
        << "key-offs differ from each other; the rest is cached";
}

TEST(SoundChip, Ym2413DropsRegistersFrom0x40AndHasItsInitSequence) {
    RecordingInterface board;
    SoundChip& opll = board.add(10, 2);
    EXPECT_EQ(opll.setRegister(0x40, 0x12), 1);
    EXPECT_EQ(opll.getRegister(0x40), -1);
    EXPECT_EQ(opll.setRegister(0x3F, 0x12), 1);
    EXPECT_EQ(opll.setRegister(0x3F, 0x12), 1);
    EXPECT_EQ(board.writes, writesTo(2, {{0x3F, 0x12}}));

    board.writes.clear();
    EXPECT_EQ(opll.init(), 1);
    std::vector<std::pair<int, int>> expected{{0x0E, 0x00}};
    for (int channel = 0; channel < 9; ++channel) {
        expected.push_back({0x30 + channel, 0x0F});
        expected.push_back({0x20 + channel, 0x00});
    }
    EXPECT_EQ(board.writes, writesTo(2, expected));
}

TEST(SoundChip, Ymz294NeverSendsPortRegistersAndInitsOnce) {
    RecordingInterface board;
    SoundChip& ssg = board.add(20);
    EXPECT_EQ(ssg.setRegister(14, 1), 1);
    EXPECT_EQ(ssg.setRegister(15, 2), 1);
    EXPECT_TRUE(board.writes.empty());
    EXPECT_EQ(ssg.init(), 1);
    EXPECT_EQ(ssg.init(), 1);
    EXPECT_EQ(board.writes, writesTo(0, {{0x07, 0xFF}}));
}

// A write to the envelope shape restarts the envelope on the chip, so a
// repeated shape is a new note and goes out; other repeats still do not.
TEST(SoundChip, Ymz294SendsEveryEnvelopeShapeWriteAndOtherRegistersOnlyWhenChanged) {
    RecordingInterface board;
    SoundChip& ssg = board.add(20);
    for (int round = 0; round < 3; ++round) {
        ssg.setRegister(0x0B, 0x40);
        ssg.setRegister(0x0D, 0x0E);
        ssg.setRegister(0x08, 0x10);
    }
    EXPECT_EQ(ssg.getRegister(0x0D), 0x0E);
    EXPECT_EQ(board.writes,
              writesTo(0, {{0x0B, 0x40}, {0x0D, 0x0E}, {0x08, 0x10}, {0x0D, 0x0E}, {0x0D, 0x0E}}));
}

TEST(SoundChip, PlainChipSendsEveryWriteAndMasksTheCacheIndex) {
    RecordingInterface board;
    SoundChip& fm = board.add(1);
    EXPECT_EQ(fm.init(), 0);
    fm.setRegister(0x10, 3);
    fm.setRegister(0x10, 3);
    fm.setRegister(0x1FF, 0x42);
    EXPECT_EQ(board.writes, writesTo(0, {{0x10, 3}, {0x10, 3}, {0x1FF, 0x42}}))
        << "the full address goes to the interface";
    EXPECT_EQ(fm.getRegister(0x1FF), 0x42);
    EXPECT_EQ(fm.getRegister(0xFF), 0x42);
    EXPECT_EQ(fm.chipType(), 1);
    EXPECT_EQ(fm.chipClock(), 4000000);
    EXPECT_EQ(fm.reserved3(5), -1);
    EXPECT_EQ(fm.reserved7(), 1);
}

TEST(SoundChip, ResetForgetsTheCacheSoRepeatsGoOutAgain) {
    RecordingInterface board;
    SoundChip& opm = board.add(2);
    opm.setRegister(0x30, 0x11);
    EXPECT_EQ(board.resetInterface(), 0) << "the base interface has no board to reset";
    for (std::uint32_t reg = 0; reg < 256; ++reg)
        ASSERT_EQ(opm.getRegister(reg), -1) << reg;
    opm.setRegister(0x30, 0x11);
    EXPECT_EQ(board.writes, writesTo(0, {{0x30, 0x11}, {0x30, 0x11}}));
}

TEST(SoundChip, ARefusedWriteStillCountsAsTheRegistersValue) {
    RecordingInterface board;
    board.result = 0;
    SoundChip& opm = board.add(2);
    EXPECT_EQ(opm.setRegister(0x28, 0x40), 0);
    EXPECT_EQ(opm.getRegister(0x28), 0x40);
    EXPECT_EQ(opm.setRegister(0x28, 0x40), 1);
}

TEST(SoundInterface, InitChipsReportsWhetherEveryChipSilenced) {
    RecordingInterface kx7m;
    kx7m.add(20);
    kx7m.add(2, 1);
    kx7m.add(2, 2);
    EXPECT_EQ(kx7m.initChips(), 1);
    EXPECT_EQ(kx7m.chipAt(3), nullptr);
    EXPECT_EQ(kx7m.chipAt(0xFFFFFFFFu), nullptr);

    RecordingInterface bare;
    bare.add(1);
    EXPECT_EQ(bare.initChips(), 0) << "a plain chip has no silent state";
    RecordingInterface empty;
    EXPECT_EQ(empty.initChips(), 1);
    EXPECT_EQ(empty.setSendDelay(5), 0);
    EXPECT_EQ(empty.getSendDelay(), 0);
}

} // namespace
