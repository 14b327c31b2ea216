// The board player's time; see RealTimeline.h.
#include "tavroplay/RealTimeline.h"

#include <algorithm>

#include "common/KeySequence.h"
#include "common/Platform.h"

namespace tavroplay {

namespace {
constexpr std::int64_t millisecond = 1000000;
constexpr std::int64_t statusPeriod = 100 * millisecond;
// The longest sleep between looks at the keys and the stop request.
constexpr std::int64_t longestSleep = 10 * millisecond;
} // namespace

RealTimeline::RealTimeline(std::vector<ChipFamily*> chips,
                           std::function<void(const Position&, bool)> status,
                           const std::atomic<bool>& stop, std::function<void()> drain)
    : chips_(std::move(chips)), status_(std::move(status)), stop_(stop), drain_(std::move(drain)) {}

std::int64_t RealTimeline::dueNanoseconds(std::uint64_t sample) {
    constexpr std::uint64_t second = 1000000000;
    return static_cast<std::int64_t>(sample / songs::sampleRate * second +
                                     sample % songs::sampleRate * second / songs::sampleRate);
}

Request RealTimeline::keyRequest(int key) const {
    switch (key) {
    case 'n':
    case 'N': return Request::next;
    case 'p':
    case 'P': return Request::previous;
    case 'q':
    case 'Q': return Request::quit;
    case KeySequence::arrowLeft: return Request::seekBack;
    case KeySequence::arrowRight: return Request::seekForward;
    default: return Request::go;
    }
}

void RealTimeline::showStatus(const Position& position, bool paused) {
    if (!status_) return;
    status_(position, paused);
    lastStatus_ = clock_.nanoseconds();
}

void RealTimeline::sleepUntil(std::int64_t due) {
    const std::int64_t remaining = due - clock_.nanoseconds();
    if (remaining <= 0) return;
    if (remaining > 2 * millisecond) {
        // Whole milliseconds through the platform (which makes the system
        // timer fine enough), leaving the last one for the exact wait.
        platform::sleepMilliseconds(
            static_cast<std::uint32_t>(std::min(remaining, longestSleep) / millisecond - 1));
        return;
    }
    platform::waitNanoseconds(remaining);
}

Request RealTimeline::pause(const Position& position) {
    const std::int64_t pausedAt = clock_.nanoseconds();
    for (ChipFamily* chip : chips_)
        chip->silence();
    showStatus(position, true);
    Request request = Request::go;
    while (true) {
        if (stop_.load(std::memory_order_relaxed)) {
            request = Request::stop;
            break;
        }
        const int key = platform::readKey();
        if (key == ' ') break;
        if (key == KeySequence::suspend) {
            suspend(position, true);
            continue;
        }
        request = keyRequest(key);
        if (request != Request::go) break;
        platform::sleepMilliseconds(10);
    }
    if (request != Request::go) return request;
    for (ChipFamily* chip : chips_)
        chip->restore();
    start_ += clock_.nanoseconds() - pausedAt;
    showStatus(position, false);
    return Request::go;
}

void RealTimeline::suspend(const Position& position, bool paused) {
    const std::int64_t stoppedAt = clock_.nanoseconds();
    if (!paused)
        for (ChipFamily* chip : chips_)
            chip->silence();
    if (drain_) drain_();
    platform::suspendProcess();
    if (!paused) {
        for (ChipFamily* chip : chips_)
            chip->restore();
        start_ += clock_.nanoseconds() - stoppedAt;
    }
    showStatus(position, paused);
}

std::uint64_t RealTimeline::heardSample(const Position& position) const {
    if (!started_) return 0;
    const std::int64_t played = std::max<std::int64_t>(0, clock_.nanoseconds() - start_);
    return std::min<std::uint64_t>(position.sample, samplesOf(played));
}

std::uint64_t RealTimeline::samplesOf(std::int64_t nanoseconds) {
    return static_cast<std::uint64_t>(nanoseconds / 1000 * songs::sampleRate / 1000000);
}

void RealTimeline::jumped(const Position& position) {
    start_ = clock_.nanoseconds() - dueNanoseconds(position.sample);
    lastStatus_ = -1;
}

Request RealTimeline::reach(const Position& position) {
    if (!started_) {
        clock_.start();
        start_ = clock_.nanoseconds();
        started_ = true;
    }
    const std::int64_t offset = dueNanoseconds(position.sample);
    while (true) {
        if (stop_.load(std::memory_order_relaxed)) return Request::stop;
        for (int key = platform::readKey(); key >= 0; key = platform::readKey()) {
            if (key == ' ') {
                if (Request request = pause(position); request != Request::go) return request;
            } else if (key == KeySequence::suspend) {
                suspend(position, false);
            } else if (Request request = keyRequest(key); request != Request::go) {
                return request;
            }
        }
        const std::int64_t now = clock_.nanoseconds();
        if (status_ && now - lastStatus_ >= statusPeriod) {
            // Between writes the time shown runs on with the clock.
            Position shown = position;
            shown.sample = std::min<std::uint64_t>(
                position.sample, samplesOf(std::max<std::int64_t>(0, now - start_)));
            showStatus(shown, false);
        }
        const std::int64_t due = start_ + offset;
        if (now >= due) return Request::go;
        sleepUntil(std::min(due, now + longestSleep));
    }
}

} // namespace tavroplay
