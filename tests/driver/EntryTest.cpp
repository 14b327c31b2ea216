// The driver's entries, CTC set-up and interrupt routines, run on the
// player's machine: they return with the stack balanced, keep every register,
// write memory only in the driver's RAM and the stack, and survive broken
// song data.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "DriverRig.h"

namespace {

constexpr std::uint16_t driverEntries[] = {0x1800, 0x1803, 0x1806, 0x1809, 0x180C, 0x180F};
// The driver must end before the data file at 0x4000.
constexpr std::uintmax_t driverLimit = 0x4000 - 0x1800;

TEST(DriverEntries, ReturnWithTheStackBalancedAndTheImageEndsBelowTheData) {
    EXPECT_LT(std::filesystem::file_size(DriverRig::image("VELKAN.BIN")), driverLimit);

    DriverRig rig("demo-song.vkn");
    ASSERT_TRUE(rig.loaded);
    rig.start();
    EXPECT_EQ(rig.stackAfterEntries, (std::vector<std::uint16_t>{0, 0}));
    for (const std::uint16_t entry : driverEntries) {
        rig.machine.callSubroutine(entry);
        EXPECT_EQ(rig.machine.SP, 0) << "entry " << std::hex << entry;
        rig.run(200);
    }
    EXPECT_EQ(rig.machine.memory[0xFFFE], 0xFF);
    EXPECT_EQ(rig.machine.memory[0xFFFF], 0xFF);
    EXPECT_TRUE(rig.machine.strayWrites.empty()) << std::hex << rig.machine.strayWrites.front();
}

TEST(DriverEntries, InitSetsUpMode2AndTheCtcForTwoInterruptsOfTheDriver) {
    DriverRig rig;
    ASSERT_TRUE(rig.loaded);
    rig.machine.callSubroutine(Tonrig::driverAddress);
    EXPECT_EQ(rig.machine.IM, 2);

    const auto imageEnd =
        Tonrig::driverAddress + std::filesystem::file_size(DriverRig::image("VELKAN.BIN"));
    for (const int offset : {2, 6}) {
        const int entry = rig.machine.I * 256 + ((rig.machine.ctc.vector + offset) & 0xFF);
        const int routine = rig.machine.memory[entry] | rig.machine.memory[entry + 1] << 8;
        EXPECT_GE(routine, Tonrig::driverAddress) << "vector + " << offset;
        EXPECT_LT(routine, imageEnd) << "vector + " << offset;
    }
    const auto& channels = rig.machine.ctc.channels;
    EXPECT_TRUE(channels[3].control & CtcChannel::counterModeBit);

    // Channel 1 interrupts every millisecond; channel 3 counts channel 0's
    // periods and interrupts every frame of 20 ms.
    int channel1 = 0;
    int channel3 = 0;
    for (int tick = 0; tick < 1000; ++tick) {
        const std::uint8_t flags = rig.machine.ctc.advance();
        channel1 += (flags >> 1) & 1;
        channel3 += (flags >> 3) & 1;
        rig.machine.deliverInterrupts(flags);
        EXPECT_EQ(rig.machine.SP, 0);
    }
    EXPECT_EQ(channel1, 1000);
    EXPECT_EQ(channel3, 50);
}

struct Registers {
    std::array<std::uint16_t, 10> pairs;
    std::uint8_t i;
    std::uint8_t im;
    bool operator==(const Registers&) const = default;
};

Registers registersOf(const Z80Cpu& cpu) {
    return {{cpu.BC, cpu.DE, cpu.HL, cpu.AF, cpu.IX, cpu.IY, cpu.afAlt, cpu.bcAlt, cpu.deAlt,
             cpu.hlAlt},
            cpu.I,
            cpu.IM};
}

TEST(DriverInterrupts, RoutinesKeepEveryRegisterWhileTheDemoSongPlays) {
    DriverRig rig("demo-song.vkn");
    ASSERT_TRUE(rig.loaded);
    rig.start();
    Z80Cpu& cpu = rig.machine;
    for (int tick = 0; tick < 3000; ++tick) {
        const auto seed = static_cast<std::uint16_t>(tick * 7919);
        cpu.BC = seed ^ 0x1111;
        cpu.DE = seed ^ 0x2222;
        cpu.HL = seed ^ 0x3333;
        cpu.AF = seed ^ 0x4444;
        cpu.IX = seed ^ 0x5555;
        cpu.IY = seed ^ 0x6666;
        cpu.afAlt = seed ^ 0x7777;
        cpu.bcAlt = seed ^ 0x8888;
        cpu.deAlt = seed ^ 0x9999;
        cpu.hlAlt = seed ^ 0xAAAA;
        const Registers before = registersOf(cpu);
        rig.run(1);
        ASSERT_EQ(registersOf(cpu), before) << "tick " << rig.tick;
        ASSERT_EQ(cpu.SP, 0) << "tick " << rig.tick;
    }
    EXPECT_FALSE(rig.writesOf(Chip::Opm1, 1).empty());
    EXPECT_TRUE(rig.machine.strayWrites.empty());
}

// Song bytes: header with one track on OPM #1 channel 0 at offset 0x40,
// then its events.
std::vector<std::uint8_t> songWithTrack(std::initializer_list<std::uint8_t> events,
                                        std::uint8_t chip = 0) {
    std::vector<std::uint8_t> song(0x40 + events.size(), 0);
    const std::uint8_t header[] = {'V', 'K', 'N', 1, 10, 1, 0x40, 0, chip, 0, 0x40, 0};
    std::copy(std::begin(header), std::end(header), song.begin());
    std::copy(events.begin(), events.end(), song.begin() + 0x40);
    return song;
}

TEST(DriverData, BrokenSongsStopTheirTracksAndTheRoutinesStillReturn) {
    std::vector<std::uint8_t> noMagic = songWithTrack({60, 2});
    noMagic[0] = 'X';
    struct Case {
        const char* name;
        std::vector<std::uint8_t> song;
        int writesWhilePlaying;
    };
    const Case cases[] = {
        {"no magic", noMagic, 0},
        {"no such chip", songWithTrack({60, 2}, 7), 0},
        // Loop point, a register write, end: no timed event in the loop. The
        // write runs twice (once more after the first jump back).
        {"loop without a wait", songWithTrack({0x84, 0x83, 0x18, 0x01, 0x85}), 2},
        // A note (key code, fraction, key on), then an unknown event: the note
        // is keyed off and the track ends.
        {"unknown event", songWithTrack({60, 2, 0x9F, 60, 2}), 4},
    };
    for (const Case& c : cases) {
        DriverRig rig(std::span<const std::uint8_t>(c.song));
        ASSERT_TRUE(rig.loaded);
        rig.start();
        rig.run(500);
        EXPECT_EQ(rig.machine.SP, 0) << c.name;
        EXPECT_EQ(std::ssize(rig.writesOf(Chip::Opm1, 1)), c.writesWhilePlaying) << c.name;
        EXPECT_TRUE(rig.writesOf(Chip::Opm2, 1).empty()) << c.name;
        EXPECT_TRUE(rig.writesOf(Chip::Psg, 1).empty()) << c.name;
        EXPECT_TRUE(rig.machine.strayWrites.empty()) << c.name;
    }
}

} // namespace
