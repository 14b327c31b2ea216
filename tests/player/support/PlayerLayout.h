// Test support: an installed-looking player in a scratch directory,
// <dir>/bin/tonrig with <dir>/lib/libtavro.so beside it (a copy of the given
// library, or none), run in <dir>/bin where its driver and songs are put. The
// player finds the library through its run path only, as a user's does.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

class PlayerLayout {
public:
    // library may be empty: no library at all.
    PlayerLayout(const std::filesystem::path& program, const std::filesystem::path& library) {
        std::filesystem::create_directories(bin());
        std::filesystem::create_directories(lib());
        std::filesystem::copy_file(program, bin() / "tonrig");
        if (!library.empty()) std::filesystem::copy_file(library, lib() / "libtavro.so");
    }

    std::filesystem::path bin() const { return scratch.path() / "bin"; }
    std::filesystem::path lib() const { return scratch.path() / "lib"; }
    std::filesystem::path file(const std::string& name) const { return scratch.path() / name; }

    // Copies a file into bin/ under its own name.
    void addToBin(const std::filesystem::path& source) const {
        std::filesystem::copy_file(source, bin() / source.filename());
    }
    void writeToBin(const std::string& name, const std::vector<unsigned char>& bytes) const {
        scratch.write("bin/" + name, bytes);
    }

    ChildProcess start(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment) const {
        return ChildProcess(bin() / "tonrig", arguments, bin(), environment);
    }

private:
    ScratchDirectory scratch;
};

// The lines of a text file; none when it does not exist.
inline std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
