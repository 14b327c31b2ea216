// A song's load on the link: the peak over 10 ms windows, a YM2151's writes
// counted only when they change a register, against Speed / 108 writes a
// second, and the Speed that carries a load.
#include <gtest/gtest.h>

#include "tavroplay/LinkLoad.h"

namespace {

using namespace tavroplay;

TEST(LinkLoad, PeakWindowAfterTheYm2151ChangeFilter) {
    songs::Song song;
    song.chips.resize(2);
    song.chips[0].type = songs::ChipType::ym2151;
    song.chips[1].type = songs::ChipType::ssg;
    // Window 0: 25 writes of one YM2151 value (one change) and 12 SSG writes
    // of one value (each one sent).
    for (int i = 0; i < 25; ++i)
        song.writes.push_back({static_cast<std::uint64_t>(i), 0x20, 0, 0xC7});
    for (int i = 0; i < 12; ++i)
        song.writes.push_back({static_cast<std::uint64_t>(30 + i), 0x08, 1, 0x0F});
    // Window 5: 20 changing YM2151 writes.
    for (int i = 0; i < 20; ++i)
        song.writes.push_back({5 * loadWindowSamples + static_cast<std::uint64_t>(i), 0x28, 0,
                               static_cast<std::uint8_t>(i)});
    song.length = 10 * loadWindowSamples;
    const LinkLoad load = measureLinkLoad(song);
    EXPECT_DOUBLE_EQ(load.peakWritesPerSecond, 2000.0);
    EXPECT_EQ(load.peakAt, 5 * loadWindowSamples);

    // With the YM2151 dropped only the SSG's writes reach the link.
    EXPECT_DOUBLE_EQ(measureLinkLoad(song, {false, true}).peakWritesPerSecond, 1200.0);

    EXPECT_NEAR(linkCapacity(defaultLinkSpeed), 1066.7, 0.1);
    EXPECT_EQ(speedToCarry(1000), 115200u);
    EXPECT_EQ(speedToCarry(2000), 230400u);
    EXPECT_EQ(speedToCarry(5000), 921600u);
    EXPECT_EQ(speedToCarry(40000), 0u);
}

} // namespace
