// SystemTime: the real time source of the player's tick loop, the millisecond clock
// and a 1 ms sleep of the calling thread.
#pragma once

#include <cstdint>

#include "common/MillisecondClock.h"
#include "common/Platform.h"

struct SystemTime {
    void start() { clock.start(); }
    std::uint32_t now() { return clock.now(); }
    void sleepOneMillisecond() { platform::sleepMilliseconds(1); }

    MillisecondClock clock;
};
