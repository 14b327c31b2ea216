// IniFile: the board record's keys, read and written one key at a time through
// readIniInt and writeIniString, which each build (IniFile_posix.cpp,
// IniFile_win32.cpp) provides. Every call goes to the file anew and nothing is
// cached, so edits made by hand or by the settings dialog are seen by the next
// read.
#include "soundif/core/IniFile.h"

namespace {

void readUnsigned(const std::filesystem::path& path, const std::string& section, const char* key,
                  std::uint32_t& field) {
    field = static_cast<std::uint32_t>(
        readIniInt(path, section, key, static_cast<std::int32_t>(field)));
}

void readByte(const std::filesystem::path& path, const std::string& section, const char* key,
              std::uint8_t& field) {
    field = static_cast<std::uint8_t>(readIniInt(path, section, key, field) & 0xFF);
}

} // namespace

std::string boardSectionName(std::int32_t port) {
    return "ftd2xx(COM" + std::to_string(port) + ")";
}

void loadBoardSettings(BoardSettings& record, const std::filesystem::path& path) {
    const std::string section = boardSectionName(record.port);
    readUnsigned(path, section, "Speed", record.speed);
    readUnsigned(path, section, "BufferSize", record.bufferSize);
    record.slotChipId = readIniInt(path, section, "SLOT_00_CHIP_ID", record.slotChipId);
    record.slotChipClock = readIniInt(path, section, "SLOT_00_CHIP_CLOCK", record.slotChipClock);
    readByte(path, section, "SBit", record.sBit);
    readByte(path, section, "DBit", record.dBit);
    readByte(path, section, "CBit", record.cBit);
    readByte(path, section, "RBit", record.rBit);
    readUnsigned(path, section, "AddrWait", record.addrWait);
    readUnsigned(path, section, "DataWait", record.dataWait);
}

bool saveBoardSettings(const BoardSettings& record, const std::filesystem::path& path) {
    const std::string section = boardSectionName(record.port);
    const bool speed = writeIniString(path, section, "Speed",
                                      std::to_string(static_cast<std::int32_t>(record.speed)));
    const bool chipId =
        writeIniString(path, section, "SLOT_00_CHIP_ID", std::to_string(record.slotChipId));
    const bool chipClock =
        writeIniString(path, section, "SLOT_00_CHIP_CLOCK", std::to_string(record.slotChipClock));
    return speed && chipId && chipClock;
}
