// The settings dialog of the real TAVRO.DLL, run through the manager's
// showSettingsDialog on the thread that loaded the library (so that its
// creation hook binds the dialogs), against the virtual board module. A
// second thread plays the user. Each case copies the library into a
// directory of its own, beside its own INI file.
#include "WindowDriver.h"

#include <tavro/SoundInterface.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <thread>

namespace {
namespace fs = std::filesystem;
using Entries = std::vector<std::wstring>;

const std::string handWritten = "[tavro]\r\n"
                                "DelayTime=100\r\n"
                                "\r\n"
                                "[ftd2xx(COM3)]\r\n"
                                "Speed=921600\r\n"
                                "BufferSize=64\r\n"
                                "SLOT_00_CHIP_ID=38\r\n"
                                "SLOT_00_CHIP_CLOCK=4000000\r\n";

const wchar_t* const noBoardText =
    L"tavro.dllが使用中か、利用できるインターフェースが存在しません。\r\n"
    L"プレイヤー等を停止した状態で設定を行ってください。";

fs::path ownDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

// Polls until the control's text is wanted (a posted pick is handled later).
bool waitForText(HWND control, const std::wstring& wanted) {
    for (int tries = 0; tries < 500; ++tries) {
        if (textOf(control) == wanted) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string why = displayMissing(); !why.empty()) GTEST_SKIP() << why;
        directory = fs::temp_directory_path() /
                    ("tavro-settings-" + std::to_string(std::random_device{}()));
        fs::create_directories(directory);
        fs::copy_file(ownDirectory() / TAVRO_LIBRARY_NAME, directory / TAVRO_LIBRARY_NAME);
        ini = directory / "TAVRO.ini";
        const fs::path board = (ownDirectory() / TAVRO_VIRTUAL_BOARD).lexically_normal();
        _wputenv_s(L"TAVRO_D2XX_MODULE", board.c_str());
    }
    void TearDown() override {
        if (!directory.empty()) fs::remove_all(directory);
    }

