// The manager over real board interfaces on the recording device module:
// opening from the INI file, the order of interfaces, acquiring and releasing
// chips, the send delay, and the cases where nothing may open.
#include "soundif/core/SoundInterfaceManager.h"
#include "soundif/link/SoundInterfaceFtd2xx.h"
#include "tests/soundif/link/RecordingD2xx.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

std::filesystem::path iniPath;
std::filesystem::path testIniPath() {
    return iniPath;
}

std::unique_ptr<CSoundInterface> makeBoard(const BoardSettings& settings,
                                           const D2xxFunctions& devices) {
    return std::make_unique<CSoundInterfaceFtd2xx>(settings, devices);
}

// What the settings dialog was run with.
struct DialogRun {
    std::filesystem::path iniPath;
    const D2xxFunctions* devices = nullptr;
    int count = 0;
} dialogRun;

std::int32_t recordDialog(const std::filesystem::path& path, const D2xxFunctions& devices) {
    dialogRun.iniPath = path;
    dialogRun.devices = &devices;
    ++dialogRun.count;
    return 1;
}

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("tavro-manager-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(directory);
        iniPath = directory / "libtavro.ini";
        std::filesystem::remove(iniPath);
        recording::start("3,4,5,7");
        dialogRun = {};
    }
    void TearDown() override {
        manager.closeInterfaces();
        std::filesystem::remove_all(directory);
    }
    void writeIni(const std::string& text) { std::ofstream(iniPath, std::ios::binary) << text; }

    static std::string board(int port, int id, int clock) {
        return "[ftd2xx(COM" + std::to_string(port) + ")]\nSLOT_00_CHIP_ID=" + std::to_string(id) +
               "\nSLOT_00_CHIP_CLOCK=" + std::to_string(clock) + "\n";
    }
    std::int32_t positionOf(SoundChip* chip) { return chip ? chip->chipInfo()->position : -1; }

    std::filesystem::path directory;
    CSoundInterfaceManager manager{{testIniPath, recording::functions, makeBoard, recordDialog}};
};

