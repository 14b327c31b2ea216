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

std::uint64_t SongPlayer::totalSamples() const {
    if (!loops()) return file_.streamSamples();
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

Request SongPlayer::play(Timeline& timeline) {
    vgm::CommandReader reader = file_.commands();
    Position position;
    std::uint64_t reached = 0;
    std::uint64_t fadeStart = 0;
    const auto fadeLength = static_cast<std::uint64_t>(
        std::llround(std::max(0.0, options_.fadeSeconds) * vgm::sampleRate));
    const int passes = std::max(1, options_.loops);

    if (Request request = timeline.reach(position); request != Request::go) return request;
    while (true) {
        const vgm::VgmEvent event = reader.next();
        switch (event.kind) {
        case vgm::VgmEvent::wait:
            if (!position.fading) {
                position.sample += event.samples;
                break;
            }
            // Fading: the levels come down in steps, writes or not.
            for (std::uint64_t target = position.sample + event.samples;
                 position.sample < target;) {
                position.sample = std::min(target, position.sample + fadeStepSamples);
                if (Request request = timeline.reach(position); request != Request::go)
                    return request;
                reached = position.sample;
                if (position.sample >= fadeStart + fadeLength) return Request::go;
                setAttenuation(fadeAttenuation(position.sample, fadeStart, fadeLength));
            }
            break;
        case vgm::VgmEvent::write: {
            if (position.sample != reached) {
                if (Request request = timeline.reach(position); request != Request::go)
                    return request;
                reached = position.sample;
            }
            if (PlayedChip* chip = chips_[static_cast<std::size_t>(event.chip)][event.index])
                chip->write(event.address, event.data);
            break;
        }
        case vgm::VgmEvent::end:
            if (loops() && (position.pass < passes || (fadeLength > 0))) {
                if (position.pass >= passes && !position.fading) {
                    position.fading = true;
                    fadeStart = position.sample;
                }
                ++position.pass;
                reader.seek(file_.header().loopStart);
                break;
            }
            if (position.sample != reached) return timeline.reach(position);
            return Request::go;
        case vgm::VgmEvent::fault: return Request::go;
        case vgm::VgmEvent::other: break;
        }
    }
}

} // namespace tavroplay
