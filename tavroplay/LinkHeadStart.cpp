// The head start a song's bursts need on the link; see LinkHeadStart.h.
#include "tavroplay/LinkHeadStart.h"

#include <algorithm>
#include <cmath>

namespace tavroplay {
namespace {

constexpr double samplesPerMillisecond = 44.1;
// One pass of the library's worker, and a rounding up to whole milliseconds.
constexpr double passMarginMilliseconds = 2;

} // namespace

double linkHeadStartMilliseconds(const std::vector<std::uint64_t>& times, double writesPerSecond) {
    if (writesPerSecond <= 0) return 0;
    const double writeMilliseconds = 1000 / writesPerSecond;
    double linkFreeAt = 0;
    double longestWait = 0;
    for (std::uint64_t time : times) {
        const double due = static_cast<double>(time) / samplesPerMillisecond;
        const double start = std::max(linkFreeAt, due);
        longestWait = std::max(longestWait, start - due);
        if (longestWait >= maxHeadStartMilliseconds) return maxHeadStartMilliseconds;
        linkFreeAt = start + writeMilliseconds;
    }
    return longestWait;
}

std::int32_t sendDelayFor(std::int32_t librarySendDelay, double headStartMilliseconds) {
    if (headStartMilliseconds <= 0) return librarySendDelay;
    const auto needed =
        static_cast<std::int32_t>(std::ceil(headStartMilliseconds + passMarginMilliseconds));
    return std::max(librarySendDelay, needed);
}

} // namespace tavroplay
