// SongPlayer: plays one song onto its chips along a Timeline: the board
// player's waits in real time, or the renderer's, which makes the sound of
// each stretch as fast as it can.
//
// A song with a loop plays its loop `loops` times in all, then goes on
// looping while it fades out over fadeSeconds (0: it ends at once); with
// loops 0 it loops until the timeline asks for something else. A song
// without a loop ends at its end, after its last wait.
#pragma once

#include <cstdint>
#include <optional>

#include "songs/Song.h"

namespace tavroplay {

class SongChips;

// Where playing stands, for the timeline and the status line.
struct Position {
    std::uint64_t sample = 0; // since the start of the song, loops included
    int pass = 1;             // 1 for the first pass, up to loops; then fading
    bool fading = false;
};

// What the listener wants after a stretch of time.
enum class Request { go, next, previous, quit, stop, seekBack, seekForward };

class Timeline {
public:
    virtual ~Timeline() = default;
    // Returns once the position's time has come (or at once), with what to do.
    virtual Request reach(const Position& position) = 0;
    // The sample being heard while the timeline waits for position (a seek
    // moves from there); the position's own by default.
    virtual std::uint64_t heardSample(const Position& position) const { return position.sample; }
    // After a seek: playing goes on from this position now.
    virtual void jumped(const Position&) {}
};

struct PlayOptions {
    int loops = 2; // 0: endless
    double fadeSeconds = 3;
};

class SongPlayer {
public:
    SongPlayer(const songs::Song& song, SongChips& chips, PlayOptions options)
        : song_(song), chips_(chips), options_(options) {}

    // Plays to the end; go when it ended by itself, else the listener's
    // request. A seek request (seekSeconds back or forward from the sample
    // heard) is served here: the chips fall silent, the song is gone through
    // from its start up to the new time without waiting (its writes only
    // kept), the chips get every register at once, and playing goes on from
    // there; a seek past the end ends the song.
    Request play(Timeline& timeline);

    static constexpr std::uint64_t seekSeconds = 5;

    // Samples the whole performance lasts: the intro, the loops and the
    // fade; 0 when it loops without end.
    std::uint64_t totalSamples() const;
    bool loops() const { return song_.loop && song_.loopLength() != 0; }
    // A looping song played with loops 0: it loops until the listener goes on.
    bool endless() const { return loops() && options_.loops == 0; }

    // Attenuation in dB at a sample of the fade that began at fadeStart.
    static double fadeAttenuation(std::uint64_t sample, std::uint64_t fadeStart,
                                  std::uint64_t fadeLength);

private:
    // Moves the position on to a sample; while fading the levels come down
    // on the way. Nothing to go on, else the request that ends playing (go
    // when the fade has ended). Without a timeline (fast-forward) it stops
    // at until: Request::go with the position there.
    std::optional<Request> advance(Timeline* timeline, std::uint64_t target, std::uint64_t until);
    // Plays on from where it stands until the timeline asks for something
    // or the song ends (go, finished_ set); without a timeline, goes through
    // the song without waiting up to the sample until.
    Request run(Timeline* timeline, std::uint64_t until);
    // Serves a seek request; what the timeline says at the new position.
    Request seek(Timeline& timeline, Request request);
    void rewind();

    const songs::Song& song_;
    SongChips& chips_;
    PlayOptions options_;
    Position position_;
    std::uint64_t reached_ = 0;
    std::uint64_t fadeStart_ = 0;
    std::uint64_t fadeLength_ = 0;
    std::uint64_t passStart_ = 0; // the song's time 0 in this pass, on the position's clock
    std::size_t next_ = 0;        // the next write
    bool finished_ = false;
};

} // namespace tavroplay
