// MillisecondClock: a wrapping 32-bit millisecond count on the host's
// high-resolution counter, rebased by whole seconds so that the counter
// arithmetic never overflows. It starts at the system tick count and runs at
// the counter's rate; without a counter it falls back to the tick count.
//
// Used by the player's tick loop and by every board interface of the library.
// On this platform the high-resolution counter and the tick count both come
// from the monotonic clock (see Platform.h).
#pragma once

#include <cstdint>

class MillisecondClock {
public:
    // Reads the counter frequency and the two bases. Until start() runs the
    // frequency is 0 and now() returns the tick count.
    void start();

    // Milliseconds, wrapping modulo 2^32. Moves the base forward by whole
    // seconds, so it must be read at least once a second to stay exact.
    std::uint32_t now();

    std::int64_t frequency = 0;
    std::uint64_t baseCount = 0;
    std::uint32_t baseMilliseconds = 0;
};
