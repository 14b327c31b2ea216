// What tavroplay shows on a terminal: a file's tag, its chips and the boards
// they are on, and the status line (time, loop, per-channel activity).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "songs/Song.h"
#include "tavroplay/ChipFamily.h"
#include "tavroplay/SongPlayer.h"

namespace tavroplay {

// "m:ss" (or "h:mm:ss") of a sample count at 44,100 per second.
std::string formatTime(std::uint64_t samples);

// "Track:  ...", "Game:   ...": one line per tag, the values aligned.
std::vector<std::string> tagLines(const std::vector<songs::SongTag>& tags);

// A chip in the status line: a short label and its family.
struct MeterChip {
    std::string label;
    const ChipFamily* chip;
};

// "  0:12 / 2:45  loop 1/2  OPM #.#..... PSG ##." ; "fade" while fading,
// "paused" while paused.
std::string statusLine(const Position& position, std::uint64_t totalSamples, bool looping,
                       int loops, const std::vector<MeterChip>& chips, bool paused);

} // namespace tavroplay
