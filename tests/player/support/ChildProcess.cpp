// Test support: the parts of ChildProcess.h that are the same on every
// system; starting, signalling and waiting are in ChildProcess_<system>.cpp.
#include "ChildProcess.h"

#include <fstream>
#include <iterator>
#include <thread>

namespace {
std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
} // namespace

bool ChildProcess::waitForOutputLine(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (standardOutput().find('\n') == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ChildProcess::standardOutput() const {
    return readFile(directory_ / "stdout.txt");
}

std::string ChildProcess::standardError() const {
    return readFile(directory_ / "stderr.txt");
}