TEST_F(ManagerTest, Kx7mChipsAreHandedOutInPositionOrderOnce) {
    writeIni(board(3, tavro::boardIdKx7m, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    ASSERT_EQ(manager.interfaceCount(), 1);
    EXPECT_STREQ(manager.interfaceInfoAt(0)->name, "KX7M(COM3)");
    EXPECT_EQ(manager.interfaceInfoAt(0)->chipCount, 3);

    SoundChip* first = manager.acquireChip(tavro::chipTypeYm2151, 4000000);
    EXPECT_EQ(positionOf(first), 1);
    EXPECT_EQ(positionOf(manager.acquireChip(tavro::chipTypeYm2151, 4000000)), 2);
    EXPECT_EQ(manager.acquireChip(tavro::chipTypeYm2151, 4000000), nullptr);
    EXPECT_EQ(positionOf(manager.acquireChip(tavro::chipTypePsg, 2000000)), 0);
    EXPECT_EQ(manager.acquireChip(tavro::chipTypeYmz294, 4000000), nullptr)
        << "the SSG is in use as the PSG";

    EXPECT_EQ(manager.releaseChip(first), 1);
    EXPECT_EQ(manager.releaseChip(first), 0);
    EXPECT_EQ(manager.releaseChip(nullptr), 0);
    EXPECT_EQ(manager.acquireChip(tavro::chipTypeYm2151, 4000000), first);
    EXPECT_EQ(manager.releaseAllChips(), 1);
    EXPECT_EQ(positionOf(manager.acquireChip(tavro::chipTypeYmz294, 4000000)), 0);
}

TEST_F(ManagerTest, AlternateClockIsTheBoardClockShiftedRight) {
    writeIni(board(3, tavro::boardIdKx7m, 4000001) + board(4, tavro::boardIdKx7m, 3999999));
    ASSERT_EQ(manager.openInterfaces(), 1);
    SoundChip* psg = manager.acquireChip(tavro::chipTypePsg, 2000000);
    ASSERT_NE(psg, nullptr);
    EXPECT_EQ(psg, manager.interfaceAt(0)->chipAt(0));
    EXPECT_EQ(manager.acquireChip(tavro::chipTypePsg, 2000000), nullptr)
        << "3999999 halves to 1999999";
    EXPECT_EQ(manager.acquireChip(tavro::chipTypeNone, 4000001), nullptr);
    EXPECT_EQ(manager.acquireChip(tavro::chipTypeYm2151, 0), nullptr);
}

// Both alternate identities of a chip's record are searched, in order after
// its own. (No board model fills the second; a record given one is served
// by it.)
TEST_F(ManagerTest, BothAlternatePairsOfAChipAreSearched) {
    writeIni(board(3, 38, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    SoundChip* opm = manager.interfaceAt(0)->chipAt(2);
    opm->chipInfo()->altType[1] = 4;
    opm->chipInfo()->altClock[1] = 3993600;
    EXPECT_EQ(manager.acquireChip(4, 3993600), opm);
    EXPECT_EQ(manager.acquireChip(4, 3993600), nullptr) << "now in use";
    EXPECT_EQ(manager.acquireChip(4, 4000000), nullptr) << "the clock goes with its type";
}

TEST_F(ManagerTest, InterfacesFollowTheSectionOrderOfTheFile) {
    writeIni("[tavro]\nDelayTime=30\n" + board(5, tavro::boardIdTrq05, 3579545) +
             "[unrelated]\nx=1\n" + board(3, tavro::chipTypeYm2203, 3993600) +
             board(7, tavro::boardIdKx7m, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    ASSERT_EQ(manager.interfaceCount(), 3);
    EXPECT_STREQ(manager.interfaceInfoAt(0)->name, "TRQ05(COM5)");
    EXPECT_STREQ(manager.interfaceInfoAt(1)->name, "COM3");
    EXPECT_STREQ(manager.interfaceInfoAt(2)->name, "KX7M(COM7)");

    SoundInterface* trq05 = manager.interfaceAt(0);
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < 3; ++i)
        names.push_back(trq05->chipAt(i)->chipInfo()->name);
    EXPECT_THAT(names, ::testing::ElementsAre("SSG", "OPLL", "OPLL"));
    EXPECT_EQ(trq05->chipAt(1)->chipInfo()->attribute, 3);
    EXPECT_EQ(trq05->chipAt(0)->chipInfo()->attribute, 0);
    const SoundChipInfo* fm = manager.interfaceAt(1)->chipAt(0)->chipInfo();
    EXPECT_STREQ(fm->name, "FM");
    EXPECT_EQ(fm->type, 4);
    EXPECT_EQ(fm->altType[0], 0);

    EXPECT_EQ(manager.acquireChip(tavro::chipTypeYmz294, 3579545), trq05->chipAt(0));
    EXPECT_EQ(manager.acquireChip(tavro::chipTypeYmz294, 4000000),
              manager.interfaceAt(2)->chipAt(0));
    EXPECT_EQ(manager.getSendDelay(), 30);
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(manager.interfaceAt(i)->getSendDelay(), 30);
}

TEST_F(ManagerTest, MalformedBoardSectionsOpenNothing) {
    writeIni(board(0, tavro::boardIdKx7m, 4000000) + "[FTD2XX(COM3)]\nSLOT_00_CHIP_ID=38\n" +
             "[ftd2xx(COM-4)]\nSLOT_00_CHIP_ID=38\n[ftd2xx(COMx)]\nSLOT_00_CHIP_ID=38\n" +
             "[ftd2xx(COM 5)]\nSLOT_00_CHIP_ID=38\n" + board(7, 0, 4000000));
    EXPECT_EQ(manager.openInterfaces(), 0);
    EXPECT_EQ(manager.interfaceCount(), 0);
    EXPECT_EQ(manager.getSendDelay(), 100);
    EXPECT_TRUE(recording::calls().empty()) << "no section named a board to open";
}

// The port of a board section is plain decimal text: blanks and a sign may
// come first, every digit after leading zeros counts, and no prefix selects
// another base. A section names its board's port; the board's keys are those
// of its own section, so the order of the interfaces shows which port each
// section name was read as (a second interface for a port already open
// cannot open its device and is dropped).
TEST_F(ManagerTest, SectionNamesGiveTheirPortAsPlainDecimal) {
    recording::setDevices("3,4,5,8,9");
    writeIni("[ftd2xx(COM0x5)]\n[ftd2xx(COM" + std::string(30, '0') + "4)]\n" +
             "[ftd2xx(COM \t+8)]\n[ftd2xx(COM-9)]\n" + board(3, 38, 4000000) +
             board(4, 38, 4000000) + board(5, 38, 4000000) + board(8, 38, 4000000) +
             board(9, 38, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(manager.interfaceCount()); ++i)
        names.push_back(manager.interfaceInfoAt(i)->name);
    EXPECT_THAT(names, ::testing::ElementsAre("KX7M(COM4)", "KX7M(COM8)", "KX7M(COM3)",
                                              "KX7M(COM5)", "KX7M(COM9)"));
}

TEST_F(ManagerTest, ABoardThatFailsToOpenIsDroppedBesideOneThatOpens) {
    recording::setDevices("4");
    writeIni(board(3, tavro::boardIdKx7m, 4000000) + board(4, 2, 4000000));
    EXPECT_EQ(manager.openInterfaces(), 1);
    ASSERT_EQ(manager.interfaceCount(), 1);
    EXPECT_STREQ(manager.interfaceInfoAt(0)->name, "COM4");
}

TEST_F(ManagerTest, OpeningTwiceChangesNothingUntilClosed) {
    writeIni("[tavro]\nDelayTime=10\n" + board(3, tavro::boardIdKx7m, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    SoundInterface* first = manager.interfaceAt(0);
    writeIni("[tavro]\nDelayTime=20\n" + board(3, tavro::boardIdKx7m, 4000000) +
             board(4, tavro::boardIdKx7m, 4000000));
    EXPECT_EQ(manager.openInterfaces(), 0);
    EXPECT_EQ(manager.interfaceCount(), 1);
    EXPECT_EQ(manager.getSendDelay(), 10);
    EXPECT_EQ(manager.isValidInterface(first), 1);

    EXPECT_EQ(manager.closeInterfaces(), 1);
    EXPECT_EQ(manager.isValidInterface(first), 0);
    EXPECT_EQ(manager.isValidInterface(nullptr), 0);
    EXPECT_EQ(manager.openInterfaces(), 1);
    EXPECT_EQ(manager.interfaceCount(), 2) << "the file is read anew";
    EXPECT_EQ(manager.getSendDelay(), 20);
}

TEST_F(ManagerTest, SendDelaySetBeforeOpeningIsReplacedByTheFile) {
    EXPECT_EQ(manager.getSendDelay(), 0);
    EXPECT_EQ(manager.setSendDelay(50), 1);
    EXPECT_EQ(manager.getSendDelay(), 50);
    writeIni(board(3, tavro::boardIdKx7m, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    EXPECT_EQ(manager.getSendDelay(), 100);
    EXPECT_EQ(manager.interfaceAt(0)->getSendDelay(), 100);
    EXPECT_EQ(manager.setSendDelay(7), 1);
    EXPECT_EQ(manager.interfaceAt(0)->getSendDelay(), 7);
}

TEST_F(ManagerTest, WithoutAFileOrInterfacesEverythingReportsAsDocumented) {
    EXPECT_EQ(manager.openInterfaces(), 0);
    EXPECT_EQ(manager.getSendDelay(), 100);
    EXPECT_EQ(manager.resetInterfaces(), 1);
    EXPECT_EQ(manager.initAllChips(), 1);
    EXPECT_EQ(manager.setSendDelay(3), 1);
    EXPECT_EQ(manager.interfaceAt(0), nullptr);
    EXPECT_EQ(manager.interfaceInfoAt(0xFFFFFFFFu), nullptr);
}

// A board that reports failure does not keep the boards after it from being
// initialised.
TEST_F(ManagerTest, InitReachesTheBoardsAfterOneThatFails) {
    writeIni(board(4, 1, 7987200) + board(3, 38, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    ASSERT_EQ(manager.interfaceCount(), 2);
    EXPECT_EQ(manager.initAllChips(), 0) << "the bare YM2608 has no silent state";
    EXPECT_EQ(manager.interfaceAt(1)->chipAt(0)->getRegister(0x07), 0xFF) << "SSG mixer off";
    EXPECT_EQ(manager.interfaceAt(1)->chipAt(1)->getRegister(0xFF), 0xFF) << "OPM release set";
}

// A board that has lost its device cannot be reset; the boards after it
// still are, and the failure is reported.
TEST_F(ManagerTest, ResetReachesTheBoardsAfterOneThatFails) {
    writeIni(board(3, 38, 4000000) + board(4, 38, 4000000));
    ASSERT_EQ(manager.openInterfaces(), 1);
    ASSERT_EQ(manager.interfaceCount(), 2);
    auto* first = dynamic_cast<CSoundInterfaceFtd2xx*>(manager.interfaceAt(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->openByComPort(99), ftDeviceNotFound) << "the device is gone";
    recording::clear();
    EXPECT_EQ(manager.resetInterfaces(), 0);
    const auto calls = recording::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 1 18"), 2)
        << "the second board's pulse";
}

TEST_F(ManagerTest, ResetAndInitReachEveryBoard) {
    writeIni(board(3, tavro::boardIdKx7m, 4000000) + board(4, 1, 7987200));
    ASSERT_EQ(manager.openInterfaces(), 1);
    ASSERT_EQ(manager.interfaceCount(), 2);
    EXPECT_EQ(manager.interfaceAt(1)->chipCount(), 1);
    EXPECT_EQ(manager.initAllChips(), 0) << "the bare YM2608 has no silent state";
    EXPECT_EQ(manager.resetInterfaces(), 1);
    const auto calls = recording::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 0 18"), 2);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 1 18"), 2);
    EXPECT_EQ(manager.interfaceInfoAt(2), nullptr);
}

TEST_F(ManagerTest, TheSettingsDialogGetsTheIniFileAndTheDevicesAndOpensNothing) {
    writeIni(board(3, tavro::boardIdKx7m, 4000000));
    EXPECT_EQ(manager.showSettingsDialog(), 1);
    EXPECT_EQ(dialogRun.count, 1);
    EXPECT_EQ(dialogRun.iniPath, iniPath);
    EXPECT_EQ(dialogRun.devices, &recording::functions());
    EXPECT_EQ(manager.interfaceCount(), 0);
    EXPECT_TRUE(recording::calls().empty());
}

} // namespace
