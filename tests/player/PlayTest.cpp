// play in this process, with the stop already requested so that it returns
// right after start-up: which driver entries run, the title, the load failures
// and what they leave undone. Also the console stop handler.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "player/ConsoleStop.h"
#include "player/Play.h"
#include "support/ScratchDirectory.h"
#include "support/TestDrivers.h"

namespace {

class PlayTest : public ::testing::Test {
protected:
    PlayTest() : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(scratch.path());
        stopFlag.store(true);
    }
    ~PlayTest() override { std::filesystem::current_path(previous); }

    ScratchDirectory scratch;
    std::filesystem::path previous;
    std::unique_ptr<Tonrig> machine = std::make_unique<Tonrig>();
};

TEST_F(PlayTest, WithoutDataRunsEntries1800Then180F) {
    scratch.write("VELKAN.BIN", testdrivers::entryMarkers());
    testing::internal::CaptureStdout();
    EXPECT_EQ(play(*machine, std::nullopt), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
    EXPECT_EQ(machine->memory[0x5001], 0x01 + 0x0F);
    EXPECT_EQ(machine->SP, 0);
}

TEST_F(PlayTest, WithDataRunsEntries1800Then1803AndPrintsTheTitle) {
    scratch.write("VELKAN.BIN", testdrivers::entryMarkers());
    scratch.write("song.vkn", testdrivers::songWithTitle("Overture"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(play(*machine, scratch.path() / "song.vkn"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Overture\n");
    EXPECT_EQ(machine->memory[0x5001], 0x01 + 0x03);
}

// After each driver entry the player pauses 50 ms before it goes on, so the
// tick loop (one tick, here one interrupt, per millisecond from its start)
// runs at least 100 ms less than play as a whole.
TEST_F(PlayTest, EachDriverEntryIsFollowedByA50MillisecondPause) {
    scratch.write("VELKAN.BIN", testdrivers::counting());
    stopFlag.store(false);
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stopFlag.store(true);
    });
    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(play(*machine, std::nullopt), 0);
    const auto played = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    testing::internal::GetCapturedStdout();
    stopper.join();
    const int ticks = machine->memory[0x5000] | (machine->memory[0x5001] << 8);
    EXPECT_GT(ticks, 0);
    EXPECT_LE(ticks, played - 100 + 2) << "played " << played << " ms";
}

TEST_F(PlayTest, MissingDataFileStopsBeforeTheDriverIsLoaded) {
    scratch.write("VELKAN.BIN", testdrivers::entryMarkers());
    scratch.write("empty.vkn", {});
    for (const char* name : {"missing.vkn", "empty.vkn"}) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(play(*machine, scratch.path() / name), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cloudn't open file.\n");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(machine->memory[0x1800], 0);
    }
}

TEST_F(PlayTest, MissingDriverIsReported) {
    scratch.write("song.vkn", testdrivers::songWithTitle("Overture"));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(play(*machine, scratch.path() / "song.vkn"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cloudn't open VELKAN.BIN.\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ConsoleStopTest, EventSetsTheFlagAndStopsTheBoundMachineOnly) {
    stopFlag.store(false);
    auto machine = std::make_unique<Tonrig>();
    {
        ConsoleStopBinding binding(*machine);
        EXPECT_FALSE(machine->stopRequested.load());
        onConsoleControl();
        EXPECT_TRUE(stopFlag.load());
        EXPECT_TRUE(machine->stopRequested.load());
    }
    machine.reset();
    onConsoleControl(); // the machine is gone and must not be touched
    EXPECT_TRUE(stopFlag.load());
}

// Console events come on a thread of the system's at any time, also while
// the player ends: the binding's end waits out a handler call that still
// holds the machine, so a machine is never stopped after it is freed (the
// sanitizer builds see any such touch).
TEST(ConsoleStopTest, EventsRacingTheMachinesEndNeverReachAFreedMachine) {
    std::atomic<bool> done{false};
    std::atomic<int> events{0};
    std::thread system([&] {
        while (!done.load()) {
            onConsoleControl();
            events.fetch_add(1);
        }
    });
    int stopped = 0;
    for (int round = 0; round < 300; ++round) {
        auto machine = std::make_unique<Tonrig>();
        {
            ConsoleStopBinding binding(*machine);
            const int before = events.load();
            while (events.load() < before + 2)
                std::this_thread::yield();
        }
        if (machine->stopRequested.load()) ++stopped;
    }
    done = true;
    system.join();
    EXPECT_EQ(stopped, 300) << "an event during the binding stops the machine";
}

} // namespace
