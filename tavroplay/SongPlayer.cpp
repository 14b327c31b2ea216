// Playing one file; see SongPlayer.h.
#include "tavroplay/SongPlayer.h"

#include <algorithm>
#include <cmath>

namespace tavroplay {

namespace {
// While fading, the level is brought down at least this often (10 ms).
constexpr std::uint64_t fadeStepSamples = vgm::sampleRate / 100;
// The fade's depth at its end; it then stops.
constexpr double fadeDepthDecibels = 60.0;
} // namespace

bool SongPlayer::loops() const {
    return file_.header().loopStart != 0 && file_.streamLoopSamples() != 0;
}

bool SongPlayer::endless() const {
    return loops() && options_.loops == 0;
}

std::uint64_t SongPlayer::totalSamples() const {
    if (!loops()) return file_.streamSamples();
    if (endless()) return 0;
    const std::uint64_t intro = file_.streamSamples() - file_.streamLoopSamples();
    return intro + file_.streamLoopSamples() * static_cast<std::uint64_t>(options_.loops) +
           static_cast<std::uint64_t>(std::llround(options_.fadeSeconds * vgm::sampleRate));
}

double SongPlayer::fadeAttenuation(std::uint64_t sample, std::uint64_t fadeStart,
                                   std::uint64_t fadeLength) {
    if (fadeLength == 0 || sample <= fadeStart) return 0;
    const double part = static_cast<double>(sample - fadeStart) / static_cast<double>(fadeLength);
    return fadeDepthDecibels * std::min(1.0, part);
}

void SongPlayer::setAttenuation(double decibels) {
    for (auto& pair : chips_)
        for (PlayedChip* chip : pair)
            if (chip != nullptr) chip->setAttenuation(decibels);
}

void SongPlayer::forEachChip(void (PlayedChip::*action)()) {
    for (auto& pair : chips_)
        for (PlayedChip* chip : pair)
            if (chip != nullptr) (chip->*action)();
}

std::uint64_t SongPlayer::fadeLength() const {
    return static_cast<std::uint64_t>(
        std::llround(std::max(0.0, options_.fadeSeconds) * vgm::sampleRate));
}

Request SongPlayer::advance(Cursor& cursor, Timeline* timeline, std::uint64_t until) {
    const bool forward = timeline == nullptr;
    const int passes = std::max(1, options_.loops);
    Position& position = cursor.position;
    while (true) {
        // The rest of the wait under way: while fading, the levels come down
        // in steps, writes or not.
        while (position.sample < cursor.waitEnd) {
            const std::uint64_t next =
                position.fading ? std::min(cursor.waitEnd, position.sample + fadeStepSamples)
                                : cursor.waitEnd;
            if (forward && next >= until) {
                position.sample = until;
                if (position.fading)
                    setAttenuation(fadeAttenuation(until, cursor.fadeStart, fadeLength()));
                return Request::go;
            }
            position.sample = next;
            if (!position.fading) break;
            if (!forward) {
                if (Request request = timeline->reach(position); request != Request::go)
                    return request;
                cursor.reached = position.sample;
            }
            if (position.sample >= cursor.fadeStart + fadeLength()) {
                cursor.finished = true;
                return Request::go;
            }
            setAttenuation(fadeAttenuation(position.sample, cursor.fadeStart, fadeLength()));
        }
        const vgm::VgmEvent event = cursor.reader.next();
        switch (event.kind) {
        case vgm::VgmEvent::wait: cursor.waitEnd = position.sample + event.samples; break;
        case vgm::VgmEvent::write:
            if (!forward && position.sample != cursor.reached) {
                if (Request request = timeline->reach(position); request != Request::go)
                    return request;
                cursor.reached = position.sample;
            }
            if (PlayedChip* chip = chips_[static_cast<std::size_t>(event.chip)][event.index])
                chip->write(event.address, event.data);
            break;
        case vgm::VgmEvent::end:
            if (loops() && (endless() || position.pass < passes || fadeLength() > 0)) {
                if (!endless() && position.pass >= passes && !position.fading) {
                    position.fading = true;
                    cursor.fadeStart = position.sample;
                }
                ++position.pass;
                cursor.reader.seek(file_.header().loopStart);
                break;
            }
            cursor.finished = true;
            if (!forward && position.sample != cursor.reached) return timeline->reach(position);
            return Request::go;
        case vgm::VgmEvent::fault: cursor.finished = true; return Request::go;
        case vgm::VgmEvent::other: break;
        }
    }
}

Request SongPlayer::seek(Cursor& cursor, Timeline& timeline, Request request) {
    constexpr std::uint64_t step = seekSeconds * vgm::sampleRate;
    const std::uint64_t from = timeline.heardSample(cursor.position);
    const std::uint64_t target =
        request == Request::seekBack ? (from > step ? from - step : 0) : from + step;
    forEachChip(&PlayedChip::silence);
    setAttenuation(0);
    cursor = Cursor{file_.commands(), {}};
    if (target > 0) advance(cursor, nullptr, target);
    forEachChip(&PlayedChip::restore);
    if (cursor.finished) return Request::go;
    timeline.jumped(cursor.position);
    cursor.reached = cursor.position.sample;
    return timeline.reach(cursor.position);
}

Request SongPlayer::play(Timeline& timeline) {
    Cursor cursor{file_.commands(), {}};
    Request request = timeline.reach(cursor.position);
    while (true) {
        while (request == Request::seekBack || request == Request::seekForward)
            request = seek(cursor, timeline, request);
        if (request != Request::go || cursor.finished) return request;
        request = advance(cursor, &timeline, 0);
    }
}

} // namespace tavroplay
