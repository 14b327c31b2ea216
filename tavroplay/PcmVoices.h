// PcmVoices: the software voices that play a song's samples (Song::pcm) for
// its ADPCM chip, as a register sink (the map in AdpcmFamily.h), mixed into
// the software chips' 48 kHz stereo output. A voice starts when its start is
// written, at the output frame the clock given says (the frame at which the
// FM chips sound writes made at the same moment), plays its sample once at
// the sample's rate (linear interpolation) until its end or its track's
// stop or the silence of every voice (each at the clock's frame too), at most one voice a track (a
// new start cuts the last), on the left, right or both sides as the track's pan, at the track's
// gain, under the attenuation of every voice (the fade), which too changes at the clock's frame of
// its write, step by step with the FM's. 12-bit samples are raised by pcmGain, which gives the
// voices the level against the software YM2151 that the reference driver's output has against its
// own (mdx/MdxMeasured.h, adpcmToFmLevel; test
// "WavRender.MdxSamplesHaveTheReferencesLevelAgainstTheFm").
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <vector>

#include "songs/Song.h"
#include "tavroplay/RegisterSink.h"

namespace tavroplay {

class PcmVoices : public RegisterSink {
public:
    static constexpr unsigned trackCount = 8;
    static constexpr double pcmGain = 6.6;

    PcmVoices(const std::vector<songs::SongPcm>& pcm, std::uint32_t outputRate,
              std::function<std::uint64_t()> now);
    void write(std::uint16_t address, std::uint8_t data) override;
    // Adds the voices to frames of interleaved stereo output, the first of
    // them the output's frame number first.
    void mix(std::int16_t* leftRight, std::size_t frames, std::uint64_t first);

private:
    struct Level {
        std::uint64_t frame; // from which it sounds
        double level;
    };
    void mixSpan(std::int16_t* leftRight, std::size_t frames, std::uint64_t first);

    struct Voice {
        bool playing = false;
        std::size_t pcm = 0;
        std::uint64_t start = 0;
        std::uint64_t stop = std::numeric_limits<std::uint64_t>::max(); // a stop's frame
    };
    const std::vector<songs::SongPcm>& pcm_;
    std::uint32_t outputRate_;
    std::function<std::uint64_t()> now_;
    std::array<Voice, trackCount> voices_{};
    std::array<std::uint8_t, trackCount> pans_{};
    std::array<double, trackCount> gains_{};
    double level_ = 1.0;
    std::deque<Level> levels_; // changes that have not sounded yet
};

} // namespace tavroplay
