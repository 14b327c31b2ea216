// LinkLoad: how many register writes a second a song asks of the link to a
// board, against what the link carries. The link takes one pin byte per
// generator period, Speed bytes a second, and a register write is an
// address and a data phase of three 18-byte frames each: Speed / 108 writes
// a second (about 1,067 at the default 115200). A song's load is its peak
// over 10 ms windows of one pass, counting for a YM2151 only the writes that
// change a register (the library sends nothing else to it).
#pragma once

#include <cstdint>
#include <vector>

#include "songs/Song.h"

namespace tavroplay {

inline constexpr std::uint32_t defaultLinkSpeed = 115200;
inline constexpr std::uint32_t pinBytesPerWrite = 108;
inline constexpr std::uint64_t loadWindowSamples = songs::sampleRate / 100;

constexpr double linkCapacity(std::uint32_t speed) {
    return static_cast<double>(speed) / pinBytesPerWrite;
}

struct LinkLoad {
    double peakWritesPerSecond = 0;
    std::uint64_t peakAt = 0; // the start of the busiest window, in samples
};

// played, when not empty, tells per song chip whether its writes reach the
// link (a dropped chip's do not).
LinkLoad measureLinkLoad(const songs::Song& song, const std::vector<bool>& played = {});

// The times of one pass's writes that reach the link, in order: a YM2151's
// only when they change a register; with played, only the chips that play.
std::vector<std::uint64_t> linkWriteTimes(const songs::Song& song,
                                          const std::vector<bool>& played = {});

// The smallest of the usual Speed settings whose link carries a load; 0 when
// none does.
std::uint32_t speedToCarry(double writesPerSecond);

} // namespace tavroplay
