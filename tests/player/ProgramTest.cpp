// tonrig as a user runs it: in a directory with VELKAN.BIN, with or without a
// music file, stopped with a console signal. Checks the console texts, the
// exit codes, and that a stop request ends even a driver that never returns.
#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/ChildProcess.h"
#include "support/TestDrivers.h"

namespace {

using namespace std::chrono_literals;

const std::filesystem::path tonrigProgram = TONRIG_PROGRAM;

#ifdef _WIN32
// The usage text is code page 932 (the bytes as an independent encoder gives
// them), its lines ending in CR LF.
const char expectedUsage[] =
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
const char expectedUsage[] =
    "VKN ファイルを再生します。\n"
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
    ChildProcess player(tonrigProgram, {}, dir.path(), {"LANG=C", "LC_ALL=C"});
    const Stopped stopped = playThenSignal(player, SIGINT, 200ms);
    EXPECT_TRUE(stopped.exit.exited);
    EXPECT_EQ(stopped.exit.code, 0);
    EXPECT_EQ(player.standardError(), expectedUsage);
    EXPECT_EQ(player.standardOutput(), CONSOLE_NL);
}

TEST(ProgramTest, PlaysTheFirstArgumentUntilTerminated) {
    ScratchDirectory dir;
    dir.write("VELKAN.BIN", testdrivers::counting());
    dir.write("song.vkn", testdrivers::songWithTitle("Prelude in C"));
    ChildProcess player(tonrigProgram, {"song.vkn", "missing.vkn"}, dir.path());
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
        ChildProcess player(tonrigProgram, {"song.vkn"}, dir.path());
        const ChildExit exit = player.wait(5s);
        EXPECT_TRUE(exit.exited);
        EXPECT_EQ(exit.code, 1);
        EXPECT_EQ(player.standardError(), "Cloudn't open VELKAN.BIN." CONSOLE_NL);
        EXPECT_EQ(player.standardOutput(), "");
    }
    dir.write("VELKAN.BIN", testdrivers::quiet());
    {
        ChildProcess player(tonrigProgram, {"other.vkn"}, dir.path());
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
        ChildProcess player(tonrigProgram, {}, dir.path());
        const Stopped stopped = playThenSignal(player, SIGINT, stuck.playing);
        EXPECT_TRUE(stopped.exit.exited) << stuck.what;
        EXPECT_EQ(stopped.exit.code, 0) << stuck.what;
        EXPECT_LT(stopped.afterSignal, 150ms) << stuck.what;
    }
}

#ifndef _WIN32
// How a program run into a pipe ended: its exit code, or the signal that
// ended it.
struct PipeRunEnd {
    bool exited = false;
    int code = -1;
    int signal = 0;
};

// Runs the player in directory with standard output (stream 1) or standard
// error (stream 2) a pipe that nobody reads any more, as in
// `tonrig song.vkn | head -0`; the other stream goes to /dev/null. SIGPIPE
// has its default action, as a shell leaves it. With stopAfter, the player
// is sent SIGINT after that time; it is killed after 10 s.
PipeRunEnd runIntoClosedPipe(const std::filesystem::path& directory,
                             const std::vector<std::string>& arguments, int closedStream,
                             std::optional<std::chrono::milliseconds> stopAfter) {
    int ends[2];
    if (pipe(ends) != 0) return {};
    close(ends[0]); // the reader is gone before the player starts
    const pid_t child = fork();
    if (child == 0) {
        const int other = open("/dev/null", O_WRONLY);
        if (chdir(directory.c_str()) != 0 || other < 0 || dup2(ends[1], closedStream) < 0 ||
            dup2(other, closedStream == 1 ? 2 : 1) < 0)
            _exit(126);
        std::signal(SIGPIPE, SIG_DFL);
        execProgram(tonrigProgram, arguments);
    }
    close(ends[1]);
    PipeRunEnd end;
    if (child < 0) return end;
    if (stopAfter) {
        std::this_thread::sleep_for(*stopAfter);
        kill(child, SIGINT);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (waitpid(child, &status, WNOHANG) != child) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return end;
        }
        std::this_thread::sleep_for(1ms);
    }
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

// Output errors on the console are ignored: a console stream that is a pipe
// without a reader ends neither the title, nor the usage text, nor a load
// failure's message with a signal.
TEST(ProgramTest, AConsolePipeWithoutAReaderIsIgnored) {
    ScratchDirectory dir;
    dir.write("VELKAN.BIN", testdrivers::counting());
    dir.write("song.vkn", testdrivers::songWithTitle("Prelude"));
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        int closedStream;
        std::optional<std::chrono::milliseconds> stopAfter;
        int code;
    } cases[] = {
        {"the title", {"song.vkn"}, 1, 300ms, 0},
        {"the usage text", {}, 2, 300ms, 0},
        {"a load failure", {"missing.vkn"}, 2, std::nullopt, 1},
    };
    for (const auto& run : cases) {
        const PipeRunEnd end =
            runIntoClosedPipe(dir.path(), run.arguments, run.closedStream, run.stopAfter);
        EXPECT_EQ(end.signal, 0) << run.what;
        EXPECT_TRUE(end.exited) << run.what;
        EXPECT_EQ(end.code, run.code) << run.what;
    }
}
#endif

} // namespace
