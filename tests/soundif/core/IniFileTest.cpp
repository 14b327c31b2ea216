// The INI file on disk: board settings read with their defaults, the three
// keys saved into files with comments, CRLF endings, unknown keys and missing
// sections (whole files compared), atomic replacement, and garbage files.
#include "soundif/core/IniFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("tavro-ini-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        path = directory / "libtavro.ini";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string read() {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path directory;
    std::filesystem::path path;
};

TEST_F(IniFileTest, BoardSettingsKeepTheirDefaultsForAbsentKeys) {
    write("[ftd2xx(COM3)]\nSLOT_00_CHIP_ID=38\nslot_00_chip_clock=4000000\n");
    BoardSettings record;
    record.port = 3;
    loadBoardSettings(record, path);
    EXPECT_EQ(record.slotChipId, 38);
    EXPECT_EQ(record.slotChipClock, 4000000);
    EXPECT_EQ(record.speed, 115200u);
    EXPECT_EQ(record.bufferSize, 512u);
    EXPECT_EQ(record.sBit, 1);
    EXPECT_EQ(record.dBit, 2);
    EXPECT_EQ(record.cBit, 4);
    EXPECT_EQ(record.rBit, 8);
    EXPECT_EQ(record.addrWait, 0xFFFFFFFFu);
    EXPECT_EQ(record.dataWait, 0xFFFFFFFFu);
}

TEST_F(IniFileTest, EveryBoardKeyIsReadAndMasksKeepTheirLowByte) {
    write("[FTD2XX(com7)]\nSpeed=3000000\nBufferSize=0\nSLOT_00_CHIP_ID=39\n"
          "SLOT_00_CHIP_CLOCK=3579545\nSBit=257\nDBit=0x40\nCBit=-1\nRBit=128\n"
          "AddrWait=0\nDataWait=4294967295\n");
    BoardSettings record;
    record.port = 7;
    loadBoardSettings(record, path);
    EXPECT_EQ(record.speed, 3000000u);
    EXPECT_EQ(record.bufferSize, 0u);
    EXPECT_EQ(record.slotChipId, 39);
    EXPECT_EQ(record.slotChipClock, 3579545);
    EXPECT_EQ(record.sBit, 1);
    EXPECT_EQ(record.dBit, 0) << "no decimal digits read as 0";
    EXPECT_EQ(record.cBit, 0xFF);
    EXPECT_EQ(record.rBit, 128);
    EXPECT_EQ(record.addrWait, 0u);
    EXPECT_EQ(record.dataWait, 0xFFFFFFFFu);
}

TEST_F(IniFileTest, IntegersFallBackOnlyWhenFileSectionOrKeyIsAbsent) {
    EXPECT_EQ(readIniInt(path, "tavro", "DelayTime", 100), 100);
    write("[tavro]\nDelayTime=\nOther=5\n");
    EXPECT_EQ(readIniInt(path, "tavro", "DelayTime", 100), 0);
    EXPECT_EQ(readIniInt(path, "Tavro", "other", 100), 5);
    EXPECT_EQ(readIniInt(path, "nowhere", "other", 100), 100);
}

TEST_F(IniFileTest, ManyLongSectionNamesAreListedWholeInOrder) {
    std::string text;
    std::vector<std::string> names;
    for (int i = 0; i < 500; ++i) {
        names.push_back("section-" + std::to_string(i) + "-" + std::string(300, 'a' + i % 26));
        text += "[" + names.back() + "]\nk=" + std::to_string(i) + "\n";
    }
    write(text);
    EXPECT_EQ(listSections(path), names);
    EXPECT_TRUE(listSections(directory / "absent.ini").empty());
}

