// The session on a destination: each song's chips placed and played, one
// line naming the chips nobody plays, one line when the song is denser than
// the link, a fault for a file that cannot be read, the destination begun
// and ended for each song.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../songs/S98Builder.h"
#include "RecordingDestination.h"
#include "support/ChildProcess.h"
#include "tavroplay/Session.h"

namespace {

void save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST(Session, PlaysNamesDroppedChipsWarnsOfTheLinkAndReportsFaults) {
    ScratchDirectory scratch;
    // A YM2151 with 30 changing writes in its first 10 ms, and a YM3812
    // (dropped: its write does not count).
    S98Builder song('3');
    song.device(5, 4000000).device(8, 3579545);
    for (int i = 0; i < 30; ++i)
        song.write(0, 0x28, static_cast<std::uint8_t>(i));
    song.write(1, 0x20, 0x01).syncs(10);
    save(scratch.path() / "dense.s98", song.build());

    RecordingDestination destination({{songs::ChipType::ym2151, 4000000}});
    destination.linkCapacity = 1000;
    std::atomic<bool> stop{false};
    std::ostringstream messages;
    tavroplay::Session session(destination, {{1, 0.0}, false, false}, stop, messages);
    const int code = session.run({{scratch.path() / "dense.s98", ""},
                                  {scratch.path() / "gone.s98", ""},
                                  {scratch.path() / "list.m3u", "cannot be opened"}});
    EXPECT_EQ(code, 1);
    const std::string text = messages.str();
    EXPECT_NE(text.find("dense.s98: not on the test board, its writes are dropped: YM3812\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("dense.s98: up to 3000 writes a second (at 0:00), more than the link "
                        "carries at Speed 108000 (1000 a second): Speed 460800 "
                        "would carry them\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("gone.s98: no such file\n"), std::string::npos) << text;
    EXPECT_NE(text.find("list.m3u: cannot be opened\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("()"), std::string::npos) << "no empty list: " << text;
    // The song played to its end on the YM2151: its last key code, then silence.
    EXPECT_EQ(destination.sinks[0].state[0x28], 29);
    EXPECT_EQ(destination.begun, 1);
    EXPECT_EQ(destination.ended, std::vector<bool>{true});

    // Quiet: no notices, the same exit code; a stop request ends at once.
    std::ostringstream quietMessages;
    stop = true;
    EXPECT_EQ(tavroplay::Session(destination, {{1, 0.0}, true, false}, stop, quietMessages)
                  .run({{scratch.path() / "dense.s98", ""}}),
              0);
    EXPECT_EQ(quietMessages.str(), "");
}

TEST(Session, PreviousOntoAFileThatCannotBePlayedGoesOnBackPastIt) {
    ScratchDirectory scratch;
    S98Builder song('3');
    song.device(5, 4000000).write(0, 0x28, 0x10).syncs(1);
    save(scratch.path() / "a.s98", song.build());
    save(scratch.path() / "c.s98", song.build());
    RecordingDestination destination({{songs::ChipType::ym2151, 4000000}});
    // a plays, b cannot be read, c asks for the one before: b again, which is
    // passed over backwards to a, which plays; then b and c once more.
    destination.firstAnswers.push_back(tavroplay::Request::go);
    destination.firstAnswers.push_back(tavroplay::Request::previous);
    std::atomic<bool> stop{false};
    std::ostringstream messages;
    tavroplay::Session session(destination, {{1, 0.0}, true, false}, stop, messages);
    EXPECT_EQ(session.run({{scratch.path() / "a.s98", ""},
                           {scratch.path() / "b.s98", ""},
                           {scratch.path() / "c.s98", ""}}),
              1);
    const std::string text = messages.str();
    std::size_t faults = 0;
    for (std::size_t at = text.find("b.s98: no such file"); at != std::string::npos;
         at = text.find("b.s98: no such file", at + 1))
        ++faults;
    EXPECT_EQ(faults, 3u) << text;
    EXPECT_EQ(destination.begun, 4); // a, c, a, c
}

} // namespace
