// SongPlayer: plays one checked VGM file onto its PlayedChips along a
// Timeline: the board player's waits in real time, or the renderer's, which
// makes the sound of each stretch as fast as it can.
//
// A file with a loop plays its loop `loops` times in all, then goes on
// looping while it fades out over fadeSeconds (0: it ends at once); a file
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

// The chips of a file, by VGM chip and index; null where a chip is missing
// (its writes are dropped).
using ChipTable = std::array<std::array<PlayedChip*, 2>, vgm::chipCount>;

class SongPlayer {
public:
    SongPlayer(const vgm::VgmFile& file, const ChipTable& chips, PlayOptions options)
        : file_(file), chips_(chips), options_(options) {}

    // Plays to the end; go when it ended by itself, else the listener's request.
    Request play(Timeline& timeline);

    // Samples the whole performance lasts: the intro, the loops and the fade.
    std::uint64_t totalSamples() const;
    bool loops() const;

    // Attenuation in dB at a sample of the fade that began at fadeStart.
    static double fadeAttenuation(std::uint64_t sample, std::uint64_t fadeStart,
                                  std::uint64_t fadeLength);

private:
    void setAttenuation(double decibels);

    const vgm::VgmFile& file_;
    ChipTable chips_;
    PlayOptions options_;
};

} // namespace tavroplay
