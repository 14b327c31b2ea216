// The platform layer: run-time library loading, module paths, console events
// reaching the handler without ending the process, and sleeps of about the
// time asked for.
#include "common/Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
constexpr const char* systemLibrary = "kernel32.dll";
constexpr const char* systemFunction = "GetTickCount";
constexpr const char* missingLibrary = "does-not-exist-anywhere.dll";
constexpr const char* ownFileName = "common_tests.exe";
#else
constexpr const char* systemLibrary = "libm.so.6";
constexpr const char* systemFunction = "cos";
constexpr const char* missingLibrary = "libdoes-not-exist-anywhere.so";
constexpr const char* ownFileName = "common_tests";
#endif

TEST(Platform, LibraryLoadingReportsMissingLibrariesAndSymbols) {
    EXPECT_EQ(platform::loadLibrary(missingLibrary), nullptr);
    void* library = platform::loadLibrary(systemLibrary);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(platform::findSymbol(library, systemFunction), nullptr);
    EXPECT_EQ(platform::findSymbol(library, "no_such_function_here"), nullptr);
    platform::freeLibrary(library);
}

TEST(Platform, ModulePathOfOwnCodeIsThisExecutable) {
    const auto path = platform::modulePathOf(reinterpret_cast<const void*>(&platform::tickCount));
    EXPECT_EQ(path.filename(), ownFileName);
    EXPECT_TRUE(path.is_absolute());
}

std::atomic<int> events{0};
void countEvent() {
    events.fetch_add(1, std::memory_order_relaxed);
}

#ifdef _WIN32
// Console control events arrive on a thread of the system's, on a console of
// this process's own. (Ctrl+C only: Wine cannot raise Ctrl+Break for a
// whole console.)
TEST(Platform, ConsoleEventsReachTheHandlerAndDoNotEndTheProcess) {
    events = 0;
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    platform::installConsoleEventHandler(countEvent);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (events.load() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(events.load(), 2);
}
#else
TEST(Platform, ConsoleEventsReachTheHandlerAndDoNotEndTheProcess) {
    events = 0;
    platform::installConsoleEventHandler(countEvent);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::raise(signal);
    EXPECT_EQ(events.load(), 4);
}
#endif

// CPU time counts work and not waiting.
TEST(Platform, ProcessCpuTimeCountsWorkNotSleep) {
    const double start = platform::processCpuMilliseconds();
    platform::sleepMilliseconds(200);
    const double afterSleep = platform::processCpuMilliseconds();
    EXPECT_LT(afterSleep - start, 100.0);
    // Work until the counter shows 100 ms of it, however busy the machine is;
    // a counter that does not count work never gets there.
    volatile std::uint64_t sum = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (platform::processCpuMilliseconds() - afterSleep <= 100.0 &&
           std::chrono::steady_clock::now() < giveUp)
        for (int i = 0; i < 1000; ++i)
            sum = sum + static_cast<std::uint64_t>(i);
    EXPECT_GT(platform::processCpuMilliseconds() - afterSleep, 100.0);
}

// The play loop and the board workers sleep 1 ms at a time. A sleep that
// lasted a whole scheduler period (16 ms on Windows without a raised timer
// resolution) would make 50 of them take 800 ms.
TEST(Platform, MillisecondSleepsAreShort) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i)
        platform::sleepMilliseconds(1);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(50));
    EXPECT_LT(elapsed, std::chrono::milliseconds(400));
}

} // namespace
