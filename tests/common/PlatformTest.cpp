#include "common/Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

TEST(Platform, LibraryLoadingReportsMissingLibrariesAndSymbols) {
    EXPECT_EQ(platform::loadLibrary("libdoes-not-exist-anywhere.so"), nullptr);
    void* libm = platform::loadLibrary("libm.so.6");
    ASSERT_NE(libm, nullptr);
    EXPECT_NE(platform::findSymbol(libm, "cos"), nullptr);
    EXPECT_EQ(platform::findSymbol(libm, "no_such_function_here"), nullptr);
    platform::freeLibrary(libm);
}

TEST(Platform, ModulePathOfOwnCodeIsThisExecutable) {
    const auto path = platform::modulePathOf(reinterpret_cast<const void*>(&platform::tickCount));
    EXPECT_EQ(path.filename(), "common_tests");
    EXPECT_TRUE(path.is_absolute());
}

namespace {
std::atomic<int> events{0};
void countEvent() { events.fetch_add(1, std::memory_order_relaxed); }
} // namespace

TEST(Platform, ConsoleEventsReachTheHandlerAndDoNotEndTheProcess) {
    platform::installConsoleEventHandler(countEvent);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::raise(signal);
    EXPECT_EQ(events.load(), 4);
}
