// SongPlayer: plays one song onto its chips along a Timeline: the board
// player's waits in real time, or the renderer's, which makes the sound of
// each stretch as fast as it can.
//
// A song with a loop plays its loop `loops` times in all, then goes on
// looping while it fades out over fadeSeconds (0: it ends at once); a song
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
enum class Request { go, next, previous, quit, stop };

class Timeline {
public:
    virtual ~Timeline() = default;
    // Returns once the position's time has come (or at once), with what to do.
    virtual Request reach(const Position& position) = 0;
};

struct PlayOptions {
    int loops = 2;
    double fadeSeconds = 3;
};

class SongPlayer {
public:
    SongPlayer(const songs::Song& song, SongChips& chips, PlayOptions options)
        : song_(song), chips_(chips), options_(options) {}

    // Plays to the end; go when it ended by itself, else the listener's request.
    Request play(Timeline& timeline);

    // Samples the whole performance lasts: the intro, the loops and the fade.
    std::uint64_t totalSamples() const;
    bool loops() const { return song_.loop && song_.loopLength() != 0; }

    // Attenuation in dB at a sample of the fade that began at fadeStart.
    static double fadeAttenuation(std::uint64_t sample, std::uint64_t fadeStart,
                                  std::uint64_t fadeLength);

private:
    // Moves the position on to a sample; while fading the levels come down
    // on the way. Nothing to go on, else the request that ends playing (go
    // when the fade has ended).
    std::optional<Request> advance(Timeline& timeline, std::uint64_t target);

    const songs::Song& song_;
    SongChips& chips_;
    PlayOptions options_;
    Position position_;
    std::uint64_t reached_ = 0;
    std::uint64_t fadeStart_ = 0;
    std::uint64_t fadeLength_ = 0;
};

} // namespace tavroplay
