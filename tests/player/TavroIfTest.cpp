// The sound-chip client in this process against the recording stand-in
// library: what it asks the library for and in which order, how it undoes a
// failed binding, how chips are given back, what writeReg passes on and what
// kind a chip is.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/Platform.h"
#include "player/ExternalChipSet.h"
#include "player/TavroIf.h"
#include "support/ChildProcess.h"
#include "support/PlayerLayout.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kFake = FAKE_TAVRO_PATH;
const std::string kFakeWithoutExport = FAKE_TAVRO_NOEXPORT_PATH;

class TavroIfTest : public ::testing::Test {
protected:
    TavroIfTest() {
        platform::setEnvironment("TAVRO_FAKE_LOG", (scratch.path() / "calls.log").string());
    }
    std::vector<std::string> calls() const { return readLines(scratch.path() / "calls.log"); }

    ScratchDirectory scratch;
};

// The three requests of the player, in its order.
void requestThePlayersChips(ExternalChipSet& set, std::vector<IExternalChip*>& chips) {
    chips.push_back(set.requestChip(2, 4000000));
    chips.push_back(set.requestChip(2, 4000000));
    chips.push_back(set.requestChip(6, 2000000));
}

TEST_F(TavroIfTest, BindsOnceRequestsInOrderAndReleasesInOrderOfAcquisition) {
    ExternalChipSet set(kFake);
    std::vector<IExternalChip*> chips;
    requestThePlayersChips(set, chips);
    EXPECT_NE(chips[0], nullptr);
    EXPECT_NE(chips[1], nullptr);
    EXPECT_NE(chips[2], nullptr);
    set.releaseAll();
    EXPECT_THAT(calls(), ElementsAre("load", "getSoundInterfaceManager", "openInterfaces -> 1",
                                     "resetInterfaces", "acquireChip 2 4000000 -> 1",
                                     "acquireChip 2 4000000 -> 2", "acquireChip 6 2000000 -> 3",
                                     "releaseChip 1", "releaseChip 2", "releaseChip 3",
                                     "releaseAllChips", "closeInterfaces", "unload"));
}

TEST_F(TavroIfTest, AMissingChipLeavesTheOthersAndTheLibraryBound) {
    platform::setEnvironment("TAVRO_FAKE_CHIPS", "2:4000000,6:2000000");
    ExternalChipSet set(kFake);
    std::vector<IExternalChip*> chips;
    requestThePlayersChips(set, chips);
    EXPECT_NE(chips[0], nullptr);
    EXPECT_EQ(chips[1], nullptr);
    EXPECT_NE(chips[2], nullptr);
    set.releaseAll();
    EXPECT_THAT(calls(), ElementsAre("load", "getSoundInterfaceManager", "openInterfaces -> 1",
                                     "resetInterfaces", "acquireChip 2 4000000 -> 1",
                                     "acquireChip 2 4000000 -> null", "acquireChip 6 2000000 -> 2",
                                     "releaseChip 1", "releaseChip 2", "releaseAllChips",
                                     "closeInterfaces", "unload"));
}

// Each failing library is tried from the start by each of the three requests
// and left unloaded every time; nothing is written to the console.
TEST_F(TavroIfTest, ALibraryThatCannotServeIsTriedOncePerRequestAndUnloaded) {
    struct Case {
        std::string library;
        const char* manager;
        const char* open;
        std::vector<std::string> oneTry;
    };
    const std::vector<Case> cases = {
        {kFakeWithoutExport, "", "1", {"load", "unload"}},
        {kFake, "null", "1", {"load", "getSoundInterfaceManager", "unload"}},
        {kFake,
         "",
         "0",
         {"load", "getSoundInterfaceManager", "openInterfaces -> 0", "releaseAllChips",
          "closeInterfaces", "unload"}},
        {(scratch.path() / "absent" / "libtavro.so").string(), "", "1", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library + " manager=" + c.manager + " open=" + c.open);
        std::filesystem::remove(scratch.path() / "calls.log");
        platform::setEnvironment("TAVRO_FAKE_MANAGER", c.manager);
        platform::setEnvironment("TAVRO_FAKE_OPEN", c.open);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        {
            ExternalChipSet set(c.library);
            std::vector<IExternalChip*> chips;
            requestThePlayersChips(set, chips);
            EXPECT_THAT(chips, ElementsAre(nullptr, nullptr, nullptr));
            set.releaseAll();
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        std::vector<std::string> expected;
        for (int attempt = 0; attempt < 3; ++attempt)
            expected.insert(expected.end(), c.oneTry.begin(), c.oneTry.end());
        EXPECT_THAT(calls(), ElementsAreArray(expected));
    }
}

TEST_F(TavroIfTest, BindReportsOnlyAFreshBindingAndUnbindGivesBackLiveChips) {
    CTavroIf tavro(kFake);
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

TEST_F(TavroIfTest, WriteRegPassesTheLowDataByteAndReturnsTheLibrarysResult) {
    CTavroIf tavro(kFake);
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
    CTavroIf tavro(kFake);
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
    EXPECT_EQ(static_cast<int>(ChipKind::Psg), 1);
    EXPECT_EQ(static_cast<int>(ChipKind::Opll), 2);
    EXPECT_EQ(static_cast<int>(ChipKind::Opm), 3);
}

} // namespace
