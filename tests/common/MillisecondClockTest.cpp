#include "common/MillisecondClock.h"
#include "common/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(MillisecondClock, RunsAtRealTimeAndStaysContinuousAcrossRebase) {
    using std::chrono::steady_clock;
    const auto realMs = [](steady_clock::time_point from) {
        return std::chrono::duration<double, std::milli>(steady_clock::now() - from).count();
    };
    MillisecondClock clock;
    clock.start();
    ASSERT_NE(clock.frequency, 0);
    const auto begin = steady_clock::now();
    const std::uint32_t first = clock.now();
    // Read it across two rebases (one per whole second elapsed): at every
    // reading the clock has advanced as far as real time has, so a rebase
    // neither jumps nor loses time, however the readings are spaced.
    while (realMs(begin) < 2300.0) {
        const double elapsed = realMs(begin);
        const std::uint32_t value = clock.now();
        const double counted = static_cast<double>(value - first);
        ASSERT_NEAR(counted, realMs(begin), 2.0 + (realMs(begin) - elapsed));
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
    EXPECT_GE(clock.baseMilliseconds - first, 1990u); // rebased twice, by whole seconds
}

// Readings are the system's tick count (milliseconds since it started) from
// the start on, not counted from zero. The tick count itself may move in
// steps of a scheduler period (about 16 ms on Windows).
TEST(MillisecondClock, StartsAtTheSystemTickCount) {
    MillisecondClock clock;
    clock.start();
    ASSERT_NE(clock.frequency, 0);
    for (int reading = 0; reading < 3; ++reading) {
        const auto difference = static_cast<std::int32_t>(clock.now() - platform::tickCount());
        EXPECT_LE(difference < 0 ? -difference : difference, 40);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TEST(MillisecondClock, WithoutFrequencyReturnsTheTickCount) {
    MillisecondClock clock; // not started: frequency 0
    const std::uint32_t a = clock.now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::uint32_t b = clock.now();
    EXPECT_GE(b - a, 19u);
    EXPECT_LE(b - a, 200u);
}

TEST(MillisecondClock, RebaseKeepsWrappingArithmetic) {
    MillisecondClock clock;
    clock.start();
    clock.baseMilliseconds = 0xFFFFFF00u; // about 256 ms before the 32-bit wrap
    const std::uint32_t before = clock.now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::uint32_t after = clock.now();
    EXPECT_LT(after, before); // wrapped
    EXPECT_GE(after - before, 299u);
    EXPECT_LE(after - before, 2000u);
}
