// Common ground of the virtual board tests: the module is chosen through the
// seam before anything asks for the device functions, every setting is given
// per test, and log and VGM files live in a fresh directory of the test.
#pragma once

#include "TestWire.h"
#include "common/Platform.h"
#include "soundif/link/d2xx/D2xxBackends.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

inline const bool virtualBoardChosen = [] {
    platform::setEnvironment("TAVRO_D2XX_MODULE", TAVRO_VB_MODULE_PATH);
    return true;
}();

// One line of the board's log: its time and the rest.
struct LogLine {
    double ms;
    std::string event; // everything after the time
};

inline std::vector<LogLine> parsed(const std::vector<std::string>& lines) {
    std::vector<LogLine> result;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        LogLine entry{};
        in >> entry.ms >> std::ws;
        std::getline(in, entry.event);
        EXPECT_FALSE(in.fail() && entry.event.empty()) << line;
        result.push_back(entry);
    }
    return result;
}

inline std::vector<LogLine> withPrefix(const std::vector<LogLine>& lines,
                                       const std::string& prefix) {
    std::vector<LogLine> result;
    for (const LogLine& line : lines)
        if (line.event.rfind(prefix, 0) == 0) result.push_back(line);
    return result;
}

class VirtualBoardTest : public testing::Test {
protected:
    // A death test's child on Windows runs the test again from the start in
    // a new process: it finds the parent's directory in the environment.
    void SetUp() override {
        if (const char* inherited = std::getenv("TAVRO_VB_TEST_DIRECTORY")) {
            directory_ = inherited;
        } else {
            directory_ =
                std::filesystem::temp_directory_path() /
                ("tavro-vb-" +
                 std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                 std::to_string(std::random_device()()));
            setting("TAVRO_VB_TEST_DIRECTORY", directory_.string());
        }
        std::filesystem::create_directories(directory_);
        setting("TAVRO_VB_PORTS", "1");
        for (const char* name : {"TAVRO_VB_BUSY", "TAVRO_VB_MODEL", "TAVRO_VB_CLOCK",
                                 "TAVRO_VB_MASKS", "TAVRO_VB_AUDIO", "TAVRO_VB_WAV"})
            setting(name, "");
        setting("TAVRO_VB_LOG", logPath());
        setting("TAVRO_VB_VGM", vgmPath());
    }

    // The module keeps its log open until the next test names another, and
    // Windows cannot remove an open file: what is left stays behind there.
    void TearDown() override {
        platform::unsetEnvironment("TAVRO_VB_TEST_DIRECTORY");
        std::error_code error;
        std::filesystem::remove_all(directory_, error);
    }

    static void setting(const std::string& name, const std::string& value) {
        platform::setEnvironment(name, value);
    }

    std::string logPath() const { return (directory_ / "board.log").string(); }
    std::string vgmPath() const { return (directory_ / "board.vgm").string(); }
    std::string wavPath() const { return (directory_ / "board.wav").string(); }

    static std::uint32_t listCount() {
        std::uint32_t count = 12345;
        EXPECT_EQ(d2xx().listDevices(&count, nullptr, ftListNumberOnly), ftOk);
        return count;
    }

    // Lists, opens the device at index and puts it in bit-bang mode at baud.
    static FT_HANDLE openForPlaying(std::int32_t index, std::uint32_t baud) {
        listCount();
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(d2xx().open(index, &handle), ftOk);
        EXPECT_EQ(d2xx().setBitMode(handle, 0, ftBitModeReset), ftOk);
        EXPECT_EQ(d2xx().setBitMode(handle, ftAllPinsOutput, ftBitModeAsyncBitBang), ftOk);
        EXPECT_EQ(d2xx().setBaudRate(handle, baud), ftOk);
        return handle;
    }

    static FT_STATUS send(FT_HANDLE handle, TestWire& wire) {
        std::uint32_t written = 0;
        const FT_STATUS status = d2xx().write(
            handle, wire.bytes.data(), static_cast<std::uint32_t>(wire.bytes.size()), &written);
        EXPECT_EQ(written, status == ftOk ? wire.bytes.size() : 0u);
        wire.bytes.clear();
        return status;
    }

    std::vector<std::string> logLines() const {
        std::ifstream in(logPath());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::vector<std::uint8_t> vgmFile() const {
        std::ifstream in(vgmPath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path directory_;
};
