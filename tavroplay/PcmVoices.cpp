// The software ADPCM voices; see PcmVoices.h.
#include "tavroplay/PcmVoices.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tavroplay/AdpcmFamily.h"

namespace tavroplay {

namespace {
constexpr std::uint8_t panLeft = 1;
constexpr std::uint8_t panRight = 2;
constexpr std::uint8_t panBoth = panLeft | panRight;
constexpr double decibelsPerTwentyfold = 20.0;
constexpr double gainUnit = 16.0;
} // namespace

PcmVoices::PcmVoices(const std::vector<songs::SongPcm>& pcm, std::uint32_t outputRate,
                     std::function<std::uint64_t()> now)
    : pcm_(pcm), outputRate_(outputRate), now_(std::move(now)) {
    pans_.fill(panBoth);
    gains_.fill(1.0);
}

void PcmVoices::write(std::uint16_t address, std::uint8_t data) {
    if (address < AdpcmFamily::startBase + trackCount) {
        if (data < pcm_.size()) voices_[address] = {true, data, now_(), Voice{}.stop};
    } else if (address >= AdpcmFamily::panBase && address < AdpcmFamily::panBase + trackCount) {
        pans_[address - AdpcmFamily::panBase] = data & panBoth;
    } else if (address >= AdpcmFamily::stopBase && address < AdpcmFamily::stopBase + trackCount) {
        // The stop sounds when the writes made with it do.
        voices_[address - AdpcmFamily::stopBase].stop = now_();
    } else if (address >= AdpcmFamily::gainBase && address < AdpcmFamily::gainBase + trackCount) {
        gains_[address - AdpcmFamily::gainBase] = data / gainUnit;
    } else if (address == AdpcmFamily::attenuationRegister) {
        // The level changes when the writes made with it sound; a later
        // write for the same frame or an earlier one replaces what waits.
        const double level = data >= AdpcmFamily::mutedSteps
                                 ? 0.0
                                 : std::pow(10.0, -data * AdpcmFamily::attenuationStepDecibels /
                                                      decibelsPerTwentyfold);
        const std::uint64_t at = now_();
        while (!levels_.empty() && levels_.back().frame >= at)
            levels_.pop_back();
        levels_.push_back({at, level});
    } else if (address == AdpcmFamily::stopRegister) {
        // Silence too sounds when the writes made with it do.
        const std::uint64_t at = now_();
        for (Voice& voice : voices_)
            voice.stop = std::min(voice.stop, at);
    }
}

void PcmVoices::mix(std::int16_t* leftRight, std::size_t frames, std::uint64_t first) {
    // In spans of one level each.
    const std::uint64_t end = first + frames;
    for (std::uint64_t from = first; from < end;) {
        while (!levels_.empty() && levels_.front().frame <= from) {
            level_ = levels_.front().level;
            levels_.pop_front();
        }
        const std::uint64_t to = levels_.empty() ? end : std::min(end, levels_.front().frame);
        mixSpan(leftRight + 2 * (from - first), static_cast<std::size_t>(to - from), from);
        from = to;
    }
}

void PcmVoices::mixSpan(std::int16_t* leftRight, std::size_t frames, std::uint64_t first) {
    for (unsigned track = 0; track < trackCount; ++track) {
        Voice& voice = voices_[track];
        if (!voice.playing) continue;
        const songs::SongPcm& pcm = pcm_[voice.pcm];
        const double step = static_cast<double>(pcm.rate) / outputRate_;
        const double gain = pcmGain * level_ * gains_[track];
        for (std::size_t frame = 0; frame < frames; ++frame) {
            const std::uint64_t at = first + frame;
            if (at < voice.start) continue;
            if (at >= voice.stop) {
                voice.playing = false;
                break;
            }
            const double position = static_cast<double>(at - voice.start) * step;
            const auto index = static_cast<std::size_t>(position);
            if (index + 1 >= pcm.samples.size()) {
                voice.playing = false;
                break;
            }
            const double part = position - static_cast<double>(index);
            const double sample =
                gain * (pcm.samples[index] * (1.0 - part) + pcm.samples[index + 1] * part);
            for (unsigned side = 0; side < 2; ++side) {
                if ((pans_[track] >> side & 1) == 0) continue;
                std::int16_t& out = leftRight[2 * frame + side];
                out = static_cast<std::int16_t>(std::clamp<long>(
                    std::lround(out + sample), std::numeric_limits<std::int16_t>::min(),
                    std::numeric_limits<std::int16_t>::max()));
            }
        }
    }
}

} // namespace tavroplay
