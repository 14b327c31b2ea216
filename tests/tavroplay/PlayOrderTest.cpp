// The order files play in: as given, shuffled once per round, repeated,
// back and forward, and files that cannot be played passed over in the
// direction of travel.
#include <gtest/gtest.h>

#include <algorithm>

#include "tavroplay/PlayOrder.h"

namespace {

using tavroplay::PlayOrder;

std::vector<std::size_t> playAll(PlayOrder& order, std::size_t limit) {
    std::vector<std::size_t> played;
    while (const auto index = order.current()) {
        if (played.size() == limit) break;
        played.push_back(*index);
        order.forward(true);
    }
    return played;
}

TEST(PlayOrder, PlaysInOrderShufflesAndRepeats) {
    PlayOrder plain(3, false, false);
    EXPECT_EQ(playAll(plain, 10), (std::vector<std::size_t>{0, 1, 2}));

    PlayOrder shuffled(20, true, false, 7);
    std::vector<std::size_t> played = playAll(shuffled, 100);
    ASSERT_EQ(played.size(), 20u);
    EXPECT_FALSE(std::is_sorted(played.begin(), played.end()));
    std::sort(played.begin(), played.end());
    for (std::size_t i = 0; i < played.size(); ++i)
        EXPECT_EQ(played[i], i); // every file once

    PlayOrder repeated(2, false, true);
    EXPECT_EQ(playAll(repeated, 5), (std::vector<std::size_t>{0, 1, 0, 1, 0}));
    // A round in which nothing played ends the repeat.
    PlayOrder broken(2, false, true);
    broken.passOver();
    broken.passOver();
    EXPECT_FALSE(broken.current().has_value());
}

TEST(PlayOrder, PreviousGoesBackOverFilesThatCannotBePlayed) {
    PlayOrder order(4, false, false);
    order.forward(true);
    order.forward(true);
    order.forward(true);
    ASSERT_EQ(order.current(), 3u);
    order.back(); // onto 2, which is refused
    ASSERT_EQ(order.current(), 2u);
    order.passOver();
    EXPECT_EQ(order.current(), 1u);
    // Refused going forward: on to the next.
    order.forward(true);
    order.passOver();
    EXPECT_EQ(order.current(), 3u);
    // Back from the first: the first again; refused there: forward.
    PlayOrder first(3, false, false);
    first.back();
    EXPECT_EQ(first.current(), 0u);
    first.passOver();
    EXPECT_EQ(first.current(), 1u);
}

} // namespace
