// Which writes at the front of a board's queue go now: on time for a write on
// its own, early enough for a burst that its last write starts when due, and
// always in queue order.
#include "soundif/link/SendSchedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using sendschedule::writesToStart;

// Writes given by their due times, in milliseconds from now.
std::size_t toStart(const std::vector<int>& dueIn, std::int64_t writeMicroseconds) {
    return writesToStart(dueIn, writeMicroseconds, [](int due) { return due; });
}

TEST(SendSchedule, AWriteOnItsOwnGoesWhenDueAndNotBefore) {
    EXPECT_EQ(toStart({}, 1000), 0u);
    EXPECT_EQ(toStart({1}, 1000), 0u);
    EXPECT_EQ(toStart({0}, 1000), 1u);
    EXPECT_EQ(toStart({-5}, 1000), 1u);
    EXPECT_EQ(toStart({0, 40, 80}, 1000), 1u) << "writes far apart go one by one";
    EXPECT_EQ(toStart({-1, 0, 3}, 1000), 2u);
}

TEST(SendSchedule, ABurstStartsEarlyEnoughForItsLastWriteToStartWhenDue) {
    // 119 writes due together in 50 ms on a link of about 937 us a write
    // (115200 Speed): the first must start 118 writes' time, 110.6 ms, before
    // the due time, so all those whose latest start has passed go now.
    const std::int64_t write = sendschedule::writeMicroseconds(108, 115200);
    EXPECT_EQ(write, 937);
    const std::vector<int> burst(119, 50);
    // Latest start of write i: 50000 - (118 - i) * 937 us; those below one
    // pass (1000 us) go: 118 - i > 52.3, so i <= 65.
    EXPECT_EQ(toStart(burst, write), 66u);
    // The same burst 200 ms ahead has time: nothing goes yet.
    EXPECT_EQ(toStart(std::vector<int>(119, 200), write), 0u);
    // On a fast link (921600: 117 us a write) the burst needs 13.8 ms: due
    // in 15 ms it waits, due in 14 ms its first seven go (latest start
    // 14000 - (118 - i) * 117 below 1000 us), due in 10 ms its first 42.
    const std::int64_t fast = sendschedule::writeMicroseconds(108, 921600);
    EXPECT_EQ(toStart(std::vector<int>(119, 15), fast), 0u);
    EXPECT_EQ(toStart(std::vector<int>(119, 14), fast), 7u);
    EXPECT_EQ(toStart(std::vector<int>(119, 10), fast), 42u);
}

TEST(SendSchedule, OrderIsKeptAndAWriteDueBehindPullsThoseBeforeIt) {
    // A write due now behind one due later: both go, in order.
    EXPECT_EQ(toStart({1000, 0}, 1000), 2u);
    // A burst that follows single writes pulls them along, and goes itself
    // only as far as it must: 20 writes of 1 ms due in 10 ms, so the burst's
    // first ten writes and the two before it.
    std::vector<int> queue{5, 6};
    queue.insert(queue.end(), 20, 10);
    EXPECT_EQ(toStart(queue, 1000), 12u);
    EXPECT_EQ(toStart(queue, 0), 0u) << "with no wire time a burst needs no head start";
}

} // namespace
