// The INI file on disk, on every platform: board settings read with their
// defaults, the reading rules of the platform's private-profile reader (the
// Windows build calls it, the POSIX build must read the same files the same
// way, so the same expectations hold for both), the three keys saved into
// files with comments, unknown keys and missing sections, and garbage files.
// Whole-file comparisons after saving are for the POSIX editor only: the
// Windows writer rewrites the file in its own layout.
#include "soundif/core/IniFile.h"
#include "common/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

// A string literal with the NUL characters inside it.
template <std::size_t N> std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("tavro-ini-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        path = directory / "tavro.ini";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    // Each text goes to a file of its own: the platform's reader keeps recent
    // files cached and may not notice a rewrite within the same clock tick.
    void write(const std::string& text) {
        path = directory / ("tavro" + std::to_string(files++) + ".ini");
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string read() {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::int32_t readFrom(const std::string& text, const char* section, const char* key) {
        write(text);
        return readIniInt(path, section, key, 12345);
    }

    std::filesystem::path directory;
    std::filesystem::path path;
    int files = 0;
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
    EXPECT_EQ(record.dBit, 0x40);
    EXPECT_EQ(record.cBit, 0xFF);
    EXPECT_EQ(record.rBit, 128);
    EXPECT_EQ(record.addrWait, 0u);
    EXPECT_EQ(record.dataWait, 0xFFFFFFFFu);
}

TEST_F(IniFileTest, IntegersFallBackWhenFileSectionKeyOrValueIsAbsent) {
    EXPECT_EQ(readIniInt(path, "tavro", "DelayTime", 100), 100);
    write("[tavro]\nDelayTime=\nBare\nOther=5\n");
    EXPECT_EQ(readIniInt(path, "tavro", "DelayTime", 100), 100) << "an empty value";
    EXPECT_EQ(readIniInt(path, "tavro", "Bare", 100), 100) << "a key without '='";
    EXPECT_EQ(readIniInt(path, "Tavro", "other", 100), 5);
    EXPECT_EQ(readIniInt(path, "nowhere", "other", 100), 100);
}

TEST_F(IniFileTest, IntegerTextReadsByThePlatformsRules) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"42", 42},
        {"  42  ", 42},
        {"-7", -7},
        {"+5", 5},
        {"- 5", 0},
        {"+-5", 0},
        {"12abc", 12},
        {"1e3", 1},
        {"abc", 0},
        {"010", 10},
        {"0x10", 16},
        {"-0x10", -16},
        {"0xAbC", 2748},
        {"0X1f", 0},
        {"0o17", 15},
        {"0b101", 5},
        {"0b2", 0},
        {"0x", 0},
        {"0xFFFFFFFF", -1},
        {"4294967297", 1},
        {"-4294967297", -1},
        {"99999999999999999999999", -159383553},
        {"1234567890123456789012345678901234567890", 1849262357},
        {"0000000000000000000000000000000000000042", 0},
        {"\"42\"", 42},
        {"'43'", 43},
        {"\" -3 \"", -3},
        {"\"44", 0},
        {"\"45'", 0},
        {"\"7\"x", 0},
        {"\"\"", 12345},
        {"\x01\x02-3", -3},
        {"\x1a"
         "6\x1a",
         6},
        {"\v9\f", 9},
        {"1 ; comment", 1},
    };
    for (auto [text, expected] : cases)
        EXPECT_EQ(readFrom(std::string("[a]\nk=") + text + "\n", "a", "k"), expected) << text;
    EXPECT_EQ(readFrom(bytes("[a]\nk=1\0junk\nj=\0 5\n"), "a", "k"), 1) << "a NUL ends the value";
    EXPECT_EQ(readIniInt(path, "a", "j", 12345), 12345);
}

