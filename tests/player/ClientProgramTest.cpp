// tonrig with a stand-in library, laid out as installed (PlayerLayout.h) and
// found as a user's installation finds it: the calls the library
// gets while the driver plays the test song, a missing chip, a library that
// is missing or cannot serve, and the release on every way of stopping.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <thread>

#include "support/PlayerLayout.h"
#include "support/TestDrivers.h"

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::filesystem::path tonrigProgram = TONRIG_PROGRAM;
const std::filesystem::path fakeLibrary = FAKE_TAVRO_PATH;
const std::filesystem::path fakeLibraryWithoutExport = FAKE_TAVRO_NOEXPORT_PATH;
const std::filesystem::path driverImages = DRIVER_IMAGES_DIR;

const std::vector<std::string> bindingCalls = {"load", "getSoundInterfaceManager",
                                               "openInterfaces -> 1", "resetInterfaces"};

struct PlayedRun {
    ChildExit exit;
    std::string out;
    std::string err;
    std::vector<std::string> calls;
};

// Plays the test song with the given library, stops it with signal once the
// title is out and playing has gone on for a while.
PlayedRun playTestSong(const std::filesystem::path& library,
                       const std::vector<std::string>& settings, int signal = SIGINT,
                       std::chrono::milliseconds playing = 400ms) {
    PlayerLayout layout(tonrigProgram, library);
    layout.addToBin(driverImages / "VELKAN.BIN");
    layout.addToBin(driverImages / "test-song.vkn");
    std::vector<std::string> environment = settings;
    environment.push_back("TAVRO_FAKE_LOG=" + layout.file("calls.log").string());
    ChildProcess player = layout.start({"test-song.vkn"}, environment);
    EXPECT_TRUE(player.waitForOutputLine(10s));
    std::this_thread::sleep_for(playing);
    player.sendSignal(signal);
    return {player.wait(10s), player.standardOutput(), player.standardError(),
            readLines(layout.file("calls.log"))};
}

// The register writes among the calls.
std::vector<std::string> registerWrites(const std::vector<std::string>& calls) {
    std::vector<std::string> writes;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(writes),
                 [](const std::string& line) { return line.rfind("setRegister ", 0) == 0; });
    return writes;
}

bool appearInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
    auto at = lines.begin();
    for (const std::string& line : wanted) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) return false;
    }
    return true;
}

// The programs started here get the stand-in's settings each case gives
// them, and none left in this process by another case.
class ClientProgramTest : public ::testing::Test {
protected:
    void SetUp() override { clearFakeLibrarySettings(); }
};

void expectCleanExit(const PlayedRun& run) {
    EXPECT_TRUE(run.exit.exited);
    EXPECT_EQ(run.exit.code, 0);
    EXPECT_EQ(run.out, "Register pattern test" CONSOLE_NL);
    EXPECT_EQ(run.err, "");
}

TEST_F(ClientProgramTest, PlaysThroughTheLibraryAndGivesEverythingBackOnInterrupt) {
    const PlayedRun run = playTestSong(fakeLibrary, {});
    expectCleanExit(run);
    const std::vector<std::string> writes = registerWrites(run.calls);
    std::vector<std::string> expected = bindingCalls;
    expected.insert(expected.end(), {"acquireChip 2 4000000 -> 1", "acquireChip 2 4000000 -> 2",
                                     "acquireChip 6 2000000 -> 3"});
    expected.insert(expected.end(), writes.begin(), writes.end());
    expected.insert(expected.end(), {"releaseChip 1", "releaseChip 2", "releaseChip 3",
                                     "releaseAllChips", "closeInterfaces", "unload"});
    EXPECT_THAT(run.calls, ElementsAreArray(expected));
    // The first steps of the pattern, each to its own chip.
    EXPECT_TRUE(appearInOrder(writes, {"setRegister 1 0x18 0x00", "setRegister 2 0x18 0xff",
                                       "setRegister 3 0x00 0x55", "setRegister 1 0x18 0x01",
                                       "setRegister 2 0x18 0xfe", "setRegister 3 0x00 0x54"}));
}

TEST_F(ClientProgramTest, TerminateAndAHungDriverStillReleaseEverything) {
    const std::vector<std::string> release = {"releaseChip 1",   "releaseChip 2",   "releaseChip 3",
                                              "releaseAllChips", "closeInterfaces", "unload"};
    {
        const PlayedRun run = playTestSong(fakeLibrary, {}, SIGTERM, 100ms);
        expectCleanExit(run);
        ASSERT_GE(run.calls.size(), release.size());
        EXPECT_THAT(std::vector<std::string>(run.calls.end() - 6, run.calls.end()),
                    ElementsAreArray(release));
    }
    PlayerLayout layout(tonrigProgram, fakeLibrary);
    layout.writeToBin("VELKAN.BIN", testdrivers::stuckInStartUp());
    ChildProcess player = layout.start({}, {"TAVRO_FAKE_LOG=" + layout.file("calls.log").string()});
    std::this_thread::sleep_for(300ms);
    player.sendSignal(SIGINT);
    const ChildExit exit = player.wait(10s);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.code, 0);
    std::vector<std::string> expected = bindingCalls;
    expected.insert(expected.end(), {"acquireChip 2 4000000 -> 1", "acquireChip 2 4000000 -> 2",
                                     "acquireChip 6 2000000 -> 3"});
    expected.insert(expected.end(), release.begin(), release.end());
    EXPECT_THAT(readLines(layout.file("calls.log")), ElementsAreArray(expected));
}

