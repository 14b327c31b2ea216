// Test support: a PulseAudio server of the test's own (no configuration, a
// null sink named "board" at 48 kHz as the default, a socket in a scratch
// directory), for the tests that play live sound; and finding a program on
// the PATH (the server and its recorder, parec, which those tests skip
// without). POSIX only.
#pragma once

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

inline std::optional<std::filesystem::path> findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string directory; std::getline(directories, directory, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(directory) / name;
        if (std::filesystem::exists(candidate)) return candidate;
    }
    return std::nullopt;
}

// A PulseAudio server of the test's own: no configuration file, a null sink
// at 48 kHz as the default, a socket in a scratch directory.
class SoundServer {
public:
    SoundServer(const std::filesystem::path& program, const std::filesystem::path& directory)
        : socket_(directory / "socket") {
        std::filesystem::create_directories(directory / "runtime");
        std::filesystem::create_directories(directory / "home");
        server_.emplace(
            program,
            std::vector<std::string>{
                "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                "--log-target=stderr", "-L",
                "module-null-sink sink_name=board rate=48000 channels=2 format=s16le", "-L",
                "module-native-protocol-unix auth-anonymous=1 socket=" + socket_.string()},
            directory,
            std::vector<std::string>{"HOME=" + (directory / "home").string(),
                                     "XDG_RUNTIME_DIR=" + (directory / "runtime").string()});
        for (int wait = 0; wait < 200 && !std::filesystem::exists(socket_); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~SoundServer() {
        server_->sendSignal(SIGTERM);
        server_->wait(std::chrono::seconds(5));
    }
    bool running() const { return std::filesystem::exists(socket_); }
    std::string address() const { return "PULSE_SERVER=unix:" + socket_.string(); }
    std::string log() const { return server_->standardError(); }

private:
    std::filesystem::path socket_;
    std::optional<ChildProcess> server_;
};
