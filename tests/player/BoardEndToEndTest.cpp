// tonrig with the real library on a KX7M board stood in for by the virtual
// board, laid out as installed (on Windows: tonrig.exe, TAVRO.DLL and
// tavro_virtualboard.dll, the same expectations as on Linux): every write of the test song reaches
// the right chip in order, writes made every 10 ms leave at that rate after the send delay, and
// however the player is stopped (during start-up, in the pauses between the driver entries, while
// playing) it exits with 0 and leaves the board in reset and closed. Under the address sanitizer
// the exit code also reports leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>
#include <thread>

#include "support/BoardLog.h"
#include "support/PlayerLayout.h"

namespace {

using namespace std::chrono_literals;

const std::filesystem::path tonrigProgram = TONRIG_PROGRAM;
const std::filesystem::path tavroLibrary = TAVRO_LIBRARY_PATH;
const std::filesystem::path virtualBoard = TAVRO_VB_MODULE_PATH;
const std::filesystem::path driverImages = DRIVER_IMAGES_DIR;

constexpr int ssgPosition = 0, opm1Position = 1, opm2Position = 2;

class BoardEndToEndTest : public ::testing::Test {
protected:
    BoardEndToEndTest() {
        layout.addToBin(driverImages / "VELKAN.BIN");
        layout.addToBin(driverImages / "test-song.vkn");
        std::ofstream(layout.libraryDirectory() / PlayerLayout::iniName)
            << "[ftd2xx(COM1)]\nSLOT_00_CHIP_ID=38\nSLOT_00_CHIP_CLOCK=4000000\n";
    }

    // Plays the test song for the time given after its title line, then
    // interrupts it; the board log is read afterwards.
    ChildExit play(std::chrono::milliseconds playing) {
        std::filesystem::remove(layout.file("board.log"));
        ChildProcess player =
            layout.start({"test-song.vkn"}, {"TAVRO_D2XX_MODULE=" + virtualBoard.string(),
                                             "TAVRO_VB_PORTS=1", "TAVRO_VB_MODEL=KX7M",
                                             "TAVRO_VB_LOG=" + layout.file("board.log").string()});
        EXPECT_TRUE(player.waitForOutputLine(10s));
        std::this_thread::sleep_for(playing);
        player.sendSignal(SIGINT);
        const ChildExit exit = player.wait(10s);
        EXPECT_EQ(player.standardOutput(), "Register pattern test" CONSOLE_NL);
        EXPECT_EQ(player.standardError(), "");
        events = readBoardLog(layout.file("board.log"));
        return exit;
    }

    void expectLeftInResetAndClosed() const { ::expectLeftInResetAndClosed(events); }

    PlayerLayout layout{tonrigProgram, tavroLibrary};
    std::vector<BoardEvent> events;
};

// The init and start entries' writes, as the driver documents them.
std::vector<BoardWrite> setupWrites() {
    std::vector<BoardWrite> setup;
    for (const int opm : {opm1Position, opm2Position}) {
        for (int channel = 0; channel < 8; ++channel)
            setup.push_back({opm, 0x08, channel});
        for (int reg = 0xE0; reg <= 0xFF; ++reg)
            setup.push_back({opm, reg, 0xFF});
        setup.insert(setup.end(),
                     {{opm, 0x0F, 0x00}, {opm, 0x19, 0x00}, {opm, 0x19, 0x80}, {opm, 0x1B, 0x00}});
    }
    setup.insert(
        setup.end(),
        {{ssgPosition, 7, 0x3F}, {ssgPosition, 8, 0}, {ssgPosition, 9, 0}, {ssgPosition, 10, 0}});
    setup.push_back({ssgPosition, 7, 0x38});
    return setup;
}

// Step k of the test song: OPM #1 0x18 = k, OPM #2 0x18 = k xor 0xFF, PSG
// register 0 = k xor 0x55; in step 0 each track first starts its tone.
std::vector<BoardWrite> patternWrites(int steps) {
    const auto opmSine = [](int opm, int outputs, int keyCode) {
        return std::vector<BoardWrite>{{opm, 0x20, outputs | 0x07},
                                       {opm, 0x40, 0x01},
                                       {opm, 0x80, 0x1F},
                                       {opm, 0x28, keyCode},
                                       {opm, 0x08, 0x08}};
    };
    const std::vector<BoardWrite> tones[3] = {
        opmSine(opm1Position, 0x40, 0x4A),
        opmSine(opm2Position, 0x80, 0x54),
        {{ssgPosition, 2, 0x90}, {ssgPosition, 3, 0x01}, {ssgPosition, 9, 12}}};
    std::vector<BoardWrite> pattern;
    for (int k = 0; k < steps; ++k) {
        const int v = k % 256;
        const BoardWrite step[3] = {
            {opm1Position, 0x18, v}, {opm2Position, 0x18, v ^ 0xFF}, {ssgPosition, 0, v ^ 0x55}};
        for (int track = 0; track < 3; ++track) {
            if (k == 0) pattern.insert(pattern.end(), tones[track].begin(), tones[track].end());
            pattern.push_back(step[track]);
        }
    }
    return pattern;
}

TEST_F(BoardEndToEndTest, TestSongReachesEachChipInOrderAtItsRate) {
    const ChildExit exit = play(1500ms);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.code, 0);
    expectLeftInResetAndClosed();

