// The output's frames on the host's clock; see SampleClock.h.
#include "common/SampleClock.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {
constexpr double nanosecondsPerSecond = 1e9;
} // namespace

double SampleClock::originOf(std::uint64_t frame, std::int64_t heardNs) const {
    return static_cast<double>(heardNs) -
           static_cast<double>(frame) * nanosecondsPerSecond / static_cast<double>(rate_);
}

void SampleClock::observe(std::uint64_t frame, std::int64_t heardNs) {
    const double reported = originOf(frame, heardNs);
    if (!originNs_) {
        originNs_ = reported;
        reports_ = 1;
        return;
    }
    const double difference = reported - *originNs_;
    const double bound = static_cast<double>(reanchorNanoseconds);
    if (std::abs(difference) > bound) {
        if (!farOriginNs_ || std::abs(reported - *farOriginNs_) > bound) {
            farOriginNs_ = reported;
            return;
        }
        originNs_ = (reported + *farOriginNs_) / 2;
        farOriginNs_.reset();
        reports_ = 2;
        ++reanchors_;
        return;
    }
    farOriginNs_.reset();
    ++reports_;
    *originNs_ += difference * std::max(smoothing, 1.0 / static_cast<double>(reports_));
}

std::optional<std::uint64_t> SampleClock::frameAt(std::int64_t ns) const {
    if (!originNs_) return std::nullopt;
    const double frame =
        (static_cast<double>(ns) - *originNs_) * static_cast<double>(rate_) / nanosecondsPerSecond;
    return frame <= 0 ? 0 : static_cast<std::uint64_t>(std::llround(frame));
}

std::optional<std::int64_t> SampleClock::heardAt(std::uint64_t frame) const {
    if (!originNs_) return std::nullopt;
    return static_cast<std::int64_t>(
        std::llround(*originNs_ + static_cast<double>(frame) * nanosecondsPerSecond /
                                      static_cast<double>(rate_)));
}

} // namespace platform
