// The S98 source: the timer, both waits, the loop, devices with their clocks
// (the YM2149 rule), second-port writes, tags in UTF-8 and Shift_JIS and the
// old title, and the files it refuses with a reason.
#include <gtest/gtest.h>

#include "S98Builder.h"
#include "songs/S98Source.h"
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

std::string refusal(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    EXPECT_FALSE(songs::parseSong(bytes, error));
    return error;
}

TEST(S98Source, Version3DevicesWaitsSecondPortAndLoop) {
    const Song song = read(S98Builder('3')
                               .timer(1, 60) // one sync: 735 samples
                               .device(5, 4000000)
                               .device(1, 4000000) // YM2149: a 2 MHz PSG
                               .device(4, 7987200)
                               .device(5, 3579545)
                               .write(0, 0x20, 0xC7)
                               .write(1, 0x08, 0x0F)
                               .sync()
                               .write(2, 0x30, 0x71, true)
                               .loopHere()
                               .write(3, 0x08, 0x78)
                               .syncs(200) // FE with a two-byte count
                               .write(2, 0x28, 0xF0)
                               .syncs(2)
                               .build());
    EXPECT_EQ(song.format, "S98 v3");
    ASSERT_EQ(song.chips.size(), 4u);
    EXPECT_EQ(song.chips[0].type, ChipType::ym2151);
    EXPECT_EQ(song.chips[0].clock, 4000000u);
    EXPECT_EQ(song.chips[1].type, ChipType::ssg);
    EXPECT_EQ(song.chips[1].name, "YM2149");
    EXPECT_EQ(song.chips[1].clock, 2000000u);
    EXPECT_EQ(song.chips[2].type, ChipType::ym2608);
    EXPECT_EQ(song.chips[3].label(), "YM2151 #2");
    EXPECT_EQ(song.writes, (std::vector<SongWrite>{{0, 0x20, 0, 0xC7},
                                                   {0, 0x08, 1, 0x0F},
                                                   {735, 0x130, 2, 0x71},
                                                   {735, 0x08, 3, 0x78},
                                                   {735 * 201, 0x28, 2, 0xF0}}));
    EXPECT_EQ(song.length, 735u * 203);
    ASSERT_TRUE(song.loop);
    EXPECT_EQ(song.loop->write, 3u);
    EXPECT_EQ(song.loop->time, 735u);
    EXPECT_EQ(song.loopLength(), 735u * 202);
}

TEST(S98Source, Version1IsOneYm2608WithTenMillisecondSyncsAndAnOldTitle) {
    // "Title" in Shift_JIS katakana: ta i to ru.
    const Song song = read(S98Builder('1')
                               .write(0, 0x07, 0x38)
                               .sync()
                               .write(1, 0x00, 0x01) // device 1 is not listed: ignored
                               .sync()
                               .tag("\x83\x5E\x83\x43\x83\x67\x83\x8B")
                               .build());
    ASSERT_EQ(song.chips.size(), 1u);
    EXPECT_EQ(song.chips[0].type, ChipType::ym2608);
    EXPECT_EQ(song.chips[0].clock, 7987200u);
    EXPECT_EQ(song.writes.size(), 1u);
    EXPECT_EQ(song.length, 882u);
    EXPECT_FALSE(song.loop);
    ASSERT_EQ(song.tags.size(), 1u);
    EXPECT_EQ(song.tags[0].name, "Title");
#ifdef TONRIG_HAVE_ICONV
    EXPECT_EQ(song.tags[0].value, "\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB");
#endif
}

TEST(S98Source, TagsInUtf8AndShiftJisAndUnplayableDevicesNamed) {
    const Song utf8 = read(S98Builder('3')
                               .device(8, 3579545) // YM3812: named, dropped by the players
                               .device(16, 3579545)
                               .device(0, 0) // none: no chip
                               .device(15, 1789772)
                               .write(1, 0, 0x9F)
                               .tag("[S98]\xEF\xBB\xBFtitle=Caf\xC3\xA9\nartist=Someone\n"
                                    "s98by=Me\nbroken line\n")
                               .build());
    ASSERT_EQ(utf8.chips.size(), 3u);
    EXPECT_EQ(utf8.chips[0].type, ChipType::other);
    EXPECT_EQ(utf8.chips[0].name, "YM3812");
    EXPECT_EQ(utf8.chips[1].type, ChipType::sn76489);
    EXPECT_EQ(utf8.chips[2].name, "AY-3-8910");
    EXPECT_EQ(utf8.chips[2].clock, 1789772u);
    EXPECT_EQ(utf8.writes, (std::vector<SongWrite>{{0, 0, 1, 0x9F}}));
    EXPECT_EQ(utf8.tags, (std::vector<songs::SongTag>{
                             {"Title", "Caf\xC3\xA9"}, {"Artist", "Someone"}, {"S98 by", "Me"}}));

    const Song shiftJis = read(
        S98Builder('3').device(5, 4000000).tag("[S98]game=\x83\x51\x81\x5B\x83\x80\n").build());
    ASSERT_EQ(shiftJis.tags.size(), 1u);
    EXPECT_EQ(shiftJis.tags[0].name, "Game");
#ifdef TONRIG_HAVE_ICONV
    EXPECT_EQ(shiftJis.tags[0].value, "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0"); // ge-mu
#endif
    // Without the end command the file ends at its last byte.
    EXPECT_EQ(read(S98Builder('3').device(5, 4000000).syncs(3).withoutEnd().build()).length,
              3u * 441);
}

TEST(S98Source, RefusesWhatItCannotReadWithAReason) {
    EXPECT_NE(refusal(S98Builder('4').build()).find("version"), std::string::npos);
    EXPECT_NE(refusal(S98Builder('3').set32(0x0C, 1).build()).find("compressed"),
              std::string::npos);
    EXPECT_NE(refusal(S98Builder('3').set32(0x1C, 65).build()).find("64"), std::string::npos);
    EXPECT_NE(refusal(S98Builder('2').device(5, 4000000).device(99, 1).build()).find("version 2"),
              std::string::npos);
    EXPECT_NE(refusal(S98Builder('3').device(5, 4000000).bytes({0x00, 0x20}).withoutEnd().build())
                  .find("truncated"),
              std::string::npos);
    EXPECT_NE(refusal(S98Builder('3').device(5, 4000000).bytes({0xF0}).build()).find("0xF0"),
              std::string::npos);
    EXPECT_NE(refusal(S98Builder('3').device(5, 4000000).bytes({0xFE, 0x80}).withoutEnd().build())
                  .find("wait"),
              std::string::npos);
    EXPECT_NE(refusal(S98Builder('3').set32(0x18, 0x1000).build()).find("loop"), std::string::npos);
    // A version 2 file whose list reads as version 3's plays.
    EXPECT_EQ(read(S98Builder('2').device(6, 3579545).write(0, 0x30, 0x10).build()).chips[0].type,
              ChipType::ym2413);
}

} // namespace
