// Playing a song along a timeline: writes reach the chips at their sample
// times, a loop plays its number of times and then fades out over the fade
// time, a song without loop ends after its last wait, and a listener's
// request ends playing at once.
#include <gtest/gtest.h>

#include "../vgm/VgmBuilder.h"
#include "RecordingDestination.h"
#include "tavroplay/SongChips.h"
#include "tavroplay/SongPlayer.h"

namespace {

using namespace tavroplay;

class RecordingTimeline : public Timeline {
public:
    Request reach(const Position& position) override {
        positions.push_back(position);
        if (stopAt != 0 && position.sample >= stopAt) return Request::next;
        return Request::go;
    }
    std::vector<Position> positions;
    std::uint64_t stopAt = 0;
};

// A sink that notes the sample of the timeline at each write.
class TimedSink : public RegisterSink {
public:
    explicit TimedSink(const RecordingTimeline& timeline) : timeline(timeline) {}
    void write(std::uint16_t address, std::uint8_t data) override {
        writes.push_back({timeline.positions.back().sample, address, data});
    }
    struct Write {
        std::uint64_t sample;
        std::uint16_t address;
        std::uint8_t data;
        bool operator==(const Write&) const = default;
    };
    const RecordingTimeline& timeline;
    std::vector<Write> writes;
};

songs::Song parsed(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    auto song = songs::parseSong(bytes, error);
    if (!song) throw std::runtime_error(error);
    return std::move(*song);
}

// One YM2151 whose writes are noted against a timeline of their own.
struct OneYm2151 {
    explicit OneYm2151(const songs::Song& song) : chips(song, destination) {}
    RecordingTimeline timeline;
    TimedSink sink{timeline};
    RecordingDestination destination{{{songs::ChipType::ym2151, 4000000}}, &sink};
    SongChips chips;
};

TEST(SongPlayer, AFileWithoutLoopPlaysOnceAndEndsAfterItsLastWait) {
    const songs::Song file = parsed(VgmBuilder()
                                        .write(0x54, 0x20, 0xC7)
                                        .wait(100)
                                        .write(0x54, 0x28, 0x4A)
                                        .write(0xA4, 0x28, 0x3A) // no second chip: dropped
                                        .wait(50)
                                        .build());
    OneYm2151 board(file);
    auto& [timeline, sink, destination, chips] = board;
    SongPlayer player(file, chips, {2, 3.0});
    EXPECT_FALSE(player.loops());
    EXPECT_EQ(player.totalSamples(), 150u);
    EXPECT_EQ(player.play(timeline), Request::go);
    EXPECT_EQ(sink.writes, (std::vector<TimedSink::Write>{{0, 0x20, 0xC7}, {100, 0x28, 0x4A}}));
    ASSERT_FALSE(timeline.positions.empty());
    EXPECT_EQ(timeline.positions.back().sample, 150u);
}

TEST(SongPlayer, LoopsTheGivenNumberOfTimesThenFadesOut) {
    const songs::Song file = parsed(VgmBuilder()
                                        .write(0x54, 0x20, 0xC7)
                                        .write(0x54, 0x78, 0x00)
                                        .wait(1000)
                                        .loopHere()
                                        .write(0x54, 0x08, 0x78)
                                        .wait(22050)
                                        .build());
    OneYm2151 board(file);
    auto& [timeline, sink, destination, chips] = board;
    SongPlayer player(file, chips, {3, 1.0});
    EXPECT_TRUE(player.loops());
    EXPECT_EQ(player.totalSamples(), 1000u + 3 * 22050 + 44100);
    EXPECT_EQ(player.play(timeline), Request::go);

    std::vector<std::uint64_t> keyOns;
    std::vector<std::uint8_t> levels;
    for (const auto& write : sink.writes) {
        if (write.address == 0x08) keyOns.push_back(write.sample);
        if (write.address == 0x78) levels.push_back(write.data);
    }
    // Three passes, then the loop goes on under the fade (two more key-ons in a second).
    EXPECT_EQ(keyOns, (std::vector<std::uint64_t>{1000, 23050, 45100, 67150, 89200}));
    ASSERT_GT(levels.size(), 50u);
    EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end()));
    EXPECT_EQ(levels.front(), 0x00);
    EXPECT_GE(levels.back(), 0x4F); // about 60 dB down at the end
    EXPECT_EQ(timeline.positions.back().sample, 1000u + 3 * 22050 + 44100);
    EXPECT_TRUE(timeline.positions.back().fading);
    EXPECT_EQ(timeline.positions.back().pass, 5);
    // While fading the level comes down every 10 ms or more often.
    for (std::size_t i = 1; i < timeline.positions.size(); ++i) {
        if (timeline.positions[i - 1].fading) {
            EXPECT_LE(timeline.positions[i].sample - timeline.positions[i - 1].sample, 441u);
        }
    }
}

TEST(SongPlayer, WithoutFadeItStopsAtTheEndOfTheLastLoopAndARequestEndsItEarly) {
    const songs::Song file =
        parsed(VgmBuilder().loopHere().write(0x54, 0x08, 0x78).wait(1000).build());
    OneYm2151 board(file);
    auto& [timeline, sink, destination, chips] = board;
    EXPECT_EQ(SongPlayer(file, chips, {2, 0.0}).play(timeline), Request::go);
    EXPECT_EQ(timeline.positions.back().sample, 2000u);
    EXPECT_EQ(sink.writes.size(), 2u);

    OneYm2151 stopped(file);
    stopped.timeline.stopAt = 2500;
    EXPECT_EQ(SongPlayer(file, stopped.chips, {10, 0.0}).play(stopped.timeline), Request::next);
    EXPECT_EQ(stopped.sink.writes.size(), 3u);
}

} // namespace
