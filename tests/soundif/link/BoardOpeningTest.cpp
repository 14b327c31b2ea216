// Opening a board through the recording device module: which devices are
// opened, queried and closed, the calls that put the device in bit-bang mode,
// the chips of each board model, the wait repeats, and the teardown order.
#include "common/Platform.h"
#include "soundif/link/SoundInterfaceFtd2xx.h"
#include "tests/soundif/link/RecordingD2xx.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;

BoardSettings kx7m(std::int32_t port) {
    BoardSettings settings;
    settings.port = port;
    settings.slotChipId = tavro::boardIdKx7m;
    settings.slotChipClock = 4000000;
    return settings;
}

TEST(BoardOpening, TheSecondDeviceWithTheWantedPortIsKept) {
    recording::start("3,5");
    CSoundInterfaceFtd2xx board(kx7m(5), recording::functions());
    EXPECT_EQ(board.chipCount(), 3);
    EXPECT_EQ(board.interfaceInfo()->chipCount, 3);
    EXPECT_STREQ(board.interfaceInfo()->name, "KX7M(COM5)");
    EXPECT_THAT(recording::calls(),
                ElementsAre("list 2147483648", "open 0", "port 0", "close 0", "open 1", "port 1",
                            "bitmode 1 0 0", "bitmode 1 255 1", "baud 1 115200"));
    EXPECT_TRUE(board.threadRunning());
}

// Opening again closes the device that is open first: a device can be open
// only once, so it is found again, and no handle is left behind.
TEST(BoardOpening, OpeningAgainClosesTheOpenDeviceFirst) {
    recording::start("3");
    CSoundInterfaceFtd2xx board(kx7m(3), recording::functions());
    ASSERT_EQ(board.chipCount(), 3);
    recording::clear();
    EXPECT_EQ(board.openByComPort(3), 0u);
    EXPECT_THAT(recording::calls(), ElementsAre("close 0", "list 2147483648", "open 0", "port 0"));
    EXPECT_EQ(board.writeRegister(1, 0x20, 0x40), 1);
}

TEST(BoardOpening, AFailedOpenIsReportedAndLeavesNoChips) {
    recording::start("!3");
    CSoundInterfaceFtd2xx board(kx7m(3), recording::functions());
    EXPECT_EQ(board.chipCount(), 0);
    EXPECT_STREQ(board.interfaceInfo()->name, "KX7M(COM3)");
    EXPECT_FALSE(board.threadRunning());
    EXPECT_EQ(board.openByComPort(3), 3u);
    EXPECT_EQ(board.writeRegister(0, 0, 0), 0);
    EXPECT_EQ(board.resetInterface(), 0);
}

TEST(BoardOpening, NoDeviceOrNoMatchingPortIsNotFound) {
    recording::start("");
    CSoundInterfaceFtd2xx none(kx7m(3), recording::functions());
    EXPECT_EQ(none.chipCount(), 0);
    EXPECT_EQ(none.openByComPort(3), ftDeviceNotFound);
    recording::setDevices("4,6");
    EXPECT_EQ(none.openByComPort(3), ftDeviceNotFound);
    recording::setDevices("?4");
    EXPECT_EQ(none.openByComPort(3), 4u) << "a failed port query is remembered";
    platform::setEnvironment("TAVRO_TEST_D2XX_LIST_STATUS", "4");
    EXPECT_EQ(none.openByComPort(3), 4u) << "a failed listing is returned unchanged";
    platform::setEnvironment("TAVRO_TEST_D2XX_LIST_STATUS", "0");
}

TEST(BoardOpening, ChipIdZeroTouchesNoDevice) {
    recording::start("3");
    BoardSettings settings = kx7m(3);
    settings.slotChipId = 0;
    {
        CSoundInterfaceFtd2xx board(settings, recording::functions());
        EXPECT_EQ(board.chipCount(), 0);
        EXPECT_STREQ(board.interfaceInfo()->name, "");
    }
    EXPECT_TRUE(recording::calls().empty());
}

TEST(BoardOpening, EachBoardModelHasItsChipsAndWaits) {
    recording::start("1,2,3");
    BoardSettings settings = kx7m(1);
    settings.speed = 3000000;
    CSoundInterfaceFtd2xx k(settings, recording::functions());
    EXPECT_EQ(k.addressWaitRepeat(), 1u);
    EXPECT_EQ(k.dataWaitRepeat(), 6u);
    const SoundChipInfo* ssg = k.chipAt(0)->chipInfo();
    EXPECT_STREQ(ssg->name, "SSG");
    EXPECT_EQ(ssg->type, 20);
    EXPECT_EQ(ssg->altType[0], 6);
    EXPECT_EQ(ssg->altClock[0], 2000000);
    EXPECT_EQ(ssg->altType[1], 0);
    EXPECT_EQ(k.chipAt(2)->chipInfo()->position, 2);

    settings.port = 2;
    settings.slotChipId = tavro::boardIdTrq05;
    settings.addrWait = 0;
    CSoundInterfaceFtd2xx t(settings, recording::functions());
    EXPECT_STREQ(t.interfaceInfo()->name, "TRQ05(COM2)");
    EXPECT_EQ(t.addressWaitRepeat(), 0u);
    EXPECT_EQ(t.dataWaitRepeat(), 17u);
    EXPECT_EQ(t.chipAt(1)->chipType(), 10);

    settings.port = 3;
    settings.slotChipId = tavro::chipTypeYm2203;
    settings.addrWait = 0xFFFFFFFEu;
    settings.dataWait = 0xFFFFFFFFu;
    CSoundInterfaceFtd2xx bare(settings, recording::functions());
    EXPECT_STREQ(bare.interfaceInfo()->name, "COM3");
    EXPECT_EQ(bare.chipCount(), 1);
    EXPECT_EQ(bare.addressWaitRepeat(), wire::maxWaitRepeat);
    EXPECT_EQ(bare.dataWaitRepeat(), 4u) << "bare port default 15 at 3000000";
}

TEST(BoardOpening, TeardownResetsTheBoardThenLeavesBitBangAndCloses) {
    recording::start("3");
    {
        CSoundInterfaceFtd2xx board(kx7m(3), recording::functions());
        recording::clear();
    }
    EXPECT_THAT(recording::calls(),
                ElementsAre("write 0 18", "write 0 18", "bitmode 0 0 0", "close 0"));
    const auto bytes = recording::bytes();
    ASSERT_EQ(bytes.size(), 36u);
    EXPECT_EQ(bytes[0], 0xF7);
    EXPECT_EQ(bytes[17], 0xF9);
}

} // namespace
