// SongPlayer: plays one checked VGM file onto its PlayedChips along a
// Timeline: the board player's waits in real time, or the renderer's, which
// makes the sound of each stretch as fast as it can.
//
// A file with a loop plays its loop `loops` times in all, then goes on
// looping while it fades out over fadeSeconds (0: it ends at once); with
// loops 0 it loops until the timeline asks for something else. A file
// without a loop ends at its end command, after its last wait.
#pragma once

#include <array>
#include <cstdint>

#include "tavroplay/PlayedChip.h"
#include "vgm/VgmFile.h"

namespace tavroplay {

// Where playing stands, for the timeline and the status line.
struct Position {
    std::uint64_t sample = 0; // since the start of the file, loops included
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

// The chips of a file, by VGM chip and index; null where a chip is missing
// (its writes are dropped).
using ChipTable = std::array<std::array<PlayedChip*, 2>, vgm::chipCount>;

class SongPlayer {
public:
    SongPlayer(const vgm::VgmFile& file, const ChipTable& chips, PlayOptions options)
        : file_(file), chips_(chips), options_(options) {}

    // Plays to the end; go when it ended by itself, else the listener's
    // request. A seek request (seekSeconds back or forward from the sample
    // heard) is served here: the chips fall silent, the file is read from its
    // start up to the new time without waiting (writes only recorded), the
    // chips get every register at once, and playing goes on from there; a
    // seek past the end ends the file.
    Request play(Timeline& timeline);

    static constexpr std::uint64_t seekSeconds = 5;

    // Samples the whole performance lasts: the intro, the loops and the
    // fade; 0 when it loops without end.
    std::uint64_t totalSamples() const;
    bool loops() const;
    // A looping file played with loops 0: it loops until the listener goes on.
    bool endless() const;

    // Attenuation in dB at a sample of the fade that began at fadeStart.
    static double fadeAttenuation(std::uint64_t sample, std::uint64_t fadeStart,
                                  std::uint64_t fadeLength);

private:
    // Where playing stands in the file.
    struct Cursor {
        vgm::CommandReader reader;
        Position position;
        std::uint64_t reached = 0;   // the last sample the timeline reached
        std::uint64_t fadeStart = 0; // sample where the fade began
        std::uint64_t waitEnd = 0;   // end of the wait under way
        bool finished = false;
    };

    // Plays on along the timeline until it asks for something or the file
    // ends (go, finished set); without a timeline, fast-forwards to the
    // sample until without waiting.
    Request advance(Cursor& cursor, Timeline* timeline, std::uint64_t until);
    // Serves a seek request; what the timeline says at the new position.
    Request seek(Cursor& cursor, Timeline& timeline, Request request);
    void setAttenuation(double decibels);
    void forEachChip(void (PlayedChip::*action)());
    std::uint64_t fadeLength() const;

    const vgm::VgmFile& file_;
    ChipTable chips_;
    PlayOptions options_;
};

} // namespace tavroplay
