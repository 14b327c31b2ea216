// --list FILE...: each song's format, chips, length, loop, tags and peak
// write rate against the link, without playing; a file that cannot be read
// gets one line of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../songs/S98Builder.h"
#include "support/ChildProcess.h"
#include "tavroplay/SongListing.h"

namespace {

TEST(SongListing, ChipsLengthLoopTagsAndTheLinksLoad) {
    ScratchDirectory scratch;
    // A dense S98: 2,000 writes a second for a second (20 per 10 ms sync),
    // then a looping part.
    S98Builder dense('3');
    dense.device(5, 4000000).device(1, 4000000);
    for (int sync = 0; sync < 100; ++sync) {
        for (int i = 0; i < 20; ++i)
            dense.write(0, 0x28, static_cast<std::uint8_t>(i + sync));
        dense.sync();
    }
    dense.loopHere().write(1, 0x08, 0x0F).syncs(500).tag("[S98]\xEF\xBB\xBFtitle=Dense\n");
    const std::vector<std::uint8_t> bytes = dense.build();
    std::ofstream(scratch.path() / "dense.s98", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    std::ostringstream out, faults;
    const int code = tavroplay::listSongs(
        {{scratch.path() / "dense.s98", ""}, {scratch.path() / "gone.vgm", ""}}, out, faults);
    EXPECT_EQ(code, 1);
    const std::string text = out.str();
    EXPECT_NE(text.find("dense.s98: S98 v3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Chips:  YM2151 at 4000000 Hz, YM2149 at 2000000 Hz\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  Length: 0:06, looping from 0:01\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Title:  Dense\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Writes: at most 2000 a second (at 0:00); the link carries 1067 at "
                        "Speed 115200: Speed 230400 would carry them\n"),
              std::string::npos)
        << text;
    EXPECT_NE(faults.str().find("gone.vgm: no such file"), std::string::npos) << faults.str();
}

} // namespace
