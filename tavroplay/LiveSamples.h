// LiveSamples: a song's samples (PcmVoices) made for a live sound output, in
// step with the song's writes to a board. A start written at host time t
// sounds at t + ahead (the library's send delay and the wire's time: when the
// board sounds the writes made with it): its voice begins at the output
// frame that the output's clock (SampleClock) says is heard then. The output
// asks for frames from its own thread (fill), telling when the first of them
// is heard; the song's writes come from the player's thread (write): a lock
// keeps the two apart, held only to set or mix the voices.
//
// Each voice begun is kept with the host time its first frame is heard, as
// the output reported it when the frame was made (not as the clock's smoothed
// estimate), and the time it was due, for measuring how far the samples lie
// from the board.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "common/SampleClock.h"
#include "songs/Song.h"
#include "tavroplay/PcmVoices.h"
#include "tavroplay/RegisterSink.h"

namespace tavroplay {

class LiveSamples : public RegisterSink {
public:
    struct Start {
        unsigned track;
        std::int64_t dueNs;   // when the board sounds the writes made with it
        std::int64_t heardNs; // when its first frame is heard
    };

    // now: the host's monotonic clock in nanoseconds; aheadMs: from a write
    // to the board's sound of it.
    LiveSamples(const std::vector<songs::SongPcm>& pcm, std::uint32_t rate,
                std::function<std::int64_t()> now, double aheadMs);

    void write(std::uint16_t address, std::uint8_t data) override;
    // A new time from a write to the board's sound of it (the send delay
    // changed).
    void setAhead(double aheadMs);
    // The output's next frames (interleaved stereo), the first of them heard
    // at heardNs (nothing when the output cannot tell yet).
    void fill(std::int16_t* leftRight, std::size_t frames, std::optional<std::int64_t> heardNs);

    // The output has told when its frames are heard.
    bool timed() const;
    // The voices begun so far.
    std::vector<Start> starts() const;
    std::uint64_t reanchors() const;

private:
    struct Pending {
        unsigned track;
        std::uint64_t frame;
        std::int64_t dueNs;
    };
    // The output frame at which what is written now sounds.
    std::uint64_t frameOfWrite();

    mutable std::mutex mutex_; // guards everything below
    std::uint32_t rate_;
    std::size_t samples_; // the song's samples
    std::function<std::int64_t()> now_;
    std::int64_t aheadNs_;
    platform::SampleClock clock_;
    PcmVoices voices_;
    std::uint64_t made_ = 0; // frames given to the output
    std::uint64_t lastWriteFrame_ = 0;
    std::int64_t lastDueNs_ = 0;
    std::vector<Pending> pending_;
    std::vector<Start> starts_;
};

} // namespace tavroplay
