// tavroconfig.exe on Windows: what the file declares (GUI subsystem, icon
// group 101, a version block naming the tool, a manifest asking for
// asInvoker and common controls 6), and the program run as a user runs it:
// with any arguments it shows the library's settings dialog and ends with 0
// when the dialog is closed, or after the message when no board can be
// opened. The program runs from a directory of its own with a copy of the
// library, so that the INI file it could write is the test's.
#include "WindowDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {
namespace fs = std::filesystem;

fs::path ownDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

const fs::path tool = ownDirectory() / TAVROCONFIG_NAME;

std::wstring versionString(const std::vector<char>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || length == 0) return {};
    return static_cast<const wchar_t*>(value);
}

TEST(TavroconfigFile, IsAGuiProgramWithIconVersionBlockAndManifest) {
    std::ifstream in(tool, std::ios::binary);
    const std::vector<char> image{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    ASSERT_GT(image.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_LT(static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64), image.size());
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    EXPECT_EQ(headers->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    HMODULE file = LoadLibraryExW(tool.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr);
    EXPECT_NE(FindResourceW(file, MAKEINTRESOURCEW(101), RT_GROUP_ICON), nullptr);
    HRSRC manifest = FindResourceW(file, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(file, manifest))),
                           SizeofResource(file, manifest));
    EXPECT_NE(text.find(R"(level="asInvoker")"), std::string::npos);
    EXPECT_NE(text.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"),
              std::string::npos);
    FreeLibrary(file);

    std::vector<char> block(GetFileVersionInfoSizeW(tool.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(tool.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    EXPECT_NE(versionString(block, L"FileDescription").find(L"tavroconfig"), std::wstring::npos);
    EXPECT_EQ(versionString(block, L"ProductName"), L"tavroconfig");
    EXPECT_EQ(versionString(block, L"InternalName"), L"tavroconfig");
    EXPECT_EQ(versionString(block, L"OriginalFilename"), L"tavroconfig.exe");
}

class TavroconfigRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string why = displayMissing(); !why.empty()) GTEST_SKIP() << why;
        directory =
            fs::temp_directory_path() / ("tavroconfig-" + std::to_string(std::random_device{}()));
        fs::create_directories(directory);
        fs::copy_file(tool, directory / TAVROCONFIG_NAME);
        fs::copy_file(ownDirectory() / TAVRO_LIBRARY_NAME, directory / TAVRO_LIBRARY_NAME);
        std::ofstream(directory / "TAVRO.ini", std::ios::binary) << "[tavro]\r\nDelayTime=100\r\n";
        const fs::path board = (ownDirectory() / TAVRO_VIRTUAL_BOARD).lexically_normal();
        _wputenv_s(L"TAVRO_D2XX_MODULE", board.c_str());
    }
    void TearDown() override {
        if (process.hProcess != nullptr) {
            TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        if (!directory.empty()) fs::remove_all(directory);
    }

    // Starts the tool with the boards given, in its own directory.
    void start(const wchar_t* ports, const wchar_t* busy) {
        _wputenv_s(L"TAVRO_VB_PORTS", ports);
        _wputenv_s(L"TAVRO_VB_BUSY", busy);
        std::wstring command =
            L"\"" + (directory / TAVROCONFIG_NAME).wstring() + L"\" --any -arguments /at all";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   directory.c_str(), &startup, &process));
    }
    // The exit code, or -1 when the tool is still running after a while.
    long exitCode() {
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = {};
        return static_cast<long>(code);
    }

    fs::path directory;
    PROCESS_INFORMATION process{};
};

TEST_F(TavroconfigRun, ShowsTheSettingsDialogAndEndsWithZeroWhenItIsClosed) {
    start(L"3,7", L"0");
    HWND settings = waitForDialog(L"tavro setup");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(SendMessageW(GetDlgItem(settings, 1000), CB_GETCOUNT, 0, 0), 2);
    click(settings, IDCANCEL);
    EXPECT_EQ(exitCode(), 0);
}

TEST_F(TavroconfigRun, WithNoBoardToOpenEndsWithZeroAfterTheMessage) {
    start(L"3", L"3");
    HWND box = waitForDialog(L"インフォメーション");
    ASSERT_NE(box, nullptr);
    click(box, IDOK);
    EXPECT_EQ(exitCode(), 0);
}
} // namespace
