// Test support: an installed-looking player in a scratch directory, run in
// <dir>/bin where its driver and songs are put, with a copy of the given
// library (or none) where a user's installation has it: <dir>/bin/tonrig with
// <dir>/lib/libtavro.so, found through the run path only; on Windows
// <dir>/bin/tonrig.exe with TAVRO.DLL beside it.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/Platform.h"
#include "support/ChildProcess.h"

class PlayerLayout {
public:
#ifdef _WIN32
    static constexpr const char* programName = "tonrig.exe";
    static constexpr const char* libraryName = "TAVRO.DLL";
    static constexpr const char* iniName = "TAVRO.ini";
    std::filesystem::path libraryDirectory() const {
        return bin();
    }
#else
    static constexpr const char* programName = "tonrig";
    static constexpr const char* libraryName = "libtavro.so";
    static constexpr const char* iniName = "libtavro.ini";
    std::filesystem::path libraryDirectory() const {
        return lib();
    }
#endif

    // library may be empty: no library at all.
    PlayerLayout(const std::filesystem::path& program, const std::filesystem::path& library) {
        std::filesystem::create_directories(bin());
        std::filesystem::create_directories(lib());
        std::filesystem::copy_file(program, bin() / programName);
        if (!library.empty()) std::filesystem::copy_file(library, libraryDirectory() / libraryName);
    }

    std::filesystem::path bin() const {
        return scratch_.path() / "bin";
    }
    std::filesystem::path lib() const {
        return scratch_.path() / "lib";
    }
    std::filesystem::path file(const std::string& name) const {
        return scratch_.path() / name;
    }

    // Copies a file into bin/ under its own name.
    void addToBin(const std::filesystem::path& source) const {
        std::filesystem::copy_file(source, bin() / source.filename());
    }
    void writeToBin(const std::string& name, const std::vector<unsigned char>& bytes) const {
        scratch_.write("bin/" + name, bytes);
    }

    ChildProcess start(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment) const {
        return ChildProcess(bin() / programName, arguments, bin(), environment);
    }

private:
    ScratchDirectory scratch_;
};

// The lines of a text file; none when it does not exist.
inline std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Removes the stand-in library's settings (TAVRO_FAKE_*) from this process's
// environment, which programs started from it inherit, so that a test case
// sees only the settings it makes itself.
inline void clearFakeLibrarySettings() {
    for (const char* name :
         {"TAVRO_FAKE_LOG", "TAVRO_FAKE_CHIPS", "TAVRO_FAKE_OPEN", "TAVRO_FAKE_MANAGER"})
        platform::unsetEnvironment(name);
}