TEST_F(ClientProgramTest, AMissingChipIsSilentWhileTheOthersPlay) {
    const PlayedRun run = playTestSong(fakeLibrary, {"TAVRO_FAKE_CHIPS=2:4000000,6:2000000"});
    expectCleanExit(run);
    EXPECT_TRUE(
        appearInOrder(run.calls, {"acquireChip 2 4000000 -> 1", "acquireChip 2 4000000 -> null",
                                  "acquireChip 6 2000000 -> 2"}));
    EXPECT_TRUE(appearInOrder(registerWrites(run.calls),
                              {"setRegister 1 0x18 0x00", "setRegister 2 0x00 0x55",
                               "setRegister 1 0x18 0x01", "setRegister 2 0x00 0x54"}));
    ASSERT_GE(run.calls.size(), 5u);
    EXPECT_THAT(std::vector<std::string>(run.calls.end() - 5, run.calls.end()),
                ElementsAre("releaseChip 1", "releaseChip 2", "releaseAllChips", "closeInterfaces",
                            "unload"));
}

TEST_F(ClientProgramTest, ALibraryThatCannotServeIsTriedThreeTimesSilently) {
    const PlayedRun notOpening = playTestSong(fakeLibrary, {"TAVRO_FAKE_OPEN=0"}, SIGINT, 100ms);
    expectCleanExit(notOpening);
    std::vector<std::string> expected;
    for (int attempt = 0; attempt < 3; ++attempt)
        expected.insert(expected.end(), {"load", "getSoundInterfaceManager", "openInterfaces -> 0",
                                         "releaseAllChips", "closeInterfaces", "unload"});
    EXPECT_THAT(notOpening.calls, ElementsAreArray(expected));

    const PlayedRun nullManager =
        playTestSong(fakeLibrary, {"TAVRO_FAKE_MANAGER=null"}, SIGINT, 100ms);
    expectCleanExit(nullManager);
    EXPECT_THAT(nullManager.calls, ElementsAre("load", "getSoundInterfaceManager", "unload", "load",
                                               "getSoundInterfaceManager", "unload", "load",
                                               "getSoundInterfaceManager", "unload"));

    const PlayedRun withoutExport = playTestSong(fakeLibraryWithoutExport, {}, SIGINT, 100ms);
    expectCleanExit(withoutExport);
    EXPECT_THAT(withoutExport.calls,
                ElementsAre("load", "unload", "load", "unload", "load", "unload"));
}

#ifdef _WIN32
// A library that cannot be loaded logs each attempt to load it: the player
// looks for it once per request and plays on without it.
TEST_F(ClientProgramTest, AMissingLibraryIsLookedForOncePerRequest) {
    const PlayedRun run = playTestSong(FAKE_TAVRO_REFUSING_PATH, {}, SIGINT, 100ms);
    expectCleanExit(run);
    // Each attempt maps the module, which refuses and is unmapped again.
    EXPECT_THAT(run.calls, ElementsAre("load", "refused", "unload", "load", "refused", "unload",
                                       "load", "refused", "unload"));
}
#else
// The dynamic loader's own trace counts the searches for the library.
TEST_F(ClientProgramTest, AMissingLibraryIsLookedForOncePerRequest) {
    PlayerLayout layout(tonrigProgram, {});
    layout.addToBin(driverImages / "VELKAN.BIN");
    layout.addToBin(driverImages / "test-song.vkn");
    // A library in the working directory is not on the search path.
    std::filesystem::copy_file(fakeLibrary, layout.bin() / "libtavro.so");
    const std::filesystem::path trace = layout.file("loader");
    ChildProcess player =
        layout.start({"test-song.vkn"}, {"LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + trace.string(),
                                         "TAVRO_FAKE_LOG=" + layout.file("calls.log").string()});
    ASSERT_TRUE(player.waitForOutputLine(10s));
    std::this_thread::sleep_for(100ms);
    player.sendSignal(SIGINT);
    const ChildExit exit = player.wait(10s);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.code, 0);
    EXPECT_EQ(player.standardOutput(), "Register pattern test" CONSOLE_NL);
    EXPECT_EQ(player.standardError(), "");
    int searches = 0;
    for (const auto& entry : std::filesystem::directory_iterator(layout.file(""))) {
        if (entry.path().filename().string().rfind("loader", 0) != 0) continue;
        for (const std::string& line : readLines(entry.path()))
            if (line.find("find library=libtavro.so") != std::string::npos) ++searches;
    }
    EXPECT_EQ(searches, 3);
    EXPECT_FALSE(std::filesystem::exists(layout.file("calls.log")));
}

#endif

} // namespace
