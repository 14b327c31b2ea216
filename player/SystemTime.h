// SystemTime: the real time source of the tick loop, the millisecond clock
// and a 1 ms sleep of the calling thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include "common/MillisecondClock.h"

struct SystemTime {
    void start() { clock.start(); }
    std::uint32_t now() { return clock.now(); }
    void sleepOneMillisecond() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

    MillisecondClock clock;
};
