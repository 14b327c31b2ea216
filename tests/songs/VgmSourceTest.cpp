// The VGM source: the chips a stream writes to (dual chips too) at their
// clocks (1.00 files: the FM clock field; the YM2149 divider), the writes
// with their times and the loop point, and the tag.
#include <gtest/gtest.h>

#include "../vgm/VgmBuilder.h"
#include "songs/Song.h"

namespace {

using songs::ChipType;
using songs::Song;
using songs::SongWrite;

Song read(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    std::optional<Song> song = songs::parseSong(bytes, error);
    EXPECT_TRUE(song) << error;
    return song ? *song : Song{};
}

TEST(VgmSource, DualChipsWritesLoopAndClocks) {
    const Song song = read(VgmBuilder(0x151)
                               .set32(0x30, 3579545 | 0x40000000) // two YM2151s
                               .set32(0x74, 4000000)
                               .set8(0x78, 0x10) // YM2149
                               .set8(0x79, 0x10) // divider pin low
                               .write(0x54, 0x20, 0xC7)
                               .wait(100)
                               .loopHere()
                               .write(0xA4, 0x08, 0x78)
                               .write(0xA0, 0x88, 0x0F) // second AY: unused, first chip only
                               .wait(50)
                               .tag({u"Song", u"", u"Game", u"", u"", u"System J", u"Author"})
                               .build());
    EXPECT_EQ(song.format, "VGM 1.51");
    ASSERT_EQ(song.chips.size(), 3u);
    EXPECT_EQ(song.chips[0].type, ChipType::ym2151);
    EXPECT_EQ(song.chips[1].label(), "YM2151 #2");
    EXPECT_EQ(song.chips[1].clock, 3579545u);
    EXPECT_EQ(song.chips[2].type, ChipType::ssg);
    EXPECT_EQ(song.chips[2].name, "YM2149");
    EXPECT_EQ(song.chips[2].index, 1);
    EXPECT_EQ(song.chips[2].clock, 2000000u);
    EXPECT_EQ(song.writes, (std::vector<SongWrite>{
                               {0, 0x20, 0, 0xC7}, {100, 0x08, 1, 0x78}, {100, 0x08, 2, 0x0F}}));
    EXPECT_EQ(song.length, 150u);
    ASSERT_TRUE(song.loop);
    EXPECT_EQ(song.loop->write, 1u);
    EXPECT_EQ(song.loopLength(), 50u);
    EXPECT_EQ(
        song.tags,
        (std::vector<songs::SongTag>{
            {"Track", "Song"}, {"Game", "Game"}, {"System", "System J"}, {"Author", "Author"}}));
}

TEST(VgmSource, Version100TakesTheFmClockForTheYm2151) {
    const Song song = read(VgmBuilder(0x100).set32(0x10, 4000000).write(0x54, 0x08, 0).build());
    ASSERT_EQ(song.chips.size(), 1u);
    EXPECT_EQ(song.chips[0].clock, 4000000u);
    EXPECT_FALSE(song.loop);
    std::string error;
    EXPECT_FALSE(songs::parseSong({'x'}, error));
    EXPECT_FALSE(error.empty());
}

TEST(VgmSource, Sn76489AndYm2612WithTheirHeaderSettings) {
    const Song song = read(VgmBuilder(0x151)
                               .set32(0x0C, 3579545 | 0x40000000)
                               .set32(0x28, 0x0003) // TI noise: feedback 0x0003, 15 bits
                               .set8(0x2A, 15)
                               .set32(0x2C, 7670453)
                               .write(0x52, 0x28, 0xF0)
                               .bytes({0x50, 0x9F})
                               .wait(10)
                               .write(0x53, 0xA4, 0x22)
                               .bytes({0x30, 0xBF, 0x4F, 0x33})
                               .bytes({0x81}) // a YM2612 PCM write: a wait of one
                               .build());
    ASSERT_EQ(song.chips.size(), 3u);
    EXPECT_EQ(song.chips[0].type, ChipType::sn76489);
    EXPECT_EQ(song.chips[0].clock, 3579545u);
    EXPECT_EQ(song.chips[0].noise.feedback, 0x0003);
    EXPECT_EQ(song.chips[0].noise.width, 15);
    EXPECT_FALSE(song.chips[0].noise.zeroPeriodIs1024) << "flags 0x2B bit 0 clear";
    EXPECT_EQ(song.chips[1].label(), "SN76489 #2");
    EXPECT_EQ(song.chips[2].type, ChipType::ym2612);
    EXPECT_EQ(song.chips[2].clock, 7670453u);
    EXPECT_EQ(song.writes, (std::vector<SongWrite>{{0, 0x28, 2, 0xF0},
                                                   {0, 0, 0, 0x9F},
                                                   {10, 0x1A4, 2, 0x22},
                                                   {10, 0, 1, 0xBF},
                                                   {10, 1, 0, 0x33}}));
    EXPECT_EQ(song.length, 11u);
}

} // namespace
