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
