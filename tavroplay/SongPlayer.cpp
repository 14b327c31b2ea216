// Playing one song; see SongPlayer.h.
#include "tavroplay/SongPlayer.h"

#include <algorithm>
#include <cmath>

#include "tavroplay/SongChips.h"

namespace tavroplay {

namespace {
// While fading, the level is brought down at least this often (10 ms).
constexpr std::uint64_t fadeStepSamples = songs::sampleRate / 100;
// The fade's depth at its end; it then stops.
constexpr double fadeDepthDecibels = 60.0;
} // namespace

std::uint64_t SongPlayer::totalSamples() const {
    if (!loops()) return song_.length;
    if (endless()) return 0;
    return song_.loop->time + song_.loopLength() * static_cast<std::uint64_t>(options_.loops) +
           static_cast<std::uint64_t>(std::llround(options_.fadeSeconds * songs::sampleRate));
}

double SongPlayer::fadeAttenuation(std::uint64_t sample, std::uint64_t fadeStart,
                                   std::uint64_t fadeLength) {
    if (fadeLength == 0 || sample <= fadeStart) return 0;
    const double part = static_cast<double>(sample - fadeStart) / static_cast<double>(fadeLength);
    return fadeDepthDecibels * std::min(1.0, part);
}

std::optional<Request> SongPlayer::advance(Timeline* timeline, std::uint64_t target,
                                           std::uint64_t until) {
    const bool forward = timeline == nullptr;
    if (!position_.fading) {
        if (forward && target >= until) {
            position_.sample = std::max(position_.sample, until);
            return Request::go;
        }
        position_.sample = std::max(position_.sample, target);
        return std::nullopt;
    }
    while (position_.sample < target) {
        position_.sample = std::min(target, position_.sample + fadeStepSamples);
        if (forward && position_.sample >= until) {
            position_.sample = until;
            chips_.setAttenuation(fadeAttenuation(until, fadeStart_, fadeLength_));
            return Request::go;
        }
        if (!forward) {
            if (Request request = timeline->reach(position_); request != Request::go)
                return request;
            reached_ = position_.sample;
        }
        if (position_.sample >= fadeStart_ + fadeLength_) {
            finished_ = true;
            return Request::go;
        }
        chips_.setAttenuation(fadeAttenuation(position_.sample, fadeStart_, fadeLength_));
    }
    return std::nullopt;
}

Request SongPlayer::run(Timeline* timeline, std::uint64_t until) {
    const int passes = std::max(1, options_.loops);
    while (true) {
        if (next_ < song_.writes.size()) {
            const songs::SongWrite& write = song_.writes[next_];
            if (auto ended = advance(timeline, passStart_ + write.time, until)) return *ended;
            ++next_;
            if (timeline != nullptr && position_.sample != reached_) {
                if (Request request = timeline->reach(position_); request != Request::go)
                    return request;
                reached_ = position_.sample;
            }
            chips_.write(write);
            continue;
        }
        if (auto ended = advance(timeline, passStart_ + song_.length, until)) return *ended;
        if (loops() && (endless() || position_.pass < passes || fadeLength_ > 0)) {
            if (!endless() && position_.pass >= passes && !position_.fading) {
                position_.fading = true;
                fadeStart_ = position_.sample;
            }
            ++position_.pass;
            passStart_ += song_.length - song_.loop->time;
            next_ = song_.loop->write;
            continue;
        }
        finished_ = true;
        if (timeline != nullptr && position_.sample != reached_) return timeline->reach(position_);
        return Request::go;
    }
}

void SongPlayer::rewind() {
    position_ = {};
    reached_ = 0;
    fadeStart_ = 0;
    passStart_ = 0;
    next_ = 0;
    finished_ = false;
}

Request SongPlayer::seek(Timeline& timeline, Request request) {
    constexpr std::uint64_t step = seekSeconds * songs::sampleRate;
    const std::uint64_t from = timeline.heardSample(position_);
    const std::uint64_t target =
        request == Request::seekBack ? (from > step ? from - step : 0) : from + step;
    chips_.silence();
    chips_.setAttenuation(0);
    rewind();
    if (target > 0) run(nullptr, target);
    chips_.restore();
    if (finished_) return Request::go;
    timeline.jumped(position_);
    reached_ = position_.sample;
    return timeline.reach(position_);
}

Request SongPlayer::play(Timeline& timeline) {
    rewind();
    fadeLength_ = static_cast<std::uint64_t>(
        std::llround(std::max(0.0, options_.fadeSeconds) * songs::sampleRate));
    Request request = timeline.reach(position_);
    while (true) {
        while (request == Request::seekBack || request == Request::seekForward)
            request = seek(timeline, request);
        if (request != Request::go || finished_) return request;
        request = run(&timeline, 0);
    }
}

} // namespace tavroplay
