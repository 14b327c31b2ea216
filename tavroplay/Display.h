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

// Text from a file (a tag, a file name) made safe for a terminal: every
// control character (C0, DEL and the C1 controls) is shown as an escape
// such as "\x1B" instead of reaching the terminal, where it could move the
// cursor, clear the screen or retitle the window.
std::string terminalText(const std::string& text);

// How fast a render runs: "x123" times real time for samples rendered in
// that many seconds of the clock ("x-" before any time has passed).
std::string speedText(std::uint64_t samples, double seconds);

// "m:ss" (or "h:mm:ss") of a sample count at 44,100 per second.
std::string formatTime(std::uint64_t samples);

// "Track:  ...", "Game:   ...": one line per tag, the values aligned and
// made safe as terminalText.
std::vector<std::string> tagLines(const std::vector<songs::SongTag>& tags);

// A chip in the status line: a short label and its family.
struct MeterChip {
    std::string label;
    const ChipFamily* chip;
};

// "  0:12 / 2:45  loop 1/2  OPM #.#..... PSG ##." ; "fade" while fading,
// "paused" while paused; "0:12 / endless  loop 3" for loops 0.
std::string statusLine(const Position& position, std::uint64_t totalSamples, bool looping,
                       int loops, const std::vector<MeterChip>& chips, bool paused);

} // namespace tavroplay
