// What the terminal shows: times, the tag with its Japanese fallback, and the
// status line with the loop, fade or pause and each chip's channels.
#include <gtest/gtest.h>

#include "RecordingSink.h"
#include "tavroplay/Display.h"

namespace {

using namespace tavroplay;
using songs::ChipType;

TEST(Display, TimesTagAndStatusLine) {
    EXPECT_EQ(formatTime(0), "0:00");
    EXPECT_EQ(formatTime(44100 * 61 + 44099), "1:01");
    EXPECT_EQ(formatTime(44100ull * 3723), "1:02:03");

    const std::vector<songs::SongTag> tags = {{"Track", "Title"},
                                              {"Game", "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0"},
                                              {"Copyright", "1987"}};
    EXPECT_EQ(tagLines(tags), (std::vector<std::string>{
                                  "Track:  Title", "Game:   \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0",
                                  "Copyright: 1987"}));

    RecordingSink sink;
    auto opmOwner = makeFamily(ChipType::ym2151, 1.0, sink);
    ChipFamily& opm = *opmOwner;
    opm.write(0x08, 0x7A);
    auto psgOwner = makeFamily(ChipType::ssg, 1.0, sink);
    ChipFamily& psg = *psgOwner;
    const std::vector<MeterChip> chips = {{"OPM", &opm}, {"PSG", &psg}};
    Position position;
    position.sample = 44100 * 5;
    position.pass = 2;
    EXPECT_EQ(statusLine(position, 44100 * 90, true, 3, chips, false),
              "0:05 / 1:30  loop 2/3  OPM ..#.....  PSG ...");
    EXPECT_EQ(statusLine(position, 44100 * 90, false, 3, chips, false),
              "0:05 / 1:30  OPM ..#.....  PSG ...");
    position.fading = true;
    EXPECT_EQ(statusLine(position, 44100 * 90, true, 3, chips, false).substr(0, 17),
              "0:05 / 1:30  fade");
    EXPECT_EQ(statusLine(position, 44100 * 90, true, 3, chips, true).substr(0, 19),
              "0:05 / 1:30  paused");
    position.fading = false;
    EXPECT_EQ(statusLine(position, 0, true, 0, chips, false).substr(0, 24),
              "0:05 / endless  loop 2  ");
}

TEST(Display, TextFromFilesNeverReachesTheTerminalAsControls) {
    // Retitle the window, clear the screen, a C1 CSI (U+009B), a bell, DEL.
    const std::vector<songs::SongTag> tags = {
        {"Track", "\x1B]0;owned\x07Song\x1B[2J"},
        {"Game", "a\xC2\x9B"
                 "2Jb\x7F\r\n"},
        {"Author", "\xC3\xA9t\xC3\xA9 \xE3\x82\xB2"}}; // text outside the controls stays
    EXPECT_EQ(tagLines(tags), (std::vector<std::string>{"Track:  \\x1B]0;owned\\x07Song\\x1B[2J",
                                                        "Game:   a\\x9B2Jb\\x7F\\x0D\\x0A",
                                                        "Author: \xC3\xA9t\xC3\xA9 \xE3\x82\xB2"}));
    EXPECT_EQ(terminalText("dir/\x1B[31mred.vgm"), "dir/\\x1B[31mred.vgm");
}

} // namespace
