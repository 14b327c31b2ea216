// tavroplay's command line: options and their faults, playlists read
// relative to their folder with comments skipped, and playlists that cannot
// be read turned into a fault in their place.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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

    EXPECT_EQ(faultOf({"--loops", "2.5", "a.vgm"}),
              "--loops takes a whole number from 0 (endless) to 1000, not \"2.5\"");
    EXPECT_EQ(faultOf({"--loops", "-1", "a.vgm"}),
              "--loops takes a whole number from 0 (endless) to 1000, not \"-1\"");
    EXPECT_EQ(faultOf({"--fade", "-1", "a.vgm"}), "--fade takes seconds from 0 to 600, not \"-1\"");
    EXPECT_EQ(faultOf({"--fade", "nan", "a.vgm"}),
              "--fade takes seconds from 0 to 600, not \"nan\"");
    // Endless loops, shuffle and repeat; endless loops cannot be rendered.
    const auto endless =
        CommandLine::parse({"--loops", "0", "--shuffle", "--repeat", "a.vgm"}, error);
    ASSERT_TRUE(endless) << error;
    EXPECT_EQ(endless->loops, 0);
    EXPECT_TRUE(endless->shuffle);
    EXPECT_TRUE(endless->repeat);
    EXPECT_EQ(faultOf({"--loops", "0", "--wav", "out.wav", "a.vgm"}),
              "--loops 0 loops without end: give --wav a number of loops");
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

TEST(CommandLine, TakesFoldersAndAPlaylistOnStandardInput) {
    ScratchDirectory scratch;
    const std::filesystem::path folder = scratch.path() / "album";
    std::filesystem::create_directories(folder / "sub.vgm");
    for (const char* name : {"b.vgz", "a.vgm", "c.VGM", "notes.txt", "10.vgm"})
        std::ofstream(folder / name) << "x";
    std::filesystem::create_directories(scratch.path() / "empty");
    std::istringstream input("one.vgm\n# comment\n/abs/two.vgz\n");
    std::string error;
    const auto line = CommandLine::parse(
        {folder.string(), "-", (scratch.path() / "empty").string()}, error, input);
    ASSERT_TRUE(line) << error;
    std::vector<std::string> names;
    for (const auto& item : line->items)
        names.push_back(item.path.filename().string() +
                        (item.fault.empty() ? "" : ": " + item.fault));
    // The folder's songs in name order (no sub-folders, no other files),
    // then standard input's entries as given, relative to here.
    EXPECT_EQ(names, (std::vector<std::string>{"10.vgm", "a.vgm", "b.vgz", "c.VGM", "one.vgm",
                                               "two.vgz", "empty: holds no song file"}));
    EXPECT_EQ(line->items[4].path, "one.vgm");
}

#ifndef _WIN32
// Symbolic links and devices as POSIX systems have them.
TEST(CommandLine, ReadsPlaylistsWithoutBlockingOrWithoutBounds) {
    ScratchDirectory scratch;
    // A playlist that is a device or a FIFO is named, not read.
    const std::filesystem::path zero = scratch.path() / "zero.m3u";
    std::filesystem::create_symlink("/dev/zero", zero);
    std::vector<tavroplay::PlayItem> items = tavroplay::readPlaylist(zero);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].fault, "not a regular file");
    // A playlist over the cap, refused by its size.
    const std::filesystem::path large = scratch.path() / "large.m3u";
    std::ofstream(large) << "a.vgm\n";
    std::filesystem::resize_file(large, 64u << 20);
    items = tavroplay::readPlaylist(large);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].fault, "too large to be a playlist (over 4 MB)");
    // Standard input likewise stops at the cap.
    std::istringstream endless(std::string((4u << 20) + 1, '\n'));
    items = tavroplay::readPlaylist(endless);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].fault, "too large to be a playlist (over 4 MB)");
    // A symbolic link loop is named as one.
    std::filesystem::create_symlink(scratch.path() / "b.m3u", scratch.path() / "a.m3u");
    std::filesystem::create_symlink(scratch.path() / "a.m3u", scratch.path() / "b.m3u");
    items = tavroplay::readPlaylist(scratch.path() / "a.m3u");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].fault, "its symbolic links point at one another (a loop)");
}

#endif

} // namespace
