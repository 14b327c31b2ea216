// Playing a song along a timeline: writes reach the chips at their sample
// times, a loop plays its number of times and then fades out over the fade
// time, a song without loop ends after its last wait, and a listener's
// request ends playing at once.
#include <gtest/gtest.h>

#include <algorithm>

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

// Answers with scripted requests at given samples, once each, and notes the
// jumps a seek makes.
class ScriptedTimeline : public Timeline {
public:
    struct Answer {
        std::uint64_t atSample;
        Request request;
    };
    explicit ScriptedTimeline(std::vector<Answer> script) : script(std::move(script)) {}
    Request reach(const Position& position) override {
        positions.push_back(position);
        if (next < script.size() && position.sample >= script[next].atSample)
            return script[next++].request;
        return Request::go;
    }
    void jumped(const Position& position) override { jumps.push_back(position.sample); }
    std::vector<Answer> script;
    std::size_t next = 0;
    std::vector<Position> positions;
    std::vector<std::uint64_t> jumps;
};

// Every write a chip sends, in order.
class ListSink : public RegisterSink {
public:
    void write(std::uint16_t address, std::uint8_t data) override {
        writes.push_back({address, data});
    }
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    int last(std::uint16_t address) const {
        for (auto write = writes.rbegin(); write != writes.rend(); ++write)
            if (write->first == address) return write->second;
        return -1;
    }
    // The YM2151 key register as last sent for channel 0.
    int lastKeyOfChannel0() const {
        for (auto write = writes.rbegin(); write != writes.rend(); ++write)
            if (write->first == 0x08 && (write->second & 7) == 0) return write->second;
        return -1;
    }
};

// A song on one YM2151 whose every write is listed.
struct ListedYm2151 {
    explicit ListedYm2151(const songs::Song& song) : chips(song, destination) {}
    ListSink sink;
    RecordingDestination destination{{{songs::ChipType::ym2151, 4000000}}, &sink};
    SongChips chips;
};

TEST(SongPlayerSeek, FastForwardsTheChipStateAndGoesBackByReplaying) {
    constexpr std::uint64_t second = songs::sampleRate;
    // 0x20 set at 0 s and changed at 10 s; a key-on at 2 s held to the end.
    const songs::Song song = parsed(VgmBuilder()
                                        .set32(0x30, 4000000)
                                        .write(0x54, 0x20, 0xC1)
                                        .wait(2 * second)
                                        .write(0x54, 0x08, 0x78)
                                        .wait(8 * second)
                                        .write(0x54, 0x20, 0xC2)
                                        .wait(10 * second)
                                        .build());
    // Forward from 0 s: at 5 s at once, with the state of 5 s on the chip.
    {
        ListedYm2151 board(song);
        ScriptedTimeline timeline({{0, Request::seekForward}, {12 * second, Request::quit}});
        EXPECT_EQ(SongPlayer(song, board.chips, {1, 0.0}).play(timeline), Request::quit);
        EXPECT_EQ(timeline.jumps, (std::vector<std::uint64_t>{5 * second}));
        // The next times reached are the 5 s jumped to, then 10 s: no waiting
        // for the skipped time.
        ASSERT_GE(timeline.positions.size(), 3u);
        EXPECT_EQ(timeline.positions[1].sample, 5 * second);
        EXPECT_EQ(timeline.positions[2].sample, 10 * second);
        // The chip got the skipped writes' state at once, the key on last,
        // then the write at 10 s.
        const std::vector<std::pair<std::uint16_t, std::uint8_t>>& writes = board.sink.writes;
        const auto restored = std::find(writes.begin(), writes.end(),
                                        std::pair<std::uint16_t, std::uint8_t>{0x08, 0x78});
        ASSERT_NE(restored, writes.end());
        EXPECT_NE(
            std::find(writes.begin(), restored, std::pair<std::uint16_t, std::uint8_t>{0x20, 0xC1}),
            restored);
        EXPECT_EQ(writes.back(), (std::pair<std::uint16_t, std::uint8_t>{0x20, 0xC2}));
    }
    // Back from 10 s: 5 s, where 0x20 holds its first value again.
    {
        ListedYm2151 board(song);
        ScriptedTimeline timeline({{10 * second, Request::seekBack}, {0, Request::quit}});
        EXPECT_EQ(SongPlayer(song, board.chips, {1, 0.0}).play(timeline), Request::quit);
        EXPECT_EQ(timeline.jumps, (std::vector<std::uint64_t>{5 * second}));
        EXPECT_EQ(board.sink.last(0x20), 0xC1);
        EXPECT_EQ(board.sink.lastKeyOfChannel0(), 0x78);
    }
    // Forward past the end: the song ends.
    {
        ListedYm2151 board(song);
        ScriptedTimeline timeline({{18 * second, Request::seekForward}});
        EXPECT_EQ(SongPlayer(song, board.chips, {1, 0.0}).play(timeline), Request::go);
        EXPECT_TRUE(timeline.jumps.empty());
    }
}

TEST(SongPlayer, LoopsWithoutEndWithLoopsZeroUntilTheListenerGoesOn) {
    const songs::Song song = parsed(VgmBuilder()
                                        .set32(0x30, 4000000)
                                        .write(0x54, 0x60, 0x10)
                                        .loopHere()
                                        .write(0x54, 0x08, 0x78)
                                        .wait(1000)
                                        .build());
    ListedYm2151 board(song);
    SongPlayer player(song, board.chips, {0, 3.0});
    EXPECT_TRUE(player.endless());
    EXPECT_EQ(player.totalSamples(), 0u);
    ScriptedTimeline timeline({{50000, Request::next}});
    EXPECT_EQ(player.play(timeline), Request::next);
    EXPECT_EQ(timeline.positions.back().pass, 51);
    EXPECT_FALSE(timeline.positions.back().fading);
    EXPECT_EQ(board.sink.last(0x60), 0x10); // never faded
}

} // namespace