TEST_F(IniFileTest, NamesAndSectionsFollowThePlatformsRules) {
    const std::string nameCases = "[Tavro]\n  DelayTime  =  5\n\tK\t=\t6\n[a]\n;k=1\n#j=2\nk=3\n";
    EXPECT_EQ(readFrom(nameCases, "tavro", "delaytime"), 5);
    EXPECT_EQ(readIniInt(path, " TAVRO ", "k ", 12345), 6) << "names asked for are trimmed";
    EXPECT_EQ(readIniInt(path, "a", "k", 12345), 3) << "comment lines do not hide keys";
    EXPECT_EQ(readIniInt(path, "a", "j", 12345), 12345);

    EXPECT_EQ(readFrom("[a]\nk\nk=5\n", "a", "k"), 12345) << "a bare key hides a later one";
    EXPECT_EQ(readFrom("[a]\nk=1\nk=2\n[A]\nk=3\nj=4\n", "a", "k"), 1);
    EXPECT_EQ(readIniInt(path, "a", "j", 12345), 12345) << "a repeated section is not read";
    EXPECT_EQ(listSections(path), (std::vector<std::string>{"a", "A"})) << "but it is listed again";

    EXPECT_EQ(readFrom("k=1\n[a]\n", "", "k"), 1) << "keys before the first section";
    EXPECT_EQ(readIniInt(path, "a", "k", 12345), 12345);
    EXPECT_EQ(readFrom("[]\nk=1\n[a]\n", "", "k"), 12345);

    write("  [ a ]  \nk=1\n[b]junk\nk=2\n[c\nk=3\n[d]]\nk=4\n[]\n[ ]\n");
    EXPECT_EQ(listSections(path), (std::vector<std::string>{"a", "b", "d]"}));
    EXPECT_EQ(readIniInt(path, "a", "k", 12345), 1);
    EXPECT_EQ(readIniInt(path, "b", "k", 12345), 2);
    EXPECT_EQ(readIniInt(path, "c", "k", 12345), 12345) << "\"[c\" is a key line of [b]";
    EXPECT_EQ(readIniInt(path, "d]", "k", 12345), 4);

    write(bytes("[\0x]\nk=1\n[b\0c]\nk=2\nz\0y=3\n"));
    EXPECT_EQ(listSections(path), std::vector<std::string>{"b"}) << "a NUL ends a name";
    EXPECT_EQ(readIniInt(path, "b", "k", 12345), 2);
    EXPECT_EQ(readIniInt(path, "b", "z", 12345), 3);
}

