// An S98 log as a Song; see S98Source.h.
#include "songs/S98Source.h"
#include "vgm/FileBytes.h"

#include <cmath>
#include <cstdio>

#include "songs/TextEncoding.h"

namespace songs {

namespace {

using vgm::hex;
using vgm::read32;

constexpr std::size_t versionField = 0x03;
constexpr std::size_t numeratorField = 0x04;
constexpr std::size_t denominatorField = 0x08;
constexpr std::size_t compressionField = 0x0C;
constexpr std::size_t tagField = 0x10;
constexpr std::size_t dumpField = 0x14;
constexpr std::size_t loopField = 0x18;
constexpr std::size_t deviceCountField = 0x1C;
constexpr std::size_t deviceListStart = 0x20;
constexpr std::size_t deviceEntrySize = 16;
constexpr std::size_t headerSize = deviceListStart;
constexpr std::uint32_t defaultNumerator = 10;
constexpr std::uint32_t defaultDenominator = 1000;
constexpr std::uint32_t maximumDevices = 64;
constexpr std::uint32_t defaultYm2608Clock = 7987200;

constexpr std::uint8_t endCommand = 0xFD;
constexpr std::uint8_t longWaitCommand = 0xFE;
constexpr std::uint8_t waitCommand = 0xFF;
constexpr std::uint8_t lastWriteCommand = 2 * maximumDevices - 1;
constexpr std::uint32_t longWaitBase = 2;
constexpr unsigned longWaitMaximumBytes = 5;
constexpr std::uint16_t secondPort = 0x100;

constexpr std::string_view tagMagic = "[S98]";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// Device types of the device list.
enum DeviceType : std::uint32_t {
    none = 0,
    ym2149 = 1,
    ym2203 = 2,
    ym2612 = 3,
    ym2608 = 4,
    ym2151 = 5,
    ym2413 = 6,
    ym3526 = 7,
    ym3812 = 8,
    ymf262 = 9,
    ay8910 = 15,
    sn76489 = 16,
};

// The chip of a device type; a type-0 device gives nothing.
std::optional<SongChip> chipOf(std::uint32_t type, std::uint32_t clock) {
    SongChip chip;
    chip.clock = clock;
    switch (type) {
    case none: return std::nullopt;
    case ym2149:
        chip.type = ChipType::ssg;
        chip.name = "YM2149";
        chip.clock = clock / 2;
        break;
    case ay8910:
        chip.type = ChipType::ssg;
        chip.name = "AY-3-8910";
        break;
    case ym2203: chip.type = ChipType::ym2203; break;
    case ym2612: chip.type = ChipType::ym2612; break;
    case ym2608: chip.type = ChipType::ym2608; break;
    case ym2151: chip.type = ChipType::ym2151; break;
    case ym2413: chip.type = ChipType::ym2413; break;
    case sn76489: chip.type = ChipType::sn76489; break;
    case ym3526: chip.name = "YM3526"; break;
    case ym3812: chip.name = "YM3812"; break;
    case ymf262: chip.name = "YMF262"; break;
    default: chip.name = "S98 device type " + std::to_string(type); break;
    }
    if (chip.name.empty()) chip.name = std::string(typeName(chip.type));
    return chip;
}

std::string tagName(std::string_view name) {
    std::string text(name);
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (text == "s98by") return "S98 by";
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

void readTag(std::span<const std::uint8_t> bytes, std::size_t offset, Song& song) {
    if (offset >= bytes.size()) return;
    const std::string_view rest(reinterpret_cast<const char*>(bytes.data()) + offset,
                                bytes.size() - offset);
    const std::string_view text = rest.substr(0, rest.find('\0'));
    if (!text.starts_with(tagMagic)) {
        // The old form: a zero-terminated Shift_JIS title.
        if (!text.empty()) song.tags.push_back({"Title", utf8FromShiftJis(text)});
        return;
    }
    std::string_view lines = text.substr(tagMagic.size());
    const bool utf8 = lines.starts_with(byteOrderMark);
    if (utf8) lines.remove_prefix(byteOrderMark.size());
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        std::string_view line = lines.substr(0, end);
        lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) continue;
        const std::string_view value = line.substr(equals + 1);
        if (value.empty()) continue;
        song.tags.push_back(
            {tagName(line.substr(0, equals)), utf8 ? validUtf8(value) : utf8FromShiftJis(value)});
    }
}

} // namespace

bool isS98(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 'S' && bytes[1] == '9' && bytes[2] == '8';
}

