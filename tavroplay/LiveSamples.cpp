// A song's samples for a live output, in step with the board; see
// LiveSamples.h.
#include "tavroplay/LiveSamples.h"

#include <algorithm>
#include <cmath>

#include "tavroplay/AdpcmFamily.h"

namespace tavroplay {

namespace {
constexpr double nanosecondsPerMillisecond = 1e6;
constexpr double nanosecondsPerSecond = 1e9;
constexpr std::size_t channels = 2;
} // namespace

LiveSamples::LiveSamples(const std::vector<songs::SongPcm>& pcm, std::uint32_t rate,
                         std::function<std::int64_t()> now, double aheadMs)
    : rate_(rate), samples_(pcm.size()), now_(std::move(now)),
      aheadNs_(std::llround(aheadMs * nanosecondsPerMillisecond)), clock_(rate),
      voices_(pcm, rate, [this] { return frameOfWrite(); }) {}

std::uint64_t LiveSamples::frameOfWrite() {
    lastDueNs_ = now_() + aheadNs_;
    // Before the output's first request: as soon as it asks.
    lastWriteFrame_ = clock_.frameAt(lastDueNs_).value_or(made_);
    return lastWriteFrame_;
}

void LiveSamples::write(std::uint16_t address, std::uint8_t data) {
    const std::lock_guard lock(mutex_);
    voices_.write(address, data);
    const bool start = address >= AdpcmFamily::startBase &&
                       address < AdpcmFamily::startBase + AdpcmFamily::trackCount;
    if (start && data < samples_)
        pending_.push_back(
            {static_cast<unsigned>(address - AdpcmFamily::startBase), lastWriteFrame_, lastDueNs_});
}

void LiveSamples::setAhead(double aheadMs) {
    const std::lock_guard lock(mutex_);
    aheadNs_ = std::llround(aheadMs * nanosecondsPerMillisecond);
}

void LiveSamples::fill(std::int16_t* leftRight, std::size_t frames,
                       std::optional<std::int64_t> heardNs) {
    std::fill_n(leftRight, channels * frames, std::int16_t{0});
    const std::lock_guard lock(mutex_);
    if (heardNs) clock_.observe(made_, *heardNs);
    voices_.mix(leftRight, frames, made_);
    const std::uint64_t end = made_ + frames;
    // The voices whose first frame is among these (or went by already: a
    // start that came too late begins part way into its sample).
    const auto begun = std::partition(pending_.begin(), pending_.end(),
                                      [end](const Pending& start) { return start.frame >= end; });
    if (heardNs)
        for (auto start = begun; start != pending_.end(); ++start) {
            const double offset = (static_cast<double>(start->frame) - static_cast<double>(made_)) *
                                  nanosecondsPerSecond / rate_;
            starts_.push_back(
                {start->track, start->dueNs, *heardNs + static_cast<std::int64_t>(offset)});
        }
    pending_.erase(begun, pending_.end());
    made_ = end;
}

bool LiveSamples::timed() const {
    const std::lock_guard lock(mutex_);
    return clock_.heardAt(0).has_value();
}

std::vector<LiveSamples::Start> LiveSamples::starts() const {
    const std::lock_guard lock(mutex_);
    return starts_;
}

std::uint64_t LiveSamples::reanchors() const {
    const std::lock_guard lock(mutex_);
    return clock_.reanchors();
}

} // namespace tavroplay
