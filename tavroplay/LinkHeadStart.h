// LinkHeadStart: how long before their time a song's writes must reach the
// library so that the link to the board can finish each of them by its time.
//
// The link carries writesPerSecond writes, one after another. A write that
// comes while the link is still busy with earlier ones waits; the longest
// such wait over the song is the head start its bursts need (a burst of 119
// writes at one instant needs 118 writes' time, 110 ms at 1,067 writes a
// second). The library's board worker starts a burst early by as much as its
// writes wait in its queue, the send delay, and no more: the player asks for
// a send delay of at least this head start. A song whose writes outrun the
// link for long needs an ever longer head start; maxHeadStartMilliseconds
// bounds it (a longer delay also delays a pause and the end of playing).
#pragma once

#include <cstdint>
#include <vector>

namespace tavroplay {

inline constexpr double maxHeadStartMilliseconds = 500;

// times: the samples (44,100 a second) at which the writes that reach the
// link are due, in order. The longest wait, in milliseconds, bounded by
// maxHeadStartMilliseconds; 0 for an empty song or a link of no known rate.
double linkHeadStartMilliseconds(const std::vector<std::uint64_t>& times, double writesPerSecond);

// The send delay to play with: the library's own, or longer when the song's
// head start needs it, with a margin for the worker's 1 ms passes.
std::int32_t sendDelayFor(std::int32_t librarySendDelay, double headStartMilliseconds);

} // namespace tavroplay
