// IniFile on POSIX systems: the file is read whole for every call and read or
// edited through IniText. Writing a key saves the whole edited text with
// platform::saveFile: through a symbolic link into the file it names, with
// the file's mode and owner kept, as a new file renamed over the old one so
// that it is never half written, or in place where the directory takes no new
// file.
#include "common/FileSave.h"
#include "common/Platform.h"
#include "soundif/core/IniFile.h"
#include "soundif/core/IniText.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace {

// The file's bytes; an empty text for a missing file, nothing when the file
// exists but cannot be read (a directory in its place included). Read errors
// end as a failed stream, never as an exception: the stream's own read turns
// them into its state.
std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return std::string();
    if (error || status.type() != std::filesystem::file_type::regular) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    if (in.peek() != std::char_traits<char>::eof()) text << in.rdbuf();
    if (in.bad() || text.fail()) return std::nullopt;
    return std::move(text).str();
}

IniText load(const std::filesystem::path& path) {
    return IniText(readWholeFile(path).value_or(std::string()));
}

} // namespace

std::filesystem::path iniFilePath() {
    return iniFilePathFor(platform::modulePathOf(reinterpret_cast<const void*>(&iniFilePath)));
}

std::filesystem::path iniFilePathFor(const std::filesystem::path& library) {
    auto beside = library;
    beside.replace_extension(".ini");
    std::error_code error;
    if (std::filesystem::exists(beside, error)) return beside;
    std::filesystem::path folder;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config != nullptr && std::filesystem::path(config).is_absolute())
        folder = config;
    else if (home != nullptr && std::filesystem::path(home).is_absolute())
        folder = std::filesystem::path(home) / ".config";
    else
        return beside;
    return folder / "tavro" / beside.filename();
}

std::string iniFileLocationNote() {
    return "The settings are kept in libtavro.ini beside the library when that file exists, "
           "otherwise in $XDG_CONFIG_HOME/tavro/libtavro.ini (~/.config/tavro/ by default). "
           "Make sure that file and its folder may be written.";
}

std::vector<std::string> listSections(const std::filesystem::path& path) {
    return load(path).sections();
}

std::int32_t readIniInt(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, std::int32_t fallback) {
    return load(path).intValue(section, key, fallback);
}

bool writeIniString(const std::filesystem::path& path, const std::string& section,
                    const std::string& key, const std::string& value) {
    const auto text = readWholeFile(path);
    if (!text) return false;
    IniText ini(*text);
    ini.set(section, key, value);
    return platform::saveFile(path, ini.text());
}
