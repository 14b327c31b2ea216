// The head start a song's bursts need on the link, and the send delay asked
// for it.
#include "tavroplay/LinkHeadStart.h"

#include <gtest/gtest.h>

namespace {

using tavroplay::linkHeadStartMilliseconds;
using tavroplay::sendDelayFor;

constexpr double slowLink = 115200.0 / 108; // writes a second at the default Speed

TEST(LinkHeadStart, WritesTheLinkKeepsUpWithNeedNoHeadStart) {
    EXPECT_EQ(linkHeadStartMilliseconds({}, slowLink), 0);
    // One write every 10 ms: each is done long before the next.
    std::vector<std::uint64_t> steady;
    for (std::uint64_t i = 0; i < 100; ++i)
        steady.push_back(i * 441);
    EXPECT_EQ(linkHeadStartMilliseconds(steady, slowLink), 0);
    EXPECT_EQ(linkHeadStartMilliseconds(steady, 0), 0) << "a link of no known rate";
}

TEST(LinkHeadStart, ABurstNeedsItsWritesTimeBeforeItsLast) {
    // 119 writes at one instant: the last waits for 118 before it.
    const std::vector<std::uint64_t> burst(119, 44100);
    EXPECT_NEAR(linkHeadStartMilliseconds(burst, slowLink), 118 * 108 / 115.2, 1e-9);
    // Writes spread over the link's own time need none; a second burst soon
    // after the first waits for what is left of it as well.
    std::vector<std::uint64_t> two(100, 0);
    two.insert(two.end(), 100, 441 * 5); // 50 ms later
    const double perWrite = 1000 / slowLink;
    EXPECT_NEAR(linkHeadStartMilliseconds(two, slowLink), 199 * perWrite - 50, 1e-9);
}

TEST(LinkHeadStart, ASongThatOutrunsTheLinkIsBoundedAndTheDelayCoversTheHeadStart) {
    // Twice the link's rate for a minute.
    std::vector<std::uint64_t> dense;
    for (std::uint64_t i = 0; i < 128000; ++i)
        dense.push_back(i * 44100 / 2134);
    EXPECT_EQ(linkHeadStartMilliseconds(dense, slowLink), tavroplay::maxHeadStartMilliseconds);

    EXPECT_EQ(sendDelayFor(100, 0), 100);
    EXPECT_EQ(sendDelayFor(100, 50), 100) << "the library's delay covers it already";
    EXPECT_EQ(sendDelayFor(100, 110.6), 113) << "head start, a pass and rounding up";
    EXPECT_EQ(sendDelayFor(0, 13.8), 16);
}

} // namespace