TEST_F(IniFileTest, LineBreaksAndTheUtf8SignatureDoNotChangeWhatIsRead) {
    for (const char* text : {"[a]\r\nk=1\r\nj=2", "[a]\rk=1\rj=2\r", "[a]\rk=1\r\nj=2\n",
                             "[a]\r\r\nk=1\n\n\nj=2", "\xEF\xBB\xBF[a]\r\nk=1\r\nj=2\r\n"}) {
        write(text);
        EXPECT_EQ(listSections(path), std::vector<std::string>{"a"}) << text;
        EXPECT_EQ(readIniInt(path, "a", "k", 12345), 1) << text;
        EXPECT_EQ(readIniInt(path, "a", "j", 12345), 2) << text;
    }
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
    const std::string edgeName(254, 'n');
    write("[" + edgeName + "]\n");
    EXPECT_EQ(listSections(path), std::vector<std::string>{edgeName})
        << "a name that fills the first buffer exactly";
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

    BoardSettings reread;
    reread.port = 3;
    loadBoardSettings(reread, path);
    EXPECT_EQ(reread.speed, 3000000u);
    EXPECT_EQ(reread.slotChipId, 38);
    EXPECT_EQ(reread.slotChipClock, 4000000);
    EXPECT_EQ(reread.bufferSize, 64u) << "only the three keys are written";
    EXPECT_EQ(reread.sBit, 16);
    EXPECT_EQ(reread.addrWait, 7u);
    EXPECT_EQ(readIniInt(path, "tavro", "DelayTime", 0), 80);
    EXPECT_EQ(readIniInt(path, "elsewhere", "SLOT_00_CHIP_ID", 0), 1);
    EXPECT_EQ(listSections(path), (std::vector<std::string>{"tavro", "ftd2xx(COM3)", "elsewhere"}));
    const std::string after = read();
    EXPECT_NE(after.find("; settings of the sound library\r\n"), std::string::npos);
    EXPECT_NE(after.find("; hand-written waits\r\n"), std::string::npos);
    EXPECT_NE(after.find("Unknown=keep me\r\n"), std::string::npos);
    EXPECT_EQ(after.find("9600\r\n"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left beside it";
#ifndef _WIN32
    // The POSIX editor keeps every other byte, blank lines included.
    EXPECT_EQ(after, "; settings of the sound library\r\n"
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
#endif
}

TEST_F(IniFileTest, SavingGoesToTheFirstOfARepeatedSection) {
    write("[ftd2xx(COM3)]\nBufferSize=64\n[other]\n[FTD2XX(com3)]\nSpeed=5\n");
    BoardSettings record;
    record.port = 3;
    record.speed = 9600;
    record.slotChipId = 2;
    record.slotChipClock = 3579545;
    ASSERT_TRUE(saveBoardSettings(record, path));
    BoardSettings reread;
    reread.port = 3;
    loadBoardSettings(reread, path);
    EXPECT_EQ(reread.speed, 9600u);
    EXPECT_EQ(reread.slotChipId, 2);
    EXPECT_EQ(reread.bufferSize, 64u);
    EXPECT_NE(read().find("Speed=5"), std::string::npos) << "the repeat is left alone";
}

TEST_F(IniFileTest, SavingAddsAMissingSectionAtTheEndAndCreatesAMissingFile) {
    BoardSettings record;
    record.port = 12;
    record.speed = 0xFFFFFFFFu;
    record.slotChipId = 2;
    record.slotChipClock = 4000000;
    ASSERT_TRUE(saveBoardSettings(record, path));
    EXPECT_EQ(listSections(path), std::vector<std::string>{"ftd2xx(COM12)"});
    EXPECT_NE(read().find("Speed=-1"), std::string::npos) << "written as signed decimal";

    write("[tavro]\nDelayTime=100");
    record.speed = 115200;
    ASSERT_TRUE(saveBoardSettings(record, path));
    EXPECT_EQ(listSections(path), (std::vector<std::string>{"tavro", "ftd2xx(COM12)"}));
    EXPECT_EQ(readIniInt(path, "tavro", "DelayTime", 0), 100);
    BoardSettings reread;
    reread.port = 12;
    loadBoardSettings(reread, path);
    EXPECT_EQ(reread.speed, 115200u);
    EXPECT_EQ(reread.slotChipId, 2);
    EXPECT_EQ(reread.slotChipClock, 4000000);
#ifndef _WIN32
    // The POSIX editor keeps the LF endings and the missing final newline.
    EXPECT_EQ(read(), "[tavro]\nDelayTime=100\n[ftd2xx(COM12)]\nSpeed=115200\n"
                      "SLOT_00_CHIP_ID=2\nSLOT_00_CHIP_CLOCK=4000000");
#endif
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
    EXPECT_EQ(listSections(path), std::vector<std::string>{"ftd2xx(COM3)"});
    ASSERT_TRUE(saveBoardSettings(record, path));
    EXPECT_EQ(read().substr(0, 14), "[ftd2xx(COM3)]");
}

TEST(IniFile, TheBoardSectionNameCarriesThePortInDecimal) {
    EXPECT_EQ(boardSectionName(3), "ftd2xx(COM3)");
    EXPECT_EQ(boardSectionName(-1), "ftd2xx(COM-1)");
}

TEST(IniFile, ThePathIsTheModulesOwnWithTheExtensionIniWhenThatFileExists) {
    // Linked statically into this test program, the INI code's module is the
    // program itself.
    const std::filesystem::path module =
        platform::modulePathOf(reinterpret_cast<const void*>(&boardSectionName));
    ASSERT_FALSE(module.empty());
    const auto beside = std::filesystem::path(module).replace_extension(".ini");
#ifdef _WIN32
    EXPECT_EQ(iniFilePath(), beside);
    EXPECT_EQ(iniFileLocationNote(), "");
#else
    // Without it, the user's own file: $XDG_CONFIG_HOME/tavro/, else
    // ~/.config/tavro/; a relative XDG_CONFIG_HOME is ignored.
    const auto saved = [](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr ? std::optional<std::string>() : std::string(value);
    };
    const auto config = saved("XDG_CONFIG_HOME");
    const auto home = saved("HOME");
    std::filesystem::remove(beside);
    platform::setEnvironment("XDG_CONFIG_HOME", "/cfg/x");
    platform::setEnvironment("HOME", "/home/u");
    EXPECT_EQ(iniFilePath(), std::filesystem::path("/cfg/x/tavro") / beside.filename());
    platform::setEnvironment("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(iniFilePath(), std::filesystem::path("/home/u/.config/tavro") / beside.filename());
    platform::unsetEnvironment("XDG_CONFIG_HOME");
    EXPECT_EQ(iniFilePath(), std::filesystem::path("/home/u/.config/tavro") / beside.filename());
    platform::unsetEnvironment("HOME");
    EXPECT_EQ(iniFilePath(), beside) << "nowhere else to go";
    platform::setEnvironment("HOME", "/home/u");
    std::ofstream(beside) << "[tavro]\n";
    EXPECT_EQ(iniFilePath(), beside);
    std::filesystem::remove(beside);
    for (const auto& [name, value] :
         {std::pair{"XDG_CONFIG_HOME", config}, std::pair{"HOME", home}})
        value ? platform::setEnvironment(name, *value) : platform::unsetEnvironment(name);
    EXPECT_NE(iniFileLocationNote().find("~/.config/tavro/"), std::string::npos);
#endif
}

} // namespace
