// The samples made for a live output, in step with the board: the output's
// clock follows the server's reports through their jitter and through a
// device clock that runs apart from the host's, and re-anchors after the
// output ran dry; a start written at host time t is heard at t + ahead, at
// the start of a run and after ten minutes of a drifting device, and the
// heard time kept for it is the one the output reported.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/SampleClock.h"
#include "tavroplay/AdpcmFamily.h"
#include "tavroplay/LiveSamples.h"

namespace {

using platform::SampleClock;
using tavroplay::AdpcmFamily;
using tavroplay::LiveSamples;

constexpr std::uint32_t rate = 48000;
constexpr std::int64_t millisecond = 1'000'000;
constexpr std::int64_t second = 1000 * millisecond;

// A device clock parts per million fast of the host's, heard from frame 0 at
// host time origin.
struct Device {
    double ppm = 0;
    std::int64_t origin = 0;
    double framesPerSecond() const { return rate * (1 + ppm * 1e-6); }
    std::int64_t heardAt(std::uint64_t frame) const {
        return origin + std::llround(static_cast<double>(frame) / framesPerSecond() * 1e9);
    }
    std::uint64_t frameAt(std::int64_t ns) const {
        return static_cast<std::uint64_t>(static_cast<double>(ns - origin) / 1e9 *
                                          framesPerSecond());
    }
};

double errorMs(const SampleClock& clock, const Device& device, std::int64_t at) {
    return (static_cast<double>(*clock.frameAt(at)) - static_cast<double>(device.frameAt(at))) /
           rate * 1000;
}

TEST(SampleClock, FollowsTheReportsThroughTheirJitterAndADriftingDevice) {
    SampleClock clock(rate);
    EXPECT_FALSE(clock.frameAt(0)) << "no frame before the first report";
    // A device 300 ppm fast, reported every 10 ms with up to 2 ms of jitter,
    // for ten minutes: a clock kept from the first report alone would be off
    // by 180 ms at the end.
    const Device device{300, 5 * second};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int64_t> jitter(-2 * millisecond, 2 * millisecond);
    double worst = 0;
    for (std::int64_t now = device.origin; now < device.origin + 600 * second;
         now += 10 * millisecond) {
        const std::uint64_t frame = device.frameAt(now);
        clock.observe(frame, device.heardAt(frame) + jitter(random));
        if (now > device.origin + second)
            worst = std::max(worst, std::abs(errorMs(clock, device, now + 100 * millisecond)));
    }
    EXPECT_LT(worst, 1.0) << "ms off the device's frame";
    EXPECT_EQ(clock.reanchors(), 0u) << "jitter is not a jump";
    const std::int64_t end = device.origin + 600 * second;
    EXPECT_NEAR(static_cast<double>(*clock.heardAt(device.frameAt(end))), static_cast<double>(end),
                1.0 * millisecond);
}

TEST(SampleClock, ReanchorsWhenTwoReportsInARowSayTheOutputRanDryAndPassesOverALoneOne) {
    SampleClock clock(rate);
    Device device{0, 0};
    std::int64_t now = 0;
    const auto report = [&](std::int64_t lateBy) {
        clock.observe(device.frameAt(now), device.heardAt(device.frameAt(now)) + lateBy);
        now += 10 * millisecond;
    };
    while (now < second)
        report(0);
    // The reporting thread woken 30 ms late once, then 12 ms late twice with
    // good reports between: the clock stays where the device is.
    report(30 * millisecond);
    report(0);
    report(12 * millisecond);
    report(0);
    report(-12 * millisecond);
    report(0);
    EXPECT_EQ(clock.reanchors(), 0u);
    EXPECT_NEAR(errorMs(clock, device, now), 0.0, 0.1);
    // Two far reports in a row that disagree by more than the bound are two
    // lone ones too.
    report(15 * millisecond);
    report(40 * millisecond);
    report(0);
    EXPECT_EQ(clock.reanchors(), 0u);
    EXPECT_NEAR(errorMs(clock, device, now), 0.0, 0.1);
    // The output ran dry for 50 ms: every frame from here on is heard that
    // much later. The first report after it moves nothing, the second moves
    // the clock all the way.
    device.origin += 50 * millisecond;
    report(0);
    EXPECT_EQ(clock.reanchors(), 0u);
    report(0);
    EXPECT_EQ(clock.reanchors(), 1u);
    EXPECT_NEAR(errorMs(clock, device, now + 100 * millisecond), 0.0, 0.1);
    // Before frame 0: the first frame.
    EXPECT_EQ(clock.frameAt(-second), 0u);
}

// A live output simulated on a device: every 10 ms of host time it asks for
// the frames that keep 40 ms queued, telling when the first is heard (with
// up to 1 ms of jitter); the song writes a start every half second, meant to be heard
// ahead ms after its write. Each onset found in the output is set against
// the host time it was meant for.
struct Simulation {
    static constexpr double aheadMs = 100;
    Device device{-250, 0};
    std::int64_t host = 0;
    std::vector<songs::SongPcm> pcm{{std::vector<std::int16_t>(2000, 1000), 15625}};
    LiveSamples samples{pcm, rate, [this] { return host; }, aheadMs};
    std::uint64_t made = 0;
    std::mt19937 random{11};
    std::vector<std::int64_t> due;   // host times the starts were meant for
    std::vector<std::int64_t> heard; // host times their first frames are heard

