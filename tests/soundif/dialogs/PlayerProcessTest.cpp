// A player-like process and the dialog module: loading the library, opening
// a (virtual) board and writing registers must not map any GUI library,
// because the dialogs live in a module of their own that is loaded only for
// showSettingsDialog. Without a display that call writes one line to standard
// error and returns 1. The library is a copy in a temporary directory with
// its own INI file. The dialog case runs in a child process: a toolkit once
// mapped stays mapped, which would fail the other case after it.
#include "common/Platform.h"

#include <tavro/SoundInterface.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

namespace {
namespace fs = std::filesystem;

std::string fileText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PlayerProcess : public ::testing::Test {
protected:
    void SetUp() override {
        directory =
            fs::temp_directory_path() / ("tavro-player-" + std::to_string(std::random_device{}()));
        fs::create_directories(directory);
        fs::copy_file(TAVRO_LIBRARY, directory / "libtavro.so");
        std::ofstream(directory / "libtavro.ini") << "[tavro]\nDelayTime=10\n"
                                                  << "[ftd2xx(COM3)]\nSLOT_00_CHIP_ID=38\n"
                                                  << "SLOT_00_CHIP_CLOCK=4000000\n";
        platform::setEnvironment("TAVRO_D2XX_MODULE", TAVRO_VIRTUAL_BOARD);
        platform::setEnvironment("TAVRO_VB_PORTS", "3");
        module = platform::loadLibrary((directory / "libtavro.so").string());
        ASSERT_NE(module, nullptr);
        auto* entry = reinterpret_cast<SoundInterfaceManager* (*)()>(
            platform::findSymbol(module, "getSoundInterfaceManager"));
        ASSERT_NE(entry, nullptr);
        manager = entry();
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override {
        if (module != nullptr) platform::freeLibrary(module);
        fs::remove_all(directory);
    }

    fs::path directory;
    void* module = nullptr;
    SoundInterfaceManager* manager = nullptr;
};

TEST_F(PlayerProcess, PlayingMapsNoGuiLibrary) {
    ASSERT_EQ(manager->openInterfaces(), 1);
    EXPECT_EQ(manager->resetInterfaces(), 1);
    SoundChip* chips[] = {manager->acquireChip(2, 4000000), manager->acquireChip(2, 4000000),
                          manager->acquireChip(6, 2000000)};
    for (SoundChip* chip : chips) {
        ASSERT_NE(chip, nullptr);
        for (std::uint32_t value = 0; value < 64; ++value)
            chip->setRegister(value & 0x0F, value);
    }
    const std::string maps = fileText("/proc/self/maps");
    ASSERT_NE(maps.find("libtavro.so"), std::string::npos);
    for (const char* gui : {"libgtk", "libgdk", "libX11", "libwayland", "libcairo", "libpango",
                            "libgio", "libgobject", "libtavro_dialogs"})
        EXPECT_EQ(maps.find(gui), std::string::npos) << gui << " is mapped";

    const std::string status = fileText("/proc/self/status");
    const auto rss = status.find("VmRSS:");
    if (rss != std::string::npos) {
        std::string line = status.substr(rss, status.find('\n', rss) - rss);
        std::cout << "player-like process with one board open: " << line << '\n';
        RecordProperty("VmRSS", line);
    }
    EXPECT_EQ(manager->releaseAllChips(), 1);
    EXPECT_EQ(manager->closeInterfaces(), 1);
}

TEST_F(PlayerProcess, SettingsDialogWithoutDisplayWritesOneLine) {
    fs::copy_file(TAVRO_DIALOG_MODULE, directory / "libtavro_dialogs.so");
    const fs::path errors = directory / "stderr.txt";
    std::cout.flush();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err < 0 || dup2(err, 2) < 0) _exit(126);
        platform::unsetEnvironment("DISPLAY");
        platform::unsetEnvironment("WAYLAND_DISPLAY");
        _exit(manager->showSettingsDialog());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string message = fileText(errors);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    EXPECT_NE(message.find("no display"), std::string::npos) << message;
}
} // namespace
