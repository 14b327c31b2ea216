// MillisecondClock: see MillisecondClock.h.
#include "common/MillisecondClock.h"

#include "common/Platform.h"

void MillisecondClock::start() {
    frequency = platform::counterFrequency();
    if (frequency != 0) {
        baseMilliseconds = platform::tickCount();
        baseCount = platform::counterValue();
    }
}

std::uint32_t MillisecondClock::now() {
    if (frequency == 0) return platform::tickCount();
    const std::uint64_t elapsed = platform::counterValue() - baseCount;
    const std::uint64_t ms = elapsed * 1000u / static_cast<std::uint64_t>(frequency);
    const std::uint32_t result = baseMilliseconds + static_cast<std::uint32_t>(ms);
    if (ms >= 1000) {
        const std::uint64_t whole = ms / 1000;
        baseCount += whole * static_cast<std::uint64_t>(frequency);
        baseMilliseconds += static_cast<std::uint32_t>(whole * 1000);
    }
    return result;
}
