// Test support (POSIX): runs a program on a terminal of its own, as a shell
// runs a job in the foreground: a pseudo-terminal whose session is led by a
// small keeper process (the shell's part: it waits for the job and ends with
// its status, 128 + the signal when a signal ended it), the program in a
// process group of its own that is the terminal's foreground group. So the
// program can be stopped (Ctrl+Z) and continued (fg) as under a shell, and
// the test reads the terminal's modes as the program left them and types
// keys into it.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

class TerminalChild {
public:
    TerminalChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& workDirectory,
                  const std::vector<std::string>& environment) {
        int pidPipe[2];
        if (pipe(pidPipe) != 0) return;
        int slave = -1;
        if (openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0) return;
        keeper_ = fork();
        if (keeper_ == 0) {
            close(master_);
            close(pidPipe[0]);
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            const pid_t job = fork();
            if (job == 0) {
                setpgid(0, 0);
                std::signal(SIGTTOU, SIG_IGN);
                tcsetpgrp(slave, getpid());
                std::signal(SIGTTOU, SIG_DFL);
                dup2(slave, 0);
                dup2(slave, 1);
                dup2(slave, 2);
                if (slave > 2) close(slave);
                if (chdir(workDirectory.c_str()) != 0) _exit(126);
                for (const std::string& entry : environment)
                    putenv(const_cast<char*>(entry.c_str()));
                execProgram(program, arguments);
            }
            setpgid(job, job);
            tcsetpgrp(slave, job);
            if (write(pidPipe[1], &job, sizeof job) != sizeof job) _exit(125);
            int status = 0;
            while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
            }
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }
        close(slave);
        close(pidPipe[1]);
        if (read(pidPipe[0], &job_, sizeof job_) != sizeof job_) job_ = -1;
        close(pidPipe[0]);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~TerminalChild() {
        if (job_ > 0) kill(job_, SIGKILL);
        if (keeper_ > 0) {
            kill(keeper_, SIGKILL);
            waitpid(keeper_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }
    TerminalChild(const TerminalChild&) = delete;
    TerminalChild& operator=(const TerminalChild&) = delete;

    bool started() const { return job_ > 0; }
    void signal(int number) const { kill(job_, number); }
    void type(const std::string& keys) const {
        if (write(master_, keys.data(), keys.size()) < 0) return;
    }

    // The terminal's line mode (canonical input with echo) as it is now.
    bool inLineMode() const {
        termios modes{};
        tcgetattr(master_, &modes);
        return (modes.c_lflag & ICANON) != 0 && (modes.c_lflag & ECHO) != 0;
    }

    // Puts the terminal in line mode, as a shell does while a job is stopped.
    void setLineMode() const {
        termios modes{};
        tcgetattr(master_, &modes);
        modes.c_lflag |= ICANON | ECHO;
        tcsetattr(master_, TCSANOW, &modes);
    }

    // Waits until the condition holds, reading what the program writes in
    // the meantime (so that it never blocks on a full terminal); false at the
    // deadline.
    bool waitFor(const std::function<bool()>& condition,
                 std::chrono::seconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            drain();
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Whether the program is stopped (job control).
    bool stopped() const {
        std::ifstream stat("/proc/" + std::to_string(job_) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'T';
    }
    // The program's exit status as a shell gives it (128 + signal); -1 when
    // it did not end in time.
    int exitStatus(std::chrono::seconds timeout = std::chrono::seconds(20)) {
        int status = -1;
        const bool ended =
            waitFor([&] { return waitpid(keeper_, &status, WNOHANG) == keeper_; }, timeout);
        if (!ended) return -1;
        keeper_ = -1;
        job_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& output() const { return output_; }

private:
    void drain() {
        char buffer[4096];
        for (ssize_t count; (count = read(master_, buffer, sizeof buffer)) > 0;)
            output_.append(buffer, static_cast<std::size_t>(count));
    }

    int master_ = -1;
    pid_t keeper_ = -1;
    pid_t job_ = -1;
    std::string output_;
};
