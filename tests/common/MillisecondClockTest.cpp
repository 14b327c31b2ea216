#include "common/MillisecondClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(MillisecondClock, RunsAtRealTimeAndStaysContinuousAcrossRebase) {
    MillisecondClock clock;
    clock.start();
    ASSERT_NE(clock.frequency, 0);
    const std::uint32_t first = clock.now();
    std::uint32_t previous = first;
    const auto begin = std::chrono::steady_clock::now();
    // Read it across more than one rebase (one per whole second elapsed).
    while (std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(2300)) {
        const std::uint32_t value = clock.now();
        ASSERT_LE(value - previous, 20u) << "clock jumped";
        previous = value;
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - begin)
                          .count();
    EXPECT_NEAR(static_cast<double>(previous - first), static_cast<double>(real), 15.0);
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
    EXPECT_LE(after - before, 400u);
}