TEST_F(IniFileTest, SavingChangesOnlyTheThreeKeysInAFileWithEverythingElse) {
    const std::string before = "; settings of the sound library\r\n"
                               "[tavro]\r\n"
                               "DelayTime=80\r\n"
                               "\r\n"
                               "[ftd2xx(COM3)]\r\n"
                               "speed=9600\r\n"
                               "BufferSize=64\r\n"
                               "SBit=16\r\n"
                               "; hand-written waits\r\n"
                               "AddrWait=7\r\n"
                               "Unknown=keep me\r\n"
                               "\r\n"
                               "[elsewhere]\r\n"
                               "SLOT_00_CHIP_ID=1\r\n";
    write(before);
    BoardSettings record;
    record.port = 3;
    record.speed = 3000000;
    record.slotChipId = 38;
    record.slotChipClock = 4000000;
    record.bufferSize = 1;
    ASSERT_TRUE(saveBoardSettings(record, path));
    EXPECT_EQ(read(), "; settings of the sound library\r\n"
                      "[tavro]\r\n"
                      "DelayTime=80\r\n"
                      "\r\n"
                      "[ftd2xx(COM3)]\r\n"
                      "speed=3000000\r\n"
                      "BufferSize=64\r\n"
                      "SBit=16\r\n"
                      "; hand-written waits\r\n"
                      "AddrWait=7\r\n"
                      "Unknown=keep me\r\n"
                      "SLOT_00_CHIP_ID=38\r\n"
                      "SLOT_00_CHIP_CLOCK=4000000\r\n"
                      "\r\n"
                      "[elsewhere]\r\n"
                      "SLOT_00_CHIP_ID=1\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left beside it";
}

TEST_F(IniFileTest, SavingAddsAMissingSectionAtTheEndAndCreatesAMissingFile) {
    BoardSettings record;
    record.port = 12;
    record.speed = 0xFFFFFFFFu;
    record.slotChipId = 2;
    record.slotChipClock = 4000000;
    ASSERT_TRUE(saveBoardSettings(record, path));
    EXPECT_EQ(read(), "[ftd2xx(COM12)]\nSpeed=-1\nSLOT_00_CHIP_ID=2\nSLOT_00_CHIP_CLOCK=4000000\n");

    write("[tavro]\nDelayTime=100");
    record.speed = 115200;
    ASSERT_TRUE(saveBoardSettings(record, path));
    EXPECT_EQ(read(), "[tavro]\nDelayTime=100\n[ftd2xx(COM12)]\nSpeed=115200\n"
                      "SLOT_00_CHIP_ID=2\nSLOT_00_CHIP_CLOCK=4000000");
    BoardSettings reread;
    reread.port = 12;
    loadBoardSettings(reread, path);
    EXPECT_EQ(reread.speed, 115200u);
    EXPECT_EQ(reread.slotChipClock, 4000000);
}

TEST_F(IniFileTest, SavingIntoAMissingDirectoryFailsWithoutAFile) {
    BoardSettings record;
    record.port = 1;
    EXPECT_FALSE(saveBoardSettings(record, directory / "no" / "such.ini"));
    EXPECT_FALSE(std::filesystem::exists(directory / "no"));
}

TEST_F(IniFileTest, ADirectoryInTheFilesPlaceReadsAsEmptyAndIsNotReplaced) {
    std::filesystem::create_directories(path);
    BoardSettings record;
    record.port = 3;
    loadBoardSettings(record, path);
    EXPECT_EQ(record.speed, 115200u);
    EXPECT_TRUE(listSections(path).empty());
    EXPECT_EQ(readIniInt(path, "tavro", "DelayTime", 100), 100);
    EXPECT_FALSE(saveBoardSettings(record, path));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(IniFileTest, GarbageHugeNumbersAndBinaryFilesOpenWithoutACrash) {
    std::string text("[ftd2xx(COM3)]\nSpeed=99999999999999999999999\nSLOT_00_CHIP_ID=38\x01\x02\n");
    text += std::string("\0\0\xff\xfe\n[\0]\n", 9);
    text += "SLOT_00_CHIP_CLOCK=" + std::string(1 << 20, '7') + "\n";
    text += std::string(1 << 16, '[');
    write(text);
    BoardSettings record;
    record.port = 3;
    loadBoardSettings(record, path);
    EXPECT_EQ(record.slotChipId, 38);
    EXPECT_EQ(record.speed, 4135583743u) << "the digits wrap modulo 2^32";
    EXPECT_EQ(listSections(path).size(), 2u);
    ASSERT_TRUE(saveBoardSettings(record, path));
    EXPECT_EQ(read().substr(0, 14), "[ftd2xx(COM3)]");
}

TEST(IniFile, TheBoardSectionNameCarriesThePortInDecimal) {
    EXPECT_EQ(boardSectionName(3), "ftd2xx(COM3)");
    EXPECT_EQ(boardSectionName(-1), "ftd2xx(COM-1)");
}

} // namespace
