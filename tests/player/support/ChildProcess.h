// Test support: runs a program as a user would, in its own working directory
// and environment, with standard output and error going to files, and sends
// it console signals (on Windows: a Ctrl+C event on a console shared with it).
// One source per system.
#pragma once

#include "ScratchDirectory.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A program's line end as it reaches the output files: CR LF in the Windows C
// runtime's text mode.
#ifdef _WIN32
#define CONSOLE_NL "\r\n"
#else
#define CONSOLE_NL "\n"
#endif

// How a program ended: through exit with code, or else by a signal or killed
// at the deadline.
struct ChildExit {
    bool exited = false;
    int code = -1;
    int signal =
        0; // POSIX: the signal that ended it, 0 when it exited or was killed at the deadline
};

class ChildProcess {
public:
    // Starts program with the arguments in workDirectory, with the given
    // extra environment entries ("NAME=value"). Output goes to the files
    // stdout.txt and stderr.txt in workDirectory.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& workDirectory,
                 const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void sendSignal(int signal) const;

    // Waits for the end, killing the program at the deadline.
    ChildExit wait(std::chrono::milliseconds timeout);

    // Waits until standard output holds a whole line; false at the deadline.
    bool waitForOutputLine(std::chrono::milliseconds timeout) const;

    std::string standardOutput() const;
    std::string standardError() const;
#ifndef _WIN32
    int pid() const {
        return pid_;
    }
#endif

private:
    std::filesystem::path directory_;
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
};

#ifndef _WIN32
// Replaces this process (a forked child) with program run with the
// arguments; ends it with exit code 127 when the program cannot be started.
[[noreturn]] void execProgram(const std::filesystem::path& program,
                              const std::vector<std::string>& arguments);
#endif
