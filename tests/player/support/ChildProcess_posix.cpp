// Test support: see ChildProcess.h.
#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

[[noreturn]] void runChild(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::filesystem::path& workDirectory,
                           const std::vector<std::string>& environment) {
    if (chdir(workDirectory.c_str()) != 0) _exit(126);
    const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, 0);
    for (const std::string& entry : environment)
        putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv;
    std::string name = program.string();
    argv.push_back(name.data());
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(name.c_str(), argv.data());
    _exit(127);
}

} // namespace

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonrig-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) root = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code error;
    if (!root.empty()) std::filesystem::remove_all(root, error);
}

void ScratchDirectory::write(const std::string& name,
                             const std::vector<unsigned char>& bytes) const {
    std::ofstream file(root / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::filesystem::path& workDirectory,
                           const std::vector<std::string>& environment)
    : directory(workDirectory) {
    pid = fork();
    if (pid == 0) runChild(program, arguments, workDirectory, environment);
}

ChildProcess::~ChildProcess() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

void ChildProcess::sendSignal(int signal) const {
    if (pid > 0) kill(pid, signal);
}

ChildExit ChildProcess::wait(std::chrono::milliseconds timeout) {
    ChildExit result;
    if (pid <= 0) return result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const int done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return result;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            pid = -1;
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    pid = -1;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.code = WEXITSTATUS(status);
    }
    return result;
}

bool ChildProcess::waitForOutputLine(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (standardOutput().find('\n') == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ChildProcess::standardOutput() const {
    return readFile(directory / "stdout.txt");
}

std::string ChildProcess::standardError() const {
    return readFile(directory / "stderr.txt");
}
