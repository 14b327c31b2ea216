// The library (libtavro.so, TAVRO.DLL on Windows) as a foreign client sees it:
// loaded at run time, the manager
// taken from the one export, and every operation reached by its slot number
// through the object's virtual table (the object's first word points at the
// table; each entry is called with the object as its first argument). The
// header's declarations are deliberately not used here, so these tests pin
// the slot numbers themselves.
//
// Tests that need an INI file copy the library into a directory of their own
// with the file beside it, so that the file is found from the library's own
// path and no test writes into the build tree.
#include "common/Platform.h"
#include "tests/soundif/link/RecordingD2xx.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

#ifdef _WIN32
constexpr const char* libraryName = "TAVRO.DLL";
constexpr const char* iniName = "TAVRO.ini";
#else
constexpr const char* libraryName = "libtavro.so";
constexpr const char* iniName = "libtavro.ini";
#endif

// Calls slot `slot` of object with the given arguments.
template <typename Result, typename... Args> Result call(void* object, int slot, Args... args) {
    using Entry = Result (*)(void*, Args...);
    Entry* table = *static_cast<Entry**>(object);
    return table[slot](object, args...);
}

using ManagerEntry = void* (*)();

class LibraryExport : public ::testing::Test {
protected:
    void TearDown() override {
        if (library != nullptr) platform::freeLibrary(library);
        if (!directory.empty()) std::filesystem::remove_all(directory);
    }

    void* load(const std::string& name) {
        library = platform::loadLibrary(name);
        if (library == nullptr) return nullptr;
        auto entry = reinterpret_cast<ManagerEntry>(
            platform::findSymbol(library, "getSoundInterfaceManager"));
        return entry != nullptr ? entry() : nullptr;
    }

