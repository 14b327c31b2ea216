// Real-time scheduling of one thread: what is asked for applies to the
// calling thread alone, what is reported is what the thread then runs under,
// and the text for people matches it. Whether the system grants real time
// depends on the machine (privilege, RLIMIT_RTPRIO): both outcomes are
// checked for consistency.
#include "common/ThreadScheduling.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using platform::SchedulingState;
using platform::ThreadScheduling;

bool isRealTime(const SchedulingState& state) {
    return state.kind == ThreadScheduling::realTime ||
           state.kind == ThreadScheduling::realTimeService ||
           state.kind == ThreadScheduling::multimedia;
}

TEST(ThreadScheduling, RequestChangesOnlyTheCallingThreadAndReportsItsState) {
    const SchedulingState before = platform::currentThreadScheduling();
    SchedulingState granted;
    SchedulingState afterwards;
    std::thread worker([&] {
        granted = platform::requestRealTimeScheduling();
        afterwards = platform::currentThreadScheduling();
    });
    worker.join();
    EXPECT_EQ(isRealTime(granted), isRealTime(afterwards));
    EXPECT_EQ(granted.priority, afterwards.priority);
    if (isRealTime(granted) && granted.kind != ThreadScheduling::multimedia) {
        EXPECT_GE(granted.priority, 1);
        EXPECT_LE(granted.priority, 10);
    }
    const SchedulingState main = platform::currentThreadScheduling();
    EXPECT_EQ(main.kind, before.kind);
    EXPECT_EQ(main.priority, before.priority);
}

TEST(ThreadScheduling, AThreadLeavesRealTimeForTheNormalScheduling) {
    std::thread worker([] {
        platform::requestRealTimeScheduling();
        platform::leaveRealTimeScheduling();
        EXPECT_EQ(platform::currentThreadScheduling().kind, ThreadScheduling::normal);
    });
    worker.join();
}

TEST(ThreadScheduling, DescriptionSaysWhetherRealTimeIsInEffect) {
    const SchedulingState normal{};
    EXPECT_NE(platform::describeScheduling(normal).find("normal"), std::string::npos);
    std::thread worker([] {
        const SchedulingState state = platform::requestRealTimeScheduling();
        const std::string text = platform::describeScheduling(state);
        EXPECT_EQ(text.find("real-time (") == 0, isRealTime(state)) << text;
    });
    worker.join();
}

} // namespace