    void writeIni(const std::string& text) { std::ofstream(ini, std::ios::binary) << text; }
    std::string readIni() {
        std::ifstream in(ini, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    int key(const wchar_t* section, const wchar_t* name) {
        return static_cast<int>(GetPrivateProfileIntW(section, name, -1, ini.c_str()));
    }

    // Loads the library here, runs its settings dialog while user plays
    // from another thread, and unloads it; the dialog's result.
    std::int32_t run(const wchar_t* ports, const wchar_t* busy, const std::function<void()>& user) {
        _wputenv_s(L"TAVRO_VB_PORTS", ports);
        _wputenv_s(L"TAVRO_VB_BUSY", busy);
        HMODULE library = LoadLibraryW((directory / TAVRO_LIBRARY_NAME).c_str());
        EXPECT_NE(library, nullptr);
        if (library == nullptr) return -1;
        auto* entry = reinterpret_cast<SoundInterfaceManager* (*)()>(
            reinterpret_cast<void*>(GetProcAddress(library, "getSoundInterfaceManager")));
        std::thread player([&] {
            user();
            closeEverything();
        });
        const std::int32_t result = entry != nullptr ? entry()->showSettingsDialog() : -1;
        player.join();
        FreeLibrary(library);
        return result;
    }

    // Whatever a failed step left open, so that the dialog returns.
    static void closeEverything() {
        for (const wchar_t* caption : {L"インフォメーション", L"KX7M Setup", L"tavro setup"})
            if (HWND open = FindWindowW(L"#32770", caption)) click(open, IDCANCEL);
    }

    fs::path directory;
    fs::path ini;
};

TEST_F(SettingsDialog, ListsTheAttachedBoardsInDriverOrderWithTheFirstSelected) {
    const std::int32_t result = run(L"3,7", L"0", [] {
        HWND settings = waitForDialog(L"tavro setup");
        ASSERT_NE(settings, nullptr);
        HWND list = GetDlgItem(settings, 1000);
        EXPECT_EQ(comboEntries(list), (Entries{L"ftd2xx(COM3)", L"ftd2xx(COM7)"}));
        EXPECT_EQ(comboItemData(list), (std::vector<LRESULT>{3, 7}));
        EXPECT_EQ(comboSelection(list), 0);
        click(settings, IDCANCEL);
        EXPECT_TRUE(waitUntilClosed(L"tavro setup"));
    });
    EXPECT_EQ(result, 1);
}

TEST_F(SettingsDialog, SetupThenCancelLeavesTheFileAsItWas) {
    writeIni(handWritten);
    run(L"3,7", L"0", [] {
        HWND settings = waitForDialog(L"tavro setup");
        ASSERT_NE(settings, nullptr);
        click(settings, 1001);
        HWND setup = waitForDialog(L"KX7M Setup");
        ASSERT_NE(setup, nullptr);
        // The board setup dialog is bound and started from the section.
        EXPECT_EQ(textOf(GetDlgItem(setup, 1002)), L"921600");
        EXPECT_EQ(textOf(GetDlgItem(setup, 1003)), L"KX7M");
        EXPECT_EQ(textOf(GetDlgItem(setup, 1004)), L"4000000");
        pick(setup, 1003, 2);
        EXPECT_TRUE(waitForText(GetDlgItem(setup, 1004), L"3579545"));
        click(setup, IDCANCEL);
        EXPECT_TRUE(waitUntilClosed(L"KX7M Setup"));
        click(settings, IDCANCEL);
    });
    EXPECT_EQ(readIni(), handWritten);
}

TEST_F(SettingsDialog, Trq05WithOkCreatesTheSectionAndTheOuterDialogStaysBound) {
    writeIni(handWritten);
    run(L"3,7", L"0", [] {
        HWND settings = waitForDialog(L"tavro setup");
        ASSERT_NE(settings, nullptr);
        pick(settings, 1000, 1);
        click(settings, 1001);
        HWND setup = waitForDialog(L"KX7M Setup");
        ASSERT_NE(setup, nullptr);
        HWND clock = GetDlgItem(setup, 1004);
        EXPECT_EQ(textOf(GetDlgItem(setup, 1002)), L"115200");
        EXPECT_EQ(textOf(GetDlgItem(setup, 1003)), L"NONE");
        EXPECT_FALSE(IsWindowEnabled(clock));
        pick(setup, 1003, 2);
        EXPECT_TRUE(waitForText(clock, L"3579545"));
        EXPECT_TRUE(IsWindowEnabled(clock));
        click(setup, IDOK);
        EXPECT_TRUE(waitUntilClosed(L"KX7M Setup"));

        // Setup again: the settings dialog still answers, and the new board
        // setup dialog reads what was saved.
        click(settings, 1001);
        setup = waitForDialog(L"KX7M Setup");
        ASSERT_NE(setup, nullptr);
        EXPECT_EQ(textOf(GetDlgItem(setup, 1003)), L"TRQ05");
        click(setup, IDCANCEL);
        EXPECT_TRUE(waitUntilClosed(L"KX7M Setup"));
        click(settings, IDCANCEL);
    });
    // Other keys stay as they were (the system's profile writer may drop
    // blank lines, so the file is compared by keys).
    EXPECT_EQ(key(L"tavro", L"DelayTime"), 100);
    EXPECT_EQ(key(L"ftd2xx(COM3)", L"Speed"), 921600);
    EXPECT_EQ(key(L"ftd2xx(COM3)", L"BufferSize"), 64);
    EXPECT_EQ(key(L"ftd2xx(COM7)", L"Speed"), 115200);
    EXPECT_EQ(key(L"ftd2xx(COM7)", L"SLOT_00_CHIP_ID"), 39);
    EXPECT_EQ(key(L"ftd2xx(COM7)", L"SLOT_00_CHIP_CLOCK"), 3579545);
    EXPECT_EQ(key(L"ftd2xx(COM7)", L"BufferSize"), -1);
    EXPECT_EQ(key(L"ftd2xx(COM3)", L"SLOT_00_CHIP_ID"), 38);
}

TEST_F(SettingsDialog, WithNoBoardToOpenTheMessageComesAndTheDialogCloses) {
    const std::int32_t result = run(L"3", L"3", [] {
        HWND box = waitForDialog(L"インフォメーション");
        ASSERT_NE(box, nullptr);
        const Entries texts = controlTexts(box);
        EXPECT_NE(std::find(texts.begin(), texts.end(), noBoardText), texts.end());
        EXPECT_EQ(FindWindowW(L"#32770", L"tavro setup") != nullptr &&
                      IsWindowVisible(FindWindowW(L"#32770", L"tavro setup")),
                  false);
        click(box, IDOK);
        EXPECT_TRUE(waitUntilClosed(L"インフォメーション"));
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(FindWindowW(L"#32770", L"tavro setup"), nullptr);
}
} // namespace
