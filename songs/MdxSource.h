// MdxSource: an MDX song as a Song. MDX is a program for a sound driver, not
// a register log: our own driver (mdx/MdxDriver.h) runs it, one timer-B tick
// after another at the song's tempo on a 4 MHz YM2151, and its writes are
// timed on the Song's sample clock from the sum of the ticks' exact lengths.
//
// One pass runs to the song's end (every track ended, or its fade-out done)
// or to the first time every looping track has jumped back; the loop is from
// there to the second time. When a song's tracks loop at different lengths
// that repeats the second pass, which differs from the driver going on.
// The ADPCM tracks' notes are writes to a second chip ("MSM6258 ADPCM"):
// address the ADPCM track (0 = P) and data the index of the sample in
// Song::pcm (decoded at the track's rate when the bank was found; otherwise
// the sample number, and the chip of type other, dropped by players); address
// panAddress + track, data the track's pan (0 off, 1 left, 2 right, 3 both),
// written before a note whose pan changed; address stopAddress + track when
// the track's key goes off (its sample stops); in 16-track songs (mixed by
// PCM8) address gainAddress + track, data the track's gain in 16ths, written
// before a note whose gain changed.
// What of the format the song uses that our driver does not play (commands it
// does not know) is the song's "Not played" tag, which `tavroplay --list`
// shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "songs/Song.h"

namespace songs {

inline constexpr std::uint16_t panAddress = 0x10;
inline constexpr std::uint16_t stopAddress = 0x20;
inline constexpr std::uint16_t gainAddress = 0x40;

// Whether the bytes read as an MDX song (checked after the formats that have
// a magic number).
bool isMdx(std::span<const std::uint8_t> bytes);
// With a directory, the song's PDX bank is looked for there: its samples
// play on a ChipType::msm6258 chip (Song::pcm); without one, or when the
// bank is missing (said in the song's warning), on a chip of type other.
std::optional<Song> readMdx(std::span<const std::uint8_t> bytes, std::string& error,
                            const std::filesystem::path& directory = {});

} // namespace songs