    // A copy of the library in a directory of its own, with an INI file.
    std::filesystem::path copyLibrary(const std::string& ini) {
        directory = std::filesystem::temp_directory_path() /
                    ("tavro-export-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        std::filesystem::copy_file(TAVRO_LIBRARY_PATH, directory / libraryName);
        std::ofstream(directory / iniName) << ini;
        return directory / libraryName;
    }

    void* library = nullptr;
    std::filesystem::path directory;
};

TEST_F(LibraryExport, TheManagerAnswersByNameThroughItsSlots) {
    recording::useRecordingD2xx("");
    void* manager = load(libraryName);
    ASSERT_NE(manager, nullptr) << "found by the standard search";
    auto entry =
        reinterpret_cast<ManagerEntry>(platform::findSymbol(library, "getSoundInterfaceManager"));
    EXPECT_EQ(entry(), manager) << "the same manager on every call";
    EXPECT_EQ(platform::findSymbol(library, "_ZN22CSoundInterfaceManager14openInterfacesEv"),
              nullptr);

    EXPECT_EQ(call<std::int32_t>(manager, 0), 0);
    EXPECT_EQ(call<void*>(manager, 1, 0u), nullptr);
    EXPECT_EQ(call<void*>(manager, 2, 0u), nullptr);
    EXPECT_EQ(call<std::int32_t>(manager, 3, static_cast<void*>(nullptr)), 0);
    EXPECT_EQ(call<std::int32_t>(manager, 4), 1);
    EXPECT_EQ(call<void*>(manager, 5, 2, 4000000), nullptr);
    EXPECT_EQ(call<std::int32_t>(manager, 6, static_cast<void*>(nullptr)), 0);
    EXPECT_EQ(call<std::int32_t>(manager, 7), 1);
    EXPECT_EQ(call<std::int32_t>(manager, 8, 77), 1);
    EXPECT_EQ(call<std::int32_t>(manager, 9), 77);
    EXPECT_EQ(call<std::int32_t>(manager, 10), 1);
    EXPECT_EQ(call<std::int32_t>(manager, 11), 1);
    EXPECT_EQ(call<std::int32_t>(manager, 13), 1);
    std::int32_t out = 0;
    EXPECT_EQ(call<std::int32_t>(manager, 15, &out), 0);
    EXPECT_EQ(out, 3);
    EXPECT_EQ(call<std::int32_t>(manager, 16), 0);
    EXPECT_EQ(call<std::int32_t>(manager, 17), 0);
    call<void>(manager, 18, 1);
    call<void>(manager, 19, 1);
    call<void>(manager, 20);
    call<void>(manager, 21);
    call<void>(manager, 22, 1);
    call<void>(manager, 23, 1);
    EXPECT_EQ(call<std::int32_t>(manager, 24, 1), 0);
    EXPECT_EQ(call<std::int32_t>(manager, 25), 1);
}

TEST_F(LibraryExport, ABoardConfiguredBesideTheLibraryIsPlayedThroughSlots) {
    recording::useRecordingD2xx("3");
    const auto path = copyLibrary("[tavro]\nDelayTime=0\n[ftd2xx(COM3)]\nSLOT_00_CHIP_ID=38\n"
                                  "SLOT_00_CHIP_CLOCK=4000000\n");
    void* manager = load(path.string());
    ASSERT_NE(manager, nullptr);
    ASSERT_EQ(call<std::int32_t>(manager, 12), 1) << "the INI beside the library was read";
    EXPECT_EQ(call<std::int32_t>(manager, 0), 1);

    const char* info = call<const char*>(manager, 1, 0u);
    EXPECT_STREQ(info, "KX7M(COM3)");
    std::int32_t chips = 0;
    std::memcpy(&chips, info + 64, 4);
    EXPECT_EQ(chips, 3);

    void* board = call<void*>(manager, 2, 0u);
    EXPECT_EQ(call<std::int32_t>(manager, 3, board), 1);
    EXPECT_EQ(call<std::int32_t>(board, 0), 0);
    EXPECT_EQ(call<std::int32_t>(board, 1, 1, 2), 0);
    EXPECT_EQ(call<std::int32_t>(board, 2, 1, 2), 0);
    EXPECT_EQ(call<std::int32_t>(board, 4), 0);
    EXPECT_EQ(call<std::int32_t>(board, 7), 3);
    void* opm = call<void*>(board, 8, 1u);
    EXPECT_EQ(call<void*>(board, 8, 3u), nullptr);

    EXPECT_EQ(call<void*>(manager, 5, 2, 4000000), opm);
    const char* chipInfo = call<const char*>(opm, 0);
    EXPECT_STREQ(chipInfo, "OPM");
    std::int32_t fields[9];
    std::memcpy(fields, chipInfo + 64, sizeof fields);
    EXPECT_EQ(fields[0], 2) << "type";
    EXPECT_EQ(fields[3], 4000000) << "clock";
    EXPECT_EQ(fields[6], 1) << "in use";
    EXPECT_EQ(fields[7], 1) << "position";
    EXPECT_EQ(fields[8], 3) << "attribute";
    EXPECT_EQ(call<std::int32_t>(opm, 1), 2);
    EXPECT_EQ(call<std::int32_t>(opm, 5), 4000000);
    EXPECT_EQ(call<std::int32_t>(opm, 3, 0), -1);
    EXPECT_EQ(call<std::int32_t>(opm, 7), 1);

    EXPECT_EQ(call<std::int32_t>(board, 3, 0), 1);
    EXPECT_EQ(call<std::int32_t>(board, 4), 0);
    EXPECT_EQ(call<std::int32_t>(opm, 2, 0x20u, 0xC0u), 1);
    EXPECT_EQ(call<std::int32_t>(opm, 6, 0x20u), 0xC0);
    EXPECT_EQ(call<std::int32_t>(opm, 4), 1);
    EXPECT_EQ(call<std::int32_t>(board, 6), 1);
    // One write, the OPM's 40 init writes, then the board's: the SSG's one,
    // this OPM's 8 key-offs (the rest is cached) and the other OPM's 40.
    const std::uint64_t expected = (1 + 40 + 1 + 8 + 40) * 108;
    for (int i = 0; i < 2000 && recording::byteCount() < expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(recording::byteCount(), expected);

    EXPECT_EQ(call<std::int32_t>(board, 5), 1);
    EXPECT_EQ(call<std::int32_t>(opm, 6, 0x20u), -1);
    EXPECT_EQ(call<std::int32_t>(manager, 6, opm), 1);
    EXPECT_EQ(call<std::int32_t>(manager, 7), 1);
    EXPECT_EQ(call<std::int32_t>(manager, 13), 1);
    EXPECT_EQ(call<std::int32_t>(manager, 0), 0);
    EXPECT_EQ(recording::calls().back(), "close 0");
}

// On Windows the dialogs are part of the library itself (tests/soundif/dialogs).
#ifndef _WIN32
TEST_F(LibraryExport, TheSettingsDialogModuleBesideTheLibraryGetsTheIniPathAndDevices) {
    recording::useRecordingD2xx("3,5");
    const auto path = copyLibrary("");
    void* manager = load(path.string());
    ASSERT_NE(manager, nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(call<std::int32_t>(manager, 14), 1);
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "") << "a missing module is reported";

    std::filesystem::copy_file(TEST_DIALOGS_PATH, directory / "libtavro_dialogs.so");
    const auto out = directory / "dialog.out";
    platform::setEnvironment("TAVRO_TEST_DIALOG_OUT", out.string());
    EXPECT_EQ(call<std::int32_t>(manager, 14), 1);
    std::ifstream in(out);
    std::string given;
    std::string devices;
    std::getline(in, given);
    std::getline(in, devices);
    EXPECT_EQ(std::filesystem::path(given), std::filesystem::canonical(directory) / "libtavro.ini");
    EXPECT_EQ(devices, "2") << "the module lists devices through the library's functions";
}

#endif

} // namespace