    void request(std::int64_t jitterNs) {
        const std::uint64_t target = device.frameAt(host + 40 * millisecond);
        const auto frames = static_cast<std::size_t>(target - made);
        std::vector<std::int16_t> out(2 * frames);
        samples.fill(out.data(), frames, device.heardAt(made) + jitterNs);
        for (std::size_t frame = 0; frame < frames; ++frame) {
            const bool sounds = out[2 * frame] != 0;
            const bool before = frame == 0 ? silentBefore : out[2 * frame - 2] == 0;
            if (sounds && before) heard.push_back(device.heardAt(made + frame));
        }
        silentBefore = frames == 0 ? silentBefore : out[2 * frames - 2] == 0;
        made = target;
    }

    // Runs for the host time given, a start on each half second.
    void run(std::int64_t until, std::int64_t jitterNs) {
        std::uniform_int_distribution<std::int64_t> jitter(-jitterNs, jitterNs);
        for (; host < until; host += millisecond) {
            if (host % (10 * millisecond) == 0) request(jitter(random));
            if (host % (500 * millisecond) == 3 * millisecond) {
                samples.write(AdpcmFamily::startBase, 0);
                due.push_back(host + static_cast<std::int64_t>(aheadMs) * millisecond);
            }
        }
    }
    bool silentBefore = true;
};

TEST(LiveSamples, AStartIsHeardAsTheBoardSoundsItsWritesAfterTenMinutesOfDrift) {
    Simulation simulation;
    simulation.run(600 * second, millisecond);
    ASSERT_EQ(simulation.heard.size(), simulation.due.size());
    double worstFirst = 0, worstLast = 0;
    for (std::size_t i = 0; i < simulation.due.size(); ++i) {
        const double off = static_cast<double>(simulation.heard[i] - simulation.due[i]) / 1e6;
        (i < 20 ? worstFirst : worstLast) =
            std::max(i < 20 ? worstFirst : worstLast, std::abs(off));
    }
    EXPECT_LT(worstFirst, 1.0) << "ms off in the first ten seconds";
    EXPECT_LT(worstLast, 1.0) << "ms off after";
    // The heard time kept for each start is the output's report (within its
    // jitter), not the plan.
    const std::vector<LiveSamples::Start> starts = simulation.samples.starts();
    ASSERT_EQ(starts.size(), simulation.due.size());
    for (std::size_t i = 0; i < starts.size(); i += 97) {
        EXPECT_EQ(starts[i].track, 0u);
        EXPECT_EQ(starts[i].dueNs, simulation.due[i]);
        EXPECT_NEAR(static_cast<double>(starts[i].heardNs),
                    static_cast<double>(simulation.heard[i]), 1.0 * millisecond);
    }
}

TEST(LiveSamples, WritesBeforeTheFirstReportPlayAsSoonAsTheOutputAsks) {
    Simulation simulation;
    simulation.host = 7 * millisecond;
    simulation.samples.write(AdpcmFamily::startBase, 0);
    // A start of a sample the song does not have starts nothing.
    simulation.samples.write(AdpcmFamily::startBase + 1, 5);
    simulation.host = 10 * millisecond;
    simulation.request(0);
    ASSERT_EQ(simulation.heard.size(), 1u);
    EXPECT_EQ(simulation.heard[0], simulation.device.heardAt(0));
    EXPECT_EQ(simulation.samples.starts().size(), 1u);
}

TEST(LiveSamples, AStartWrittenTooLateForItsFrameBeginsPartWayIn) {
    Simulation simulation;
    simulation.run(second, 0);
    // Ahead shorter than the output's queue: the start's frame was made
    // already. The voice sounds from the next frame made, part way into its
    // sample, in step with where it should have begun, which is the heard
    // time kept for it.
    simulation.samples.setAhead(10);
    simulation.samples.write(AdpcmFamily::startBase, 0);
    const std::int64_t written = simulation.host;
    const std::uint64_t next = simulation.made;
    const std::size_t onsets = simulation.heard.size();
    simulation.request(0);
    ASSERT_EQ(simulation.heard.size(), onsets + 1);
    EXPECT_EQ(simulation.heard.back(), simulation.device.heardAt(next));
    const LiveSamples::Start last = simulation.samples.starts().back();
    EXPECT_NEAR(static_cast<double>(last.heardNs - written), 10.0 * millisecond, 0.1 * millisecond);
}

} // namespace
