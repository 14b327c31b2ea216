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
    return song_.loop->time + song_.loopLength() * static_cast<std::uint64_t>(options_.loops) +
           static_cast<std::uint64_t>(std::llround(options_.fadeSeconds * songs::sampleRate));
}

double SongPlayer::fadeAttenuation(std::uint64_t sample, std::uint64_t fadeStart,
                                   std::uint64_t fadeLength) {
    if (fadeLength == 0 || sample <= fadeStart) return 0;
    const double part = static_cast<double>(sample - fadeStart) / static_cast<double>(fadeLength);
    return fadeDepthDecibels * std::min(1.0, part);
}

std::optional<Request> SongPlayer::advance(Timeline& timeline, std::uint64_t target) {
    if (!position_.fading) {
        position_.sample = std::max(position_.sample, target);
        return std::nullopt;
    }
    while (position_.sample < target) {
        position_.sample = std::min(target, position_.sample + fadeStepSamples);
        if (Request request = timeline.reach(position_); request != Request::go) return request;
        reached_ = position_.sample;
        if (position_.sample >= fadeStart_ + fadeLength_) return Request::go;
        chips_.setAttenuation(fadeAttenuation(position_.sample, fadeStart_, fadeLength_));
    }
    return std::nullopt;
}

Request SongPlayer::play(Timeline& timeline) {
    position_ = {};
    reached_ = 0;
    fadeStart_ = 0;
    fadeLength_ = static_cast<std::uint64_t>(
        std::llround(std::max(0.0, options_.fadeSeconds) * songs::sampleRate));
    const int passes = std::max(1, options_.loops);
    std::uint64_t passStart = 0; // the song's time 0 in this pass, on the position's clock
    std::size_t next = 0;

    if (Request request = timeline.reach(position_); request != Request::go) return request;
    while (true) {
        if (next < song_.writes.size()) {
            const songs::SongWrite& write = song_.writes[next++];
            if (auto ended = advance(timeline, passStart + write.time)) return *ended;
            if (position_.sample != reached_) {
                if (Request request = timeline.reach(position_); request != Request::go)
                    return request;
                reached_ = position_.sample;
            }
            chips_.write(write);
            continue;
        }
        if (auto ended = advance(timeline, passStart + song_.length)) return *ended;
        if (loops() && (position_.pass < passes || fadeLength_ > 0)) {
            if (position_.pass >= passes && !position_.fading) {
                position_.fading = true;
                fadeStart_ = position_.sample;
            }
            ++position_.pass;
            passStart += song_.length - song_.loop->time;
            next = song_.loop->write;
            continue;
        }
        if (position_.sample != reached_) return timeline.reach(position_);
        return Request::go;
    }
}

} // namespace tavroplay
