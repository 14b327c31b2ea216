// tavroplay's command line: options and their faults, playlists read
// relative to their folder with comments skipped, and playlists that cannot
// be read turned into a fault in their place.
#include <gtest/gtest.h>

#include <fstream>

#include "support/ChildProcess.h"
#include "tavroplay/CommandLine.h"

namespace {

using tavroplay::CommandLine;

std::string faultOf(const std::vector<std::string>& arguments) {
    std::string error;
    EXPECT_FALSE(CommandLine::parse(arguments, error).has_value());
    return error;
}

TEST(CommandLine, ReadsOptionsAndRefusesBadValues) {
    std::string error;
    const auto line = CommandLine::parse(
        {"--loops", "3", "--fade", "0.5", "--quiet", "--wav", "out.wav", "a.vgm", "--", "-b.vgz"},
        error);
    ASSERT_TRUE(line) << error;
    EXPECT_EQ(line->loops, 3);
    EXPECT_DOUBLE_EQ(line->fadeSeconds, 0.5);
    EXPECT_TRUE(line->quiet);
    EXPECT_EQ(line->wav, std::filesystem::path("out.wav"));
    ASSERT_EQ(line->items.size(), 2u);
    EXPECT_EQ(line->items[1].path, std::filesystem::path("-b.vgz"));

    EXPECT_EQ(faultOf({"--loops", "0", "a.vgm"}),
              "--loops takes a whole number from 1 to 1000, not \"0\"");
    EXPECT_EQ(faultOf({"--loops", "2.5", "a.vgm"}),
              "--loops takes a whole number from 1 to 1000, not \"2.5\"");
    EXPECT_EQ(faultOf({"--fade", "-1", "a.vgm"}), "--fade takes seconds from 0 to 600, not \"-1\"");
    EXPECT_EQ(faultOf({"a.vgm", "--fade"}), "--fade needs a value");
    EXPECT_EQ(faultOf({"--speed", "a.vgm"}), "unknown option --speed");
    EXPECT_EQ(faultOf({}), "no file to play");
    EXPECT_TRUE(CommandLine::parse({"--list"}, error).has_value());
}

TEST(CommandLine, ExpandsPlaylistsInPlace) {
    ScratchDirectory scratch;
    std::filesystem::create_directories(scratch.path() / "music");
    std::ofstream(scratch.path() / "music" / "list.m3u", std::ios::binary)
        << "\xEF\xBB\xBF#EXTM3U\r\n"
        << "one.vgm\r\n"
        << "  \r\n"
        << "#EXTINF:123,Two\r\n"
        << "sub\\two.vgz\r\n"
        << (scratch.path() / "three.vgm").string() << "\n"
        << "nested.m3u\n";
    std::string error;
    const auto line =
        CommandLine::parse({"first.vgm", (scratch.path() / "music" / "list.m3u").string(),
                            (scratch.path() / "missing.m3u").string()},
                           error);
    ASSERT_TRUE(line) << error;
    const std::filesystem::path music = scratch.path() / "music";
    ASSERT_EQ(line->items.size(), 6u);
    EXPECT_EQ(line->items[0].path, "first.vgm");
    EXPECT_EQ(line->items[1].path, music / "one.vgm");
    EXPECT_EQ(line->items[2].path, music / "sub" / "two.vgz");
    EXPECT_EQ(line->items[3].path, scratch.path() / "three.vgm");
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(line->items[i].fault, "") << i;
    EXPECT_EQ(line->items[4].fault, "playlists inside playlists are not played");
    EXPECT_EQ(line->items[5].path, scratch.path() / "missing.m3u");
    EXPECT_EQ(line->items[5].fault, "no such file");
}

} // namespace
