// The tick loop and the start-up pauses on a simulated clock: catch-up after a
// stall, sleeping while the clock stands still, the wrap of the millisecond
// count, and giving way to the stop flag.
#include <gtest/gtest.h>

#include <string>

#include "player/TickLoop.h"

namespace {

// A clock that moves on by a given step at every sleep, and a log of the loop's
// sleeps ("s") and ticks ("t").
struct SimulatedTime {
    std::uint32_t now() { return clock; }
    void sleepOneMillisecond() {
        log += 's';
        ++sleeps;
        clock += stepPerSleep;
        if (sleeps == sleepLimit) stop.store(true);
    }

    std::uint32_t clock = 1000;
    std::uint32_t stepPerSleep = 1;
    int sleeps = 0;
    int sleepLimit = -1;
    std::string log;
    std::atomic<bool> stop{false};
};

TEST(TickLoopTest, StallIsCaughtUpBackToBack) {
    SimulatedTime time;
    int ticks = 0;
    runTickLoop(time, time.stop, [&] {
        time.log += 't';
        if (++ticks == 3) time.clock += 30; // the host stalls for 30 ms
        if (ticks == 36) time.stop.store(true);
    });
    EXPECT_EQ(time.log, "ststst" + std::string(30, 't') + "ststst");
}

TEST(TickLoopTest, UnchangedClockSleepsAndRunsNoTick) {
    SimulatedTime time;
    time.stepPerSleep = 0;
    time.sleepLimit = 25;
    int ticks = 0;
    runTickLoop(time, time.stop, [&] { ++ticks; });
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(time.sleeps, 25);
}

TEST(TickLoopTest, OneTickPerMillisecondAcrossTheWrap) {
    SimulatedTime time;
    time.clock = 0xFFFFFFF0u;
    time.stepPerSleep = 3;
    int ticks = 0;
    runTickLoop(time, time.stop, [&] {
        if (++ticks == 60) time.stop.store(true);
    });
    EXPECT_EQ(time.clock, 0xFFFFFFF0u + 60u); // wrapped, and not one tick more
    EXPECT_EQ(time.sleeps, 20);
}

TEST(TickLoopTest, StopBeforeTheLoopRunsNoTick) {
    SimulatedTime time;
    time.stop.store(true);
    int ticks = 0;
    runTickLoop(time, time.stop, [&] { ++ticks; });
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(time.sleeps, 0);
}

TEST(TickLoopTest, PauseSleepsItsLengthOrUntilStopped) {
    SimulatedTime time;
    pauseFor(time, 50, time.stop);
    EXPECT_EQ(time.sleeps, 50);

    time.clock = 0xFFFFFFFEu;
    time.sleeps = 0;
    pauseFor(time, 50, time.stop);
    EXPECT_EQ(time.sleeps, 50);

    time.sleeps = 0;
    time.sleepLimit = 5;
    pauseFor(time, 50, time.stop);
    EXPECT_EQ(time.sleeps, 5);

    pauseFor(time, 50, time.stop);
    EXPECT_EQ(time.sleeps, 5);
}

} // namespace
