// The sound-chip client in this process against the recording stand-in
// library: binding once, chips given back when they go and when the library
// is unbound, what writeReg passes on and what kind a chip is. The program
// tests cover the player's requests and the failing libraries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/Platform.h"
#include "player/TavroIf.h"
#include "support/ChildProcess.h"
#include "support/PlayerLayout.h"

namespace {

using ::testing::ElementsAre;

const std::string fakeLibrary = FAKE_TAVRO_PATH;

class TavroIfTest : public ::testing::Test {
protected:
    TavroIfTest() {
        clearFakeLibrarySettings();
        platform::setEnvironment("TAVRO_FAKE_LOG", (scratch.path() / "calls.log").string());
    }
    ~TavroIfTest() override { clearFakeLibrarySettings(); }
    std::vector<std::string> calls() const { return readLines(scratch.path() / "calls.log"); }

    ScratchDirectory scratch;
};

TEST_F(TavroIfTest, BindReportsOnlyAFreshBindingAndUnbindGivesBackLiveChips) {
    CTavroIf tavro(fakeLibrary);
    EXPECT_TRUE(tavro.bind());
    EXPECT_FALSE(tavro.bind());
    IExternalChip* first = tavro.createChip(2, 4000000);
    IExternalChip* second = tavro.createChip(2, 4000000);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    delete second;
    tavro.unbind();
    tavro.unbind();
    EXPECT_THAT(calls(), ElementsAre("load", "getSoundInterfaceManager", "openInterfaces -> 1",
                                     "resetInterfaces", "acquireChip 2 4000000 -> 1",
                                     "acquireChip 2 4000000 -> 2", "releaseChip 2", "releaseChip 1",
                                     "releaseAllChips", "closeInterfaces", "unload"));
}

// The chips still recorded at unbind are given back in the order they were
// made, before the library's own release and close.
TEST_F(TavroIfTest, UnbindGivesBackTheRecordedChipsInCreationOrder) {
    CTavroIf tavro(fakeLibrary);
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(tavro.createChip(i < 2 ? 2 : 6, i < 2 ? 4000000 : 2000000), nullptr);
    tavro.unbind();
    const std::vector<std::string> log = calls();
    ASSERT_GE(log.size(), 6u);
    EXPECT_THAT(std::vector<std::string>(log.end() - 6, log.end()),
                ElementsAre("releaseChip 1", "releaseChip 2", "releaseChip 3", "releaseAllChips",
                            "closeInterfaces", "unload"));
}

TEST_F(TavroIfTest, WriteRegPassesTheLowDataByteAndReturnsTheLibrarysResult) {
    CTavroIf tavro(fakeLibrary);
    IExternalChip* chip = tavro.createChip(6, 2000000);
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->writeReg(0x18, 0x1FF), 0x1FF);
    EXPECT_EQ(chip->writeReg(0xFF, 0x7A5A), 0x15A);
    const std::vector<std::string> log = calls();
    EXPECT_THAT(std::vector<std::string>(log.end() - 2, log.end()),
                ElementsAre("setRegister 3 0x18 0xff", "setRegister 3 0xff 0x5a"));
}

TEST_F(TavroIfTest, KindFollowsTheInfoRecordsTypeOverTheChipType) {
    // type:clock[:type in the info record]
    platform::setEnvironment("TAVRO_FAKE_CHIPS",
                             "20:1,2:1,6:1,10:1,4:1,2:2:6,6:2:2,10:2:none,20:2:10");
    CTavroIf tavro(fakeLibrary);
    const std::vector<std::pair<std::pair<int, int>, ChipKind>> expected = {
        {{20, 1}, ChipKind::Other}, {{2, 1}, ChipKind::Opm},   {{6, 1}, ChipKind::Psg},
        {{10, 1}, ChipKind::Opll},  {{4, 1}, ChipKind::Other}, {{2, 2}, ChipKind::Psg},
        {{6, 2}, ChipKind::Opm},    {{10, 2}, ChipKind::Opll}, {{20, 2}, ChipKind::Opll},
    };
    for (const auto& [request, kind] : expected) {
        IExternalChip* chip = tavro.createChip(request.first, request.second);
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->kind(), kind) << request.first << ":" << request.second;
    }
}

} // namespace
