// tonrig as a user runs it: in a directory with VELKAN.BIN, with or without a
// music file, stopped with a console signal. Checks the console texts, the
// exit codes, and that a stop request ends even a driver that never returns.
#include <gtest/gtest.h>

#include <csignal>

#include "support/ChildProcess.h"
#include "support/TestDrivers.h"

namespace {

using namespace std::chrono_literals;

const std::filesystem::path kProgram = TONRIG_PROGRAM;

#ifdef _WIN32
// The usage text is code page 932 (the bytes as an independent encoder gives
// them), its lines ending in CR LF.
const char kUsage[] =
    "VKN \x83t\x83@\x83"
    "C\x83\x8B\x82\xF0\x8D\xC4\x90\xB6\x82\xB5\x82\xDC\x82\xB7\x81"
    "B\r\n"
    "\r\n"
    "  TONRIG VKN\x83t\x83@\x83"
    "C\x83\x8B\x96\xBC\r\n"
    "\r\n"
    "\x8D\xC4\x90\xB6\x82\xB7\x82\xE9\x82\xC9\x82\xCD VELKAN.BIN \x82\xC6 TAVRO.DLL "
    "\x82\xA8\x82\xE6\x82\xD1\x91\xCE\x89\x9E\x83\x82\x83W\x83\x85\x81[\x83\x8B\x82\xAA\x95K\x97v"
    "\x82\xC5\x82\xB7\x81"
    "B\r\n";
#else
// UTF-8, whatever the locale says.
const char kUsage[] = "VKN ファイルを再生します。\n"
                      "\n"
                      "  TONRIG VKNファイル名\n"
                      "\n"
                      "再生するには VELKAN.BIN と TAVRO.DLL および対応モジュールが必要です。\n";
#endif

// Starts the player, waits for its title line, lets it play a while, then
// sends signal; returns how it ended and how long that took.
struct Stopped {
    ChildExit exit;
    std::chrono::milliseconds afterSignal;
};

Stopped playThenSignal(ChildProcess& player, int signal, std::chrono::milliseconds playing) {
    EXPECT_TRUE(player.waitForOutputLine(5s));
    std::this_thread::sleep_for(playing);
    const auto sent = std::chrono::steady_clock::now();
    player.sendSignal(signal);
    Stopped stopped{player.wait(5s), {}};
    stopped.afterSignal = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - sent);
    return stopped;
}

TEST(ProgramTest, NoArgumentWritesUsageThenPlaysWithoutData) {
    ScratchDirectory dir;
    dir.write("VELKAN.BIN", testdrivers::counting());
    ChildProcess player(kProgram, {}, dir.path(), {"LANG=C", "LC_ALL=C"});
    const Stopped stopped = playThenSignal(player, SIGINT, 200ms);
    EXPECT_TRUE(stopped.exit.exited);
    EXPECT_EQ(stopped.exit.code, 0);
    EXPECT_EQ(player.standardError(), kUsage);
    EXPECT_EQ(player.standardOutput(), CONSOLE_NL);
}

TEST(ProgramTest, PlaysTheFirstArgumentUntilTerminated) {
    ScratchDirectory dir;
    dir.write("VELKAN.BIN", testdrivers::counting());
    dir.write("song.vkn", testdrivers::songWithTitle("Prelude in C"));
    ChildProcess player(kProgram, {"song.vkn", "missing.vkn"}, dir.path());
    const Stopped stopped = playThenSignal(player, SIGTERM, 200ms);
    EXPECT_TRUE(stopped.exit.exited);
    EXPECT_EQ(stopped.exit.code, 0);
    EXPECT_EQ(player.standardOutput(), "Prelude in C" CONSOLE_NL);
    EXPECT_EQ(player.standardError(), "");
}

TEST(ProgramTest, MissingFilesEndWithTheirMessage) {
    ScratchDirectory dir;
    dir.write("song.vkn", testdrivers::songWithTitle("Prelude"));
    {
        ChildProcess player(kProgram, {"song.vkn"}, dir.path());
        const ChildExit exit = player.wait(5s);
        EXPECT_TRUE(exit.exited);
        EXPECT_EQ(exit.code, 1);
        EXPECT_EQ(player.standardError(), "Cloudn't open VELKAN.BIN." CONSOLE_NL);
        EXPECT_EQ(player.standardOutput(), "");
    }
    dir.write("VELKAN.BIN", testdrivers::quiet());
    {
        ChildProcess player(kProgram, {"other.vkn"}, dir.path());
        const ChildExit exit = player.wait(5s);
        EXPECT_TRUE(exit.exited);
        EXPECT_EQ(exit.code, 1);
        EXPECT_EQ(player.standardError(), "Cloudn't open file." CONSOLE_NL);
        EXPECT_EQ(player.standardOutput(), "");
    }
}

TEST(ProgramTest, StopEndsADriverThatNeverReturns) {
    struct Case {
        const char* what;
        std::vector<unsigned char> driver;
        std::chrono::milliseconds playing;
    };
    for (const Case& stuck :
         {Case{"stuck in start-up", testdrivers::stuckInStartUp(), 100ms},
          Case{"halted in its interrupt routine", testdrivers::haltsInInterrupt(), 300ms}}) {
        ScratchDirectory dir;
        dir.write("VELKAN.BIN", stuck.driver);
        ChildProcess player(kProgram, {}, dir.path());
        const Stopped stopped = playThenSignal(player, SIGINT, stuck.playing);
        EXPECT_TRUE(stopped.exit.exited) << stuck.what;
        EXPECT_EQ(stopped.exit.code, 0) << stuck.what;
        EXPECT_LT(stopped.afterSignal, 150ms) << stuck.what;
    }
}

} // namespace
