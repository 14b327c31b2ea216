// SendSchedule: how many writes at the front of a board's queue the worker
// hands to the device now, so that every write leaves the wire by its due
// time where the link allows.
//
// The link carries one write in writeMicroseconds (its pin bytes at the
// board's speed). Working back from the last queued write, each write's
// latest start is its own due time, or one write's wire time before the
// latest start of the write behind it, whichever is sooner. A write goes when
// its latest start falls before the worker's next pass (one millisecond on),
// so a burst queued for one instant starts early enough that its last write
// starts when it is due, as a write on its own does, instead of that much
// late. Writes keep their queue order: a write goes only with every write
// before it. How early a burst can start is bounded by how long its writes
// wait in the queue (the send delay). With writeMicroseconds 0 a write goes
// when it, or any write behind it, is due.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace sendschedule {

// The worker's pass period, in microseconds.
inline constexpr std::int64_t passMicroseconds = 1000;

// Microseconds that one write takes on the wire: bytesPerWrite pin bytes at
// speed bytes a second (0 for speed 0).
constexpr std::int64_t writeMicroseconds(std::size_t bytesPerWrite, std::uint32_t speed) {
    return speed == 0 ? 0 : static_cast<std::int64_t>(bytesPerWrite) * 1000000 / speed;
}

// writes: a sequence with reverse iterators, front first; dueIn(write) gives
// the milliseconds from now until the write is due (negative when overdue).
// Returns the number of writes from the front to hand over now.
template <class Writes, class DueIn>
std::size_t writesToStart(const Writes& writes, std::int64_t writeMicroseconds, DueIn dueIn) {
    std::size_t remaining = std::size(writes);
    bool first = true;
    std::int64_t latest = 0;
    for (auto write = std::rbegin(writes); write != std::rend(writes); ++write, --remaining) {
        const std::int64_t own = static_cast<std::int64_t>(dueIn(*write)) * 1000;
        latest = first || own < latest - writeMicroseconds ? own : latest - writeMicroseconds;
        first = false;
        if (latest < passMicroseconds) return remaining;
    }
    return 0;
}

} // namespace sendschedule
