// MixerDestination: the software chips (mixer/BoardMixer.h) as a song's
// destination, rendering into a 48 kHz 16-bit stereo sound file: each song's
// chips become software chips at the song's own clocks (so nothing is clock
// corrected), and each stretch of time between writes is rendered at once,
// as fast as the machine allows. The mixer sounds a write some milliseconds
// late (its resamplers' delay); the rendering makes up for it: it starts
// that much later and leaves the start out, and renders that much more at
// the end, so a song's sound starts and ends in the file where the song puts
// it, and each song takes exactly its length.
#pragma once

#include <sndfile.h>

#include <atomic>
#include <memory>
#include <vector>

#include "mixer/BoardMixer.h"
#include "tavroplay/Destination.h"
#include "tavroplay/PcmVoices.h"

namespace tavroplay {

class MixerDestination : public Destination {
public:
    MixerDestination(SNDFILE* out, const std::atomic<bool>& stop);
    ~MixerDestination() override;

    std::optional<PlacedChip> place(songs::ChipType type, std::uint32_t clock) override;
    void prepare(const songs::Song& song) override { song_ = &song; }
    void begin() override;
    std::unique_ptr<Timeline> timeline(std::vector<ChipFamily*> chips,
                                       StatusFunction status) override;
    void end(bool finished) override;
    std::string_view scope() const override { return "among the software chips"; }

    // Whether writing the file failed.
    bool failed() const { return failed_; }
    // Frames written to the file so far, every song.
    std::uint64_t framesWritten() const { return written_; }

private:
    class Sink;
    class Render;

    // Renders the mixer up to an output frame and writes what is due (all
    // but the first delay_ frames of the song), looking at the stop request
    // after every block; false when writing fails or a stop is asked for.
    bool renderTo(std::uint64_t target);

    SNDFILE* out_;
    const std::atomic<bool>& stop_;
    std::unique_ptr<mixer::BoardMixer> mixer_;
    std::vector<std::unique_ptr<Sink>> sinks_;
    const songs::Song* song_ = nullptr;
    std::unique_ptr<PcmVoices> pcm_; // a song's ADPCM voices
    std::uint64_t delay_ = 0;        // output frames from a write to its sound
    std::uint64_t rendered_ = 0;     // frames the mixer has rendered for this song
    std::uint64_t songEnd_ = 0;      // the song's last frame reached
    std::uint64_t written_ = 0;      // frames in the file
    StatusFunction status_;
    bool failed_ = false;
};

} // namespace tavroplay
