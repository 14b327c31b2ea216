// The settings dialog on the scripted binding: the list of attached boards,
// the message when there is none, and what "&Setup" reads and writes.
#include "FakeDevices.h"
#include "ScriptedBinding.h"

#include "soundif/core/IniFile.h"
#include "soundif/dialogs/ConfigDlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {
namespace fs = std::filesystem;
using Entries = std::vector<std::string>;

class ConfigDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory =
            fs::temp_directory_path() / ("tavro-dialogs-" + std::to_string(std::random_device{}()));
        fs::create_directories(directory);
        ini = directory / "libtavro.ini";
    }
    void TearDown() override { fs::remove_all(directory); }

    void writeIni(const std::string& text) { std::ofstream(ini, std::ios::binary) << text; }
    std::string readIni() {
        std::ifstream in(ini, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // A saved file as compared here: the profile writer of Windows rewrites
    // the file in its own layout and drops blank lines; every other line
    // stays as it was. Elsewhere every byte is kept.
    static std::string asSaved(std::string text) {
#ifdef _WIN32
        for (std::size_t at; (at = text.find("\r\n\r\n")) != std::string::npos;)
            text.erase(at, 2);
#endif
        return text;
    }
    std::int32_t key(const std::string& section, const std::string& name) {
        return readIniInt(ini, section, name, -12345);
    }
    MessageResult run(const std::vector<FakeDevice>& devices, FT_STATUS listStatus = ftOk) {
        CConfigDlg dialog(ini, fakeDevices(devices, listStatus));
        return dialog.doModal();
    }

    fs::path directory;
    fs::path ini;
    ScriptedBinding user;
};

const std::string handWritten = "; boards\r\n"
                                "[tavro]\r\n"
                                "DelayTime=80\r\n"
                                "\r\n"
                                "[ftd2xx(COM3)]\r\n"
                                "Speed=921600\r\n"
                                "BufferSize=64\r\n"
                                "SLOT_00_CHIP_ID=38\r\n"
                                "SBit=16\r\n"
                                "SLOT_00_CHIP_CLOCK=4000000\r\n"
                                "DataWait=7\r\n";

TEST_F(ConfigDlgTest, ListsBoardsInDriverOrderWithTheFirstSelected) {
    user.script({
        [](ScriptedBinding& u) {
            auto& list = u.control(1000);
            EXPECT_EQ(list.entries, (Entries{"ftd2xx(COM3)", "ftd2xx(COM7)"}));
            EXPECT_EQ(list.data, (std::vector<std::intptr_t>{3, 7}));
            EXPECT_EQ(list.selection, 0);
            EXPECT_EQ(u.front().text, "tavro setup");
        },
        [](ScriptedBinding& u) { u.click(2); },
    });
    EXPECT_EQ(run({{3}, {7}}), 2);
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(openFakeHandles(), 0);
}

TEST_F(ConfigDlgTest, LeavesOutBoardsHeldByAnotherProgram) {
    user.script({
        [](ScriptedBinding& u) { EXPECT_EQ(u.control(1000).entries, (Entries{"ftd2xx(COM7)"})); },
        [](ScriptedBinding& u) { u.click(2); },
    });
    run({{3, true}, {7}});
    EXPECT_EQ(openFakeHandles(), 0);
}

TEST_F(ConfigDlgTest, LeavesOutBoardsWhosePortCannotBeReadAndClosesThem) {
    user.script({
        [](ScriptedBinding& u) {
            EXPECT_EQ(u.control(1000).entries, (Entries{"ftd2xx(COM7)"}));
            EXPECT_EQ(u.control(1000).data, (std::vector<std::intptr_t>{7}));
        },
        [](ScriptedBinding& u) { u.click(2); },
    });
    run({{3, false, true}, {7}});
    EXPECT_EQ(openFakeHandles(), 0);
}

TEST_F(ConfigDlgTest, AFailedDeviceListingShowsTheMessageAndOpensNothing) {
    EXPECT_EQ(run({{3}, {7}}, 4), 0);
    ASSERT_EQ(user.messages.size(), 1U);
    EXPECT_EQ(user.messages[0].caption, "インフォメーション");
    EXPECT_EQ(openFakeHandles(), 0);
}

TEST_F(ConfigDlgTest, WithNoUsableBoardShowsTheMessageAndCloses) {
    for (const auto& devices : {std::vector<FakeDevice>{}, std::vector<FakeDevice>{{3, true}}}) {
        user.messages.clear();
        EXPECT_EQ(run(devices), 0);
        ASSERT_EQ(user.messages.size(), 1U);
        EXPECT_EQ(user.messages[0].caption, "インフォメーション");
        EXPECT_EQ(user.messages[0].text,
                  "tavro.dllが使用中か、利用できるインターフェースが存在しません。\r\n"
                  "プレイヤー等を停止した状態で設定を行ってください。");
    }
}

TEST_F(ConfigDlgTest, BoardWithoutSectionStartsFromDefaultsAndOkCreatesIt) {
    writeIni(handWritten);
    user.script({
        [](ScriptedBinding& u) { u.pick(1000, "ftd2xx(COM7)"); },
        [](ScriptedBinding& u) { u.click(1001); },
        [](ScriptedBinding& u) {
            EXPECT_EQ(u.front().text, "KX7M Setup");
            EXPECT_EQ(u.control(1002).entries[static_cast<std::size_t>(u.control(1002).selection)],
                      "115200");
            EXPECT_EQ(u.control(1003).selection, 0); // "NONE"
            EXPECT_FALSE(u.control(1004).enabled);
            EXPECT_EQ(u.control(1004).text, "");
        },
        [](ScriptedBinding& u) { u.pick(1003, "YM2203"); },
        [](ScriptedBinding& u) { u.click(1); },
        [](ScriptedBinding& u) { u.click(2); },
    });
    run({{3}, {7}});
    EXPECT_EQ(readIni().substr(0, asSaved(handWritten).size()), asSaved(handWritten));
    EXPECT_EQ(key("ftd2xx(COM7)", "Speed"), 115200);
    EXPECT_EQ(key("ftd2xx(COM7)", "SLOT_00_CHIP_ID"), 4);
    EXPECT_EQ(key("ftd2xx(COM7)", "SLOT_00_CHIP_CLOCK"), 3993600);
    EXPECT_EQ(key("ftd2xx(COM7)", "BufferSize"), -12345);
}

TEST_F(ConfigDlgTest, TheFirstSaveCreatesTheFileAndItsMissingFolders) {
    ini = directory / "config" / "tavro" / "libtavro.ini";
    user.script({
        [](ScriptedBinding& u) { u.click(1001); },
        [](ScriptedBinding& u) { u.pick(1003, "KX7M"); },
        [](ScriptedBinding& u) { u.click(1); },
        [](ScriptedBinding& u) { u.click(2); },
    });
    run({{3040}});
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(key("ftd2xx(COM3040)", "SLOT_00_CHIP_ID"), 38);
    EXPECT_EQ(key("ftd2xx(COM3040)", "Speed"), 115200);
}

TEST_F(ConfigDlgTest, SetupReadsTheSectionAndOkWritesOnlyTheThreeKeys) {
    writeIni(handWritten);
    user.script({
        [](ScriptedBinding& u) { u.click(1001); },
        [](ScriptedBinding& u) {
            EXPECT_EQ(u.control(1002).selection, 7); // 921600
            EXPECT_EQ(u.control(1003).selection, 1); // "KX7M"
            EXPECT_EQ(u.control(1004).text, "4000000");
        },
        [](ScriptedBinding& u) { u.pick(1002, "230400"); },
        [](ScriptedBinding& u) { u.pick(1003, "TRQ05"); },
        [](ScriptedBinding& u) { u.click(1); },
        [](ScriptedBinding& u) { u.click(2); },
    });
    run({{3}});
    std::string expected = handWritten;
    for (auto [from, to] : {std::pair{"Speed=921600", "Speed=230400"},
                            std::pair{"SLOT_00_CHIP_ID=38", "SLOT_00_CHIP_ID=39"},
                            std::pair{"CLOCK=4000000", "CLOCK=3579545"}})
        expected.replace(expected.find(from), std::string(from).size(), to);
    EXPECT_EQ(readIni(), asSaved(expected));
}

TEST_F(ConfigDlgTest, OkThatCannotSaveSaysSoAndKeepsTheFile) {
    writeIni(handWritten);
    // A directory in the file's place cannot be replaced by the new file.
    const fs::path blocked = directory / "blocked.ini";
    fs::create_directories(blocked);
    user.script({
        [](ScriptedBinding& u) { u.click(1001); },
        [](ScriptedBinding& u) { u.pick(1003, "TRQ05"); },
        [](ScriptedBinding& u) { u.click(1); },
        [](ScriptedBinding& u) { u.click(2); },
    });
    CConfigDlg dialog(blocked, fakeDevices({{3}}));
    dialog.doModal();
    ASSERT_EQ(user.messages.size(), 1U);
    EXPECT_EQ(user.messages[0].caption, "インフォメーション");
    std::string note = iniFileLocationNote();
    EXPECT_EQ(user.messages[0].text, "The settings could not be saved to this file:\r\n" +
                                         blocked.string() + (note.empty() ? "" : "\r\n" + note));
    EXPECT_TRUE(fs::is_directory(blocked));

    // A successful save shows nothing.
    user.messages.clear();
    user.script({
        [](ScriptedBinding& u) { u.click(1001); },
        [](ScriptedBinding& u) { u.click(1); },
        [](ScriptedBinding& u) { u.click(2); },
    });
    run({{3}});
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(ConfigDlgTest, SetupThenCancelLeavesTheFileUnchanged) {
    writeIni(handWritten);
    user.script({
        [](ScriptedBinding& u) { u.click(1001); },
        [](ScriptedBinding& u) { u.pick(1003, "NONE"); },
        [](ScriptedBinding& u) { u.pick(1002, "9600"); },
        [](ScriptedBinding& u) { u.click(2); },
        [](ScriptedBinding& u) { u.click(1001); }, // the section is read anew
        [](ScriptedBinding& u) { EXPECT_EQ(u.control(1004).text, "4000000"); },
        [](ScriptedBinding& u) { u.click(2); },
        [](ScriptedBinding& u) { u.click(2); },
    });
    run({{3}});
    EXPECT_EQ(readIni(), handWritten);
}
} // namespace
