// MdxSource: an MDX song as a Song. MDX is a program for a sound driver, not
// a register log: our own driver (mdx/MdxDriver.h) runs it, one timer-B tick
// after another at the song's tempo on a 4 MHz YM2151, and its writes are
// timed on the Song's sample clock from the sum of the ticks' exact lengths.
//
// One pass runs to the song's end (every track ended, or its fade-out done)
// or to the first time every looping track has jumped back; the loop is from
// there to the second time. When a song's tracks loop at different lengths
// that repeats the second pass, which differs from the driver going on.
// The ADPCM tracks (PDX samples) are not played: their notes are writes to a
// second chip, of type other ("MSM6258 ADPCM"), address the ADPCM track (0 =
// P), data the sample number, so that players say they drop them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "songs/Song.h"

namespace songs {

// Whether the bytes read as an MDX song (checked after the formats that have
// a magic number).
bool isMdx(std::span<const std::uint8_t> bytes);
std::optional<Song> readMdx(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace songs
