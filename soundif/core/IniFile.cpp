// IniFile: the library's INI file on disk, read and edited through IniText.
// The file is read whole for every call and nothing is cached, so edits made
// by hand or by the settings dialog are seen by the next read. Saving writes a
// complete new file beside the old one and renames it over the old, so the
// file is either the old or the new one, never half written.
#include "soundif/core/IniFile.h"

#include "common/Platform.h"
#include "soundif/core/IniText.h"

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

std::int32_t readInt(const IniText& ini, const std::string& section, const char* key,
                     std::int32_t fallback) {
    const auto value = ini.value(section, key);
    return value ? parseProfileInt(*value) : fallback;
}

void readUnsigned(const IniText& ini, const std::string& section, const char* key,
                  std::uint32_t& field) {
    field =
        static_cast<std::uint32_t>(readInt(ini, section, key, static_cast<std::int32_t>(field)));
}

void readByte(const IniText& ini, const std::string& section, const char* key,
              std::uint8_t& field) {
    field = static_cast<std::uint8_t>(readInt(ini, section, key, field) & 0xFF);
}

bool replaceAtomically(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

} // namespace

std::filesystem::path iniFilePath() {
    auto path = platform::modulePathOf(reinterpret_cast<const void*>(&iniFilePath));
    return path.replace_extension(".ini");
}

std::vector<std::string> listSections(const std::filesystem::path& path) {
    return load(path).sections();
}

std::string boardSectionName(std::int32_t port) {
    return "ftd2xx(COM" + std::to_string(port) + ")";
}

std::int32_t readIniInt(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, std::int32_t fallback) {
    return readInt(load(path), section, key.c_str(), fallback);
}

void loadBoardSettings(BoardSettings& record, const std::filesystem::path& path) {
    const IniText ini = load(path);
    const std::string section = boardSectionName(record.port);
    readUnsigned(ini, section, "Speed", record.speed);
    readUnsigned(ini, section, "BufferSize", record.bufferSize);
    record.slotChipId = readInt(ini, section, "SLOT_00_CHIP_ID", record.slotChipId);
    record.slotChipClock = readInt(ini, section, "SLOT_00_CHIP_CLOCK", record.slotChipClock);
    readByte(ini, section, "SBit", record.sBit);
    readByte(ini, section, "DBit", record.dBit);
    readByte(ini, section, "CBit", record.cBit);
    readByte(ini, section, "RBit", record.rBit);
    readUnsigned(ini, section, "AddrWait", record.addrWait);
    readUnsigned(ini, section, "DataWait", record.dataWait);
}

bool saveBoardSettings(const BoardSettings& record, const std::filesystem::path& path) {
    const auto text = readWholeFile(path);
    if (!text) return false;
    IniText ini(*text);
    const std::string section = boardSectionName(record.port);
    ini.set(section, "Speed", std::to_string(static_cast<std::int32_t>(record.speed)));
    ini.set(section, "SLOT_00_CHIP_ID", std::to_string(record.slotChipId));
    ini.set(section, "SLOT_00_CHIP_CLOCK", std::to_string(record.slotChipClock));
    return replaceAtomically(path, ini.text());
}
