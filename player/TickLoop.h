// The player's time base: one CTC tick per elapsed host millisecond, and the
// pauses between the driver's start-up entries. Written over a Time source
// with now() (a wrapping 32-bit millisecond count) and sleepOneMillisecond(),
// so that the play loop uses the real clock and tests a simulated one.
//
// Both give way to a stop request: the loop tests the stop flag before every
// pass, a pause between its 1 ms sleeps.
#pragma once

#include <atomic>
#include <cstdint>

// Runs tick() once for every millisecond that passes until stop is set. A
// clock that has moved on by N since the last pass gives N passes that each
// tick without sleeping; an unchanged clock gives a 1 ms sleep. Only equality
// is compared, so the wrap of the count needs no special case.
template <class Time, class Tick>
void runTickLoop(Time& time, const std::atomic<bool>& stop, Tick&& tick) {
    std::uint32_t lastTick = time.now();
    while (!stop.load(std::memory_order_relaxed)) {
        if (time.now() == lastTick) {
            time.sleepOneMillisecond();
            continue;
        }
        ++lastTick;
        tick();
    }
}

// Sleeps in 1 ms steps until milliseconds have passed or stop is set.
template <class Time>
void pauseFor(Time& time, std::uint32_t milliseconds, const std::atomic<bool>& stop) {
    const std::uint32_t start = time.now();
    while (!stop.load(std::memory_order_relaxed) && time.now() - start < milliseconds) {
        time.sleepOneMillisecond();
    }
}
