// IniFile on Windows: the platform's private-profile functions, reached
// through the platform layer (common/Profile.h). The path is found from an
// address inside this library, so it names the library's own module whichever
// program loaded it.
#include "common/Profile.h"
#include "soundif/core/IniFile.h"

std::filesystem::path iniFilePath() {
    return platform::profilePathBeside(reinterpret_cast<const void*>(&iniFilePath));
}

std::filesystem::path iniFilePathFor(const std::filesystem::path& library) {
    auto beside = library;
    beside.replace_extension(".ini");
    return beside;
}

std::string iniFileLocationNote() {
    return {};
}

std::vector<std::string> listSections(const std::filesystem::path& path) {
    return platform::profileSectionNames(path);
}

std::int32_t readIniInt(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, std::int32_t fallback) {
    return platform::profileInt(path, section, key, fallback);
}

bool writeIniString(const std::filesystem::path& path, const std::string& section,
                    const std::string& key, const std::string& value) {
    return platform::writeProfileString(path, section, key, value);
}
