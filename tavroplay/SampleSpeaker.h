// SampleSpeaker: a song's samples played through the computer's speakers
// while its other chips play on a board, in step with them (LiveSamples.h):
// the sound server's output of the platform layer (common/AudioOutput.h),
// opened for the song, as a register sink for its ADPCM voices (the map in
// AdpcmFamily.h). Opening it loads the sound output's module: only a song
// with samples does. On a system without live sound, open says so.
//
// With TAVROPLAY_SAMPLE_LOG naming a file, closing appends one line per
// voice begun, "start track=N due-ms=D heard-ms=H" on the host's monotonic
// clock in milliseconds (when the board sounds the writes made with it, and
// when the sample's first frame is heard as the sound server reported it),
// and a line "end underruns=U reanchors=R latency-ms=L": for measuring how far
// the samples lie from the board (bench/tavroplay/measure-sample-sync.sh).
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "songs/Song.h"
#include "tavroplay/RegisterSink.h"

namespace tavroplay {

class SampleSpeaker : public RegisterSink {
public:
    // Output frames a second.
    static constexpr std::uint32_t rate = 48000;
    // What the sound server is asked to keep queued: under the library's
    // send delay (100 ms by default), so that a start is known before its
    // frame is made (a start that comes later begins part way into its
    // sample), and long enough for a busy machine not to let it run dry.
    static constexpr std::uint32_t bufferMs = 60;

    // Starts playing; aheadMs: from a write to the board's sound of it.
    // Nothing, with the reason in error, when no sound server answers.
    static std::unique_ptr<SampleSpeaker> open(const std::vector<songs::SongPcm>& pcm,
                                               double aheadMs, std::string& error);
    ~SampleSpeaker() override = default;
    // A new time from a write to the board's sound of it.
    virtual void setAhead(double aheadMs) = 0;
    // Waits, at most the time given, until the sound server has told when
    // its frames are heard (a start before that is heard late).
    virtual void waitForTiming(std::chrono::milliseconds longest) = 0;
    // Plays out what is queued and stops.
    virtual void close() = 0;
};

} // namespace tavroplay
