// HostClock: the host's monotonic clock in nanoseconds since start(), on the
// platform's high-resolution counter, for scheduling against an absolute start
// so that nothing drifts. Without a counter it runs on the millisecond tick
// count.
#pragma once

#include <cstdint>

#include "common/Platform.h"

class HostClock {
public:
    void start() {
        frequency_ = platform::counterFrequency();
        startCount_ = frequency_ != 0 ? platform::counterValue() : 0;
        startTicks_ = platform::tickCount();
    }

    std::int64_t nanoseconds() const {
        if (frequency_ == 0)
            return static_cast<std::int64_t>(std::uint32_t(platform::tickCount() - startTicks_)) *
                   1000000;
        const std::uint64_t elapsed = platform::counterValue() - startCount_;
        const auto frequency = static_cast<std::uint64_t>(frequency_);
        return static_cast<std::int64_t>(elapsed / frequency * 1000000000u +
                                         elapsed % frequency * 1000000000u / frequency);
    }

private:
    std::int64_t frequency_ = 0;
    std::uint64_t startCount_ = 0;
    std::uint32_t startTicks_ = 0;
};