    std::vector<BoardWrite> writes;
    std::vector<double> opm1PatternTimes;
    const std::vector<BoardWrite> setup = setupWrites();
    double lastSetupWriteMs = -1, resetBeforeMs = -1;
    for (const BoardEvent& event : events) {
        if (event.name == "reset" && writes.empty()) resetBeforeMs = event.ms;
        if (event.name != "write") continue;
        if (writes.size() + 1 == setup.size()) lastSetupWriteMs = event.ms;
        writes.push_back(writeOf(event));
        if (writes.back().position == opm1Position && writes.back().address == 0x18)
            opm1PatternTimes.push_back(event.ms);
    }

    // Every write, in order; the stop may cut the last step short.
    ASSERT_GT(writes.size(), setup.size() + 3 * 80) << "too few steps arrived";
    const std::vector<BoardWrite> pattern = patternWrites(200);
    std::vector<BoardWrite> expected = setup;
    expected.insert(expected.end(), pattern.begin(), pattern.end());
    ASSERT_LE(writes.size(), expected.size());
    for (std::size_t i = 0; i < writes.size(); ++i) {
        ASSERT_EQ(writes[i], expected[i]) << "write " << i << " of " << writes.size();
    }

    // The set-up's last write leaves one send delay (100 ms) after the reset
    // that opening made (the set-up burst before it starts early enough for
    // the link to finish it by then), and the steps leave every 10 ms.
    EXPECT_GE(lastSetupWriteMs - resetBeforeMs, 95.0);
    EXPECT_LT(lastSetupWriteMs - resetBeforeMs, 400.0);
    std::vector<double> spacing;
    for (std::size_t i = 1; i < opm1PatternTimes.size(); ++i)
        spacing.push_back(opm1PatternTimes[i] - opm1PatternTimes[i - 1]);
    std::nth_element(spacing.begin(), spacing.begin() + spacing.size() / 2, spacing.end());
    EXPECT_NEAR(spacing[spacing.size() / 2], 10.0, 1.0);
}

class BoardStopTest : public BoardEndToEndTest {
protected:
    // Stops at random moments from the title line on: start-up (binding,
    // opening, the driver entries and the 50 ms pauses) takes about the
    // first 110 ms, playing the rest.
    void stopAtRandomMoments(unsigned seed, int runs) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> delay(0, 400);
        for (int run = 0; run < runs; ++run) {
            const auto playing = std::chrono::milliseconds(delay(random));
            SCOPED_TRACE("stopped " + std::to_string(playing.count()) + " ms after the title");
            const ChildExit exit = play(playing);
            EXPECT_TRUE(exit.exited);
            EXPECT_EQ(exit.code, 0);
            expectLeftInResetAndClosed();
        }
    }
};

TEST_F(BoardStopTest, StopAtRandomMomentsLeavesTheBoardResetAndClosed) {
    stopAtRandomMoments(20261208, 10);
}

TEST_F(BoardStopTest, StopAtMoreRandomMomentsLeavesTheBoardResetAndClosed) {
    stopAtRandomMoments(4000000, 10);
}

} // namespace
