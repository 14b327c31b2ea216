// SongListing: what `tavroplay --list FILE...` prints of each song without
// playing it: its format, chips with their clocks, length and loop, tags,
// and its peak write rate against the link at the default Speed.
//
//   tone.s98: S98 v3
//     Chips:  YM2151 at 4000000 Hz, YM2149 at 2000000 Hz
//     Length: 1:30, looping from 0:12
//     Title:  ...
//     Writes: at most 1450 a second (at 0:12); the link carries 1067 at Speed 115200:
//             Speed 230400 would carry them
#pragma once

#include <ostream>
#include <vector>

#include "tavroplay/CommandLine.h"

namespace tavroplay {

// Lists every entry; a fault or a file that cannot be read gets one line on
// faults. Returns the exit code: 1 when any could not be read.
int listSongs(const std::vector<PlayItem>& items, std::ostream& out, std::ostream& faults);

} // namespace tavroplay