std::optional<Song> readS98(std::span<const std::uint8_t> bytes, std::string& error) {
    if (!isS98(bytes)) {
        error = "not an S98 file (no \"S98\" at its start)";
        return std::nullopt;
    }
    if (bytes.size() < headerSize) {
        error = "too short for an S98 header";
        return std::nullopt;
    }
    const char version = static_cast<char>(bytes[versionField]);
    if (version != '1' && version != '2' && version != '3') {
        error = "S98 version '" + std::string(1, version) + "' is not supported (1 and 3 are)";
        return std::nullopt;
    }
    if (read32(bytes, compressionField) != 0) {
        error = "compressed S98 files are not supported";
        return std::nullopt;
    }
    std::uint32_t numerator = read32(bytes, numeratorField);
    std::uint32_t denominator = read32(bytes, denominatorField);
    if (numerator == 0) numerator = defaultNumerator;
    if (denominator == 0) denominator = defaultDenominator;
    const std::size_t dumpStart = read32(bytes, dumpField);
    const std::size_t loopStart = read32(bytes, loopField);
    if (dumpStart < headerSize || dumpStart >= bytes.size()) {
        error = "dump data offset " + hex(dumpStart) + " outside the file";
        return std::nullopt;
    }
    if (loopStart != 0 && (loopStart < dumpStart || loopStart >= bytes.size())) {
        error = "loop offset " + hex(loopStart) + " outside the dump data";
        return std::nullopt;
    }

    Song song;
    song.format = std::string("S98 v") + version;
    // The device list: device number to chip number (-1: none).
    std::vector<int> chipOfDevice;
    const auto addDevice = [&](std::uint32_t type, std::uint32_t clock) {
        std::optional<SongChip> chip = chipOf(type, clock);
        if (!chip) {
            chipOfDevice.push_back(-1);
            return;
        }
        for (const SongChip& other : song.chips)
            if (other.name == chip->name) ++chip->index;
        chipOfDevice.push_back(static_cast<int>(song.chips.size()));
        song.chips.push_back(*chip);
    };
    const std::uint32_t count = version == '1' ? 0 : read32(bytes, deviceCountField);
    if (count > maximumDevices || deviceListStart + count * deviceEntrySize > dumpStart) {
        if (version == '2') {
            error = "S98 version 2 is not supported (its device list does not read as one)";
        } else {
            error = "device list of " + std::to_string(count) + " devices does not fit " +
                    (count > maximumDevices ? "the format (64 at most)" : "before the dump data");
        }
        return std::nullopt;
    }
    for (std::uint32_t device = 0; device < count; ++device) {
        const std::size_t at = deviceListStart + device * deviceEntrySize;
        const std::uint32_t type = read32(bytes, at);
        if (version == '2' && (type > sn76489 || read32(bytes, at + 4) == 0)) {
            error = "S98 version 2 is not supported (its device list does not read as one)";
            return std::nullopt;
        }
        addDevice(type, read32(bytes, at + 4));
    }
    if (count == 0) addDevice(ym2608, defaultYm2608Clock);

    // The dump data.
    std::uint64_t syncs = 0;
    const auto timeOf = [&](std::uint64_t syncCount) {
        return static_cast<std::uint64_t>(std::llround(static_cast<long double>(syncCount) *
                                                       numerator * sampleRate / denominator));
    };
    std::size_t at = dumpStart;
    while (at < bytes.size()) {
        if (loopStart != 0 && !song.loop && at >= loopStart)
            song.loop = SongLoop{song.writes.size(), timeOf(syncs)};
        const std::uint8_t command = bytes[at];
        if (command <= lastWriteCommand) {
            if (at + 3 > bytes.size()) {
                error = "truncated: the write at " + hex(at) + " runs past the end of the file";
                return std::nullopt;
            }
            const std::size_t device = command / 2;
            if (device < chipOfDevice.size() && chipOfDevice[device] >= 0) {
                const auto address =
                    static_cast<std::uint16_t>(bytes[at + 1] | (command & 1 ? secondPort : 0));
                song.writes.push_back({timeOf(syncs), address,
                                       static_cast<std::uint8_t>(chipOfDevice[device]),
                                       bytes[at + 2]});
            }
            at += 3;
        } else if (command == waitCommand) {
            ++syncs;
            ++at;
        } else if (command == longWaitCommand) {
            std::uint64_t value = 0;
            unsigned shift = 0;
            std::size_t next = at + 1;
            while (true) {
                if (next >= bytes.size() || shift >= 7 * longWaitMaximumBytes) {
                    error = "the wait at " + hex(at) + " is cut short or too long";
                    return std::nullopt;
                }
                const std::uint8_t byte = bytes[next++];
                value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
                shift += 7;
                if ((byte & 0x80) == 0) break;
            }
            syncs += value + longWaitBase;
            at = next;
        } else if (command == endCommand) {
            break;
        } else {
            error = "unknown command " + hex(command) + " at " + hex(at);
            return std::nullopt;
        }
    }
    song.length = timeOf(syncs);
    if (song.loop && song.loop->time >= song.length) song.loop.reset();
    if (const std::size_t tagStart = read32(bytes, tagField); tagStart != 0)
        readTag(bytes, tagStart, song);
    return song;
}

} // namespace songs
