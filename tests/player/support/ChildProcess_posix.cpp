// Test support on POSIX: see ChildProcess.h. Children are forked and exec'd
// with their output redirected to files; signals are sent with kill.
#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The output files are emptied before the child is forked, so that a look at
// them never finds what an earlier child in the same folder wrote.
int emptyOutputFile(const std::filesystem::path& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

[[noreturn]] void runChild(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::filesystem::path& workDirectory,
                           const std::vector<std::string>& environment, int out, int err) {
    if (chdir(workDirectory.c_str()) != 0) _exit(126);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, 0);
    for (const std::string& entry : environment)
        putenv(const_cast<char*>(entry.c_str()));
    execProgram(program, arguments);
}

} // namespace

void execProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    std::string name = program.string();
    argv.push_back(name.data());
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(name.c_str(), argv.data());
    _exit(127);
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::filesystem::path& workDirectory,
                           const std::vector<std::string>& environment)
    : directory_(workDirectory) {
    const int out = emptyOutputFile(workDirectory / "stdout.txt");
    const int err = emptyOutputFile(workDirectory / "stderr.txt");
    pid_ = fork();
    if (pid_ == 0) runChild(program, arguments, workDirectory, environment, out, err);
    for (const int file : {out, err})
        if (file >= 0) close(file);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void ChildProcess::sendSignal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

ChildExit ChildProcess::wait(std::chrono::milliseconds timeout) {
    ChildExit result;
    if (pid_ <= 0) return result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const int done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (done < 0 && errno != EINTR) return result;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    pid_ = -1;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}
