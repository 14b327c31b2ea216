// A VGM file as a Song; see VgmSource.h.
#include "songs/VgmSource.h"

#include <array>
#include <cstdio>
#include <optional>
#include <span>

namespace songs {

namespace {

constexpr std::uint8_t ym2149Family = 0x10;
constexpr std::uint8_t clockDividerFlag = 0x10;
constexpr int chipsPerKind = 2;

// The chips whose commands the VGM reader skips and this source reads itself
// (no board carries them; they play through conversions):
//   SN76489  0x50 dd (second chip 0x30 dd), Game Gear stereo 0x4F dd (0x3F dd);
//            clock at 0x0C, noise feedback at 0x28 (16 bits) and shift register
//            width at 0x2A (8 bits) from 1.10 on, flags at 0x2B from 1.51 on
//            (bit 0: a period of 0 is 1024)
//   YM2612   0x52 aa dd port 0, 0x53 aa dd port 1 (second chip 0xA2 / 0xA3);
//            clock at 0x2C from 1.10 on (before: the YM2413's field at 0x10)
enum class Extra { sn76489, ym2612 };
constexpr std::size_t extraCount = 2;
constexpr std::size_t sn76489ClockField = 0x0C;
constexpr std::size_t sn76489FeedbackField = 0x28;
constexpr std::size_t sn76489WidthField = 0x2A;
constexpr std::size_t sn76489FlagsField = 0x2B;
constexpr std::uint32_t sn76489FlagsSince = 0x151;
constexpr std::uint32_t zeroPeriodIs1024Flag = 0x01;
constexpr std::size_t ym2612ClockField = 0x2C;
constexpr std::size_t fmClockBefore110Field = 0x10;
constexpr std::uint32_t fieldsSince110 = 0x110;
constexpr std::uint32_t defaultSn76489Clock = 3579545;
constexpr std::uint32_t defaultYm2612Clock = 7670453;
constexpr std::uint32_t clockMask = 0x3FFFFFFF;

struct ExtraWrite {
    Extra chip;
    int index;
    std::uint16_t address;
    std::uint8_t data;
};

// The write of a command the reader skipped, if it is one of the extra chips'.
std::optional<ExtraWrite> extraWrite(std::span<const std::uint8_t> bytes, std::size_t at) {
    const std::uint8_t command = bytes[at];
    switch (command) {
    case 0x50: return ExtraWrite{Extra::sn76489, 0, 0, bytes[at + 1]};
    case 0x30: return ExtraWrite{Extra::sn76489, 1, 0, bytes[at + 1]};
    case 0x4F: return ExtraWrite{Extra::sn76489, 0, sn76489StereoAddress, bytes[at + 1]};
    case 0x3F: return ExtraWrite{Extra::sn76489, 1, sn76489StereoAddress, bytes[at + 1]};
    case 0x52:
    case 0x53:
    case 0xA2:
    case 0xA3:
        return ExtraWrite{Extra::ym2612, command >= 0xA2 ? 1 : 0,
                          static_cast<std::uint16_t>((command & 1 ? 0x100 : 0) | bytes[at + 1]),
                          bytes[at + 2]};
    default: return std::nullopt;
    }
}

// The extra chip as the header describes it.
SongChip extraChip(const vgm::VgmFile& file, Extra chip, int index) {
    const std::span<const std::uint8_t> bytes = file.bytes();
    const vgm::VgmHeader& header = file.header();
    const auto field = [&](std::size_t offset, std::size_t size, std::uint32_t since) {
        if (header.version < since || offset + size > header.dataStart) return std::uint32_t{0};
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
        return value;
    };
    SongChip song;
    song.index = index;
    if (chip == Extra::sn76489) {
        song.type = ChipType::sn76489;
        song.name = "SN76489";
        song.clock = field(sn76489ClockField, 4, 0) & clockMask;
        if (song.clock == 0) song.clock = defaultSn76489Clock;
        if (const auto feedback = field(sn76489FeedbackField, 2, fieldsSince110); feedback != 0)
            song.noise.feedback = static_cast<std::uint16_t>(feedback);
        if (const auto width = field(sn76489WidthField, 1, fieldsSince110); width != 0)
            song.noise.width = static_cast<std::uint8_t>(width);
        if (header.version >= sn76489FlagsSince && sn76489FlagsField < header.dataStart)
            song.noise.zeroPeriodIs1024 =
                (field(sn76489FlagsField, 1, sn76489FlagsSince) & zeroPeriodIs1024Flag) != 0;
    } else {
        song.type = ChipType::ym2612;
        song.name = "YM2612";
        song.clock = header.version < fieldsSince110 ? field(fmClockBefore110Field, 4, 0)
                                                     : field(ym2612ClockField, 4, 0);
        song.clock &= clockMask;
        if (song.clock == 0) song.clock = defaultYm2612Clock;
    }
    return song;
}

ChipType typeOf(vgm::VgmChip chip) {
    switch (chip) {
    case vgm::VgmChip::ym2151: return ChipType::ym2151;
    case vgm::VgmChip::ym2413: return ChipType::ym2413;
    case vgm::VgmChip::ym2203: return ChipType::ym2203;
    case vgm::VgmChip::ym2608: return ChipType::ym2608;
    case vgm::VgmChip::ay8910: return ChipType::ssg;
    }
    return ChipType::other;
}

std::string versionText(std::uint32_t bcd) {
    char text[16];
    std::snprintf(text, sizeof text, "%X.%02X", bcd >> 8, bcd & 0xFF);
    return text;
}

void addTag(Song& song, const char* name, const std::string& value) {
    if (!value.empty()) song.tags.push_back({name, value});
}

} // namespace

std::uint32_t vgmClockOf(const vgm::VgmHeader& header, vgm::VgmChip chip) {
    std::uint32_t clock = header.clock(chip).hz;
    if (clock == 0) clock = vgm::chipModelOf(chip).defaultClock;
    if (chip == vgm::VgmChip::ay8910 && header.ay8910Type >= ym2149Family &&
        (header.ay8910Flags & clockDividerFlag) != 0)
        clock /= 2;
    return clock;
}

Song songOfVgm(const vgm::VgmFile& file) {
    Song song;
    song.format = "VGM " + versionText(file.header().version);
    constexpr int unused = -1;
    std::array<std::array<int, chipsPerKind>, vgm::chipCount> number{};
    for (std::size_t kind = 0; kind < vgm::chipCount; ++kind) {
        const auto chip = static_cast<vgm::VgmChip>(kind);
        for (int index = 0; index < chipsPerKind; ++index) {
            number[kind][index] = unused;
            if (!file.writesTo(chip, index)) continue;
            number[kind][index] = static_cast<int>(song.chips.size());
            SongChip entry;
            entry.type = typeOf(chip);
            entry.name = std::string(vgm::chipName(chip));
            if (chip == vgm::VgmChip::ay8910 && file.header().ay8910Type >= ym2149Family)
                entry.name = "YM2149";
            entry.clock = vgmClockOf(file.header(), chip);
            entry.index = index;
            song.chips.push_back(entry);
        }
    }

    // The extra chips the stream writes to, after the reader's.
    std::array<std::array<int, chipsPerKind>, extraCount> extraNumber{};
    for (auto& numbers : extraNumber)
        numbers.fill(unused);
    {
        std::array<std::array<bool, chipsPerKind>, extraCount> used{};
        vgm::CommandReader scan = file.commands();
        for (vgm::VgmEvent event = scan.next();
             event.kind != vgm::VgmEvent::end && event.kind != vgm::VgmEvent::fault;
             event = scan.next())
            if (event.kind == vgm::VgmEvent::other)
                if (const auto write = extraWrite(file.bytes(), event.offset))
                    used[static_cast<std::size_t>(write->chip)][write->index] = true;
        for (std::size_t chip = 0; chip < extraCount; ++chip)
            for (int index = 0; index < chipsPerKind; ++index)
                if (used[chip][index]) {
                    extraNumber[chip][index] = static_cast<int>(song.chips.size());
                    song.chips.push_back(extraChip(file, static_cast<Extra>(chip), index));
                }
    }

    const bool loops = file.header().loopStart != 0 && file.streamLoopSamples() != 0;
    vgm::CommandReader reader = file.commands();
    std::uint64_t time = 0;
    for (vgm::VgmEvent event = reader.next();
         event.kind != vgm::VgmEvent::end && event.kind != vgm::VgmEvent::fault;
         event = reader.next()) {
        if (loops && !song.loop && event.offset >= file.header().loopStart)
            song.loop = SongLoop{song.writes.size(), time};
        if (event.kind == vgm::VgmEvent::wait) time += event.samples;
        if (event.kind == vgm::VgmEvent::other) {
            if (const auto write = extraWrite(file.bytes(), event.offset)) {
                const int chip = extraNumber[static_cast<std::size_t>(write->chip)][write->index];
                song.writes.push_back(
                    {time, write->address, static_cast<std::uint8_t>(chip), write->data});
            }
            continue;
        }
        if (event.kind != vgm::VgmEvent::write) continue;
        const int chip = number[static_cast<std::size_t>(event.chip)][event.index];
        if (chip != unused)
            song.writes.push_back(
                {time, event.address, static_cast<std::uint8_t>(chip), event.data});
    }
    if (loops && !song.loop) song.loop = SongLoop{song.writes.size(), time};
    song.length = time;
    song.warning = file.warning();

    if (file.tag()) {
        const vgm::Gd3Tag& tag = *file.tag();
        using vgm::Gd3Tag;
        addTag(song, "Track", Gd3Tag::preferred(tag.track, tag.trackJapanese));
        addTag(song, "Game", Gd3Tag::preferred(tag.game, tag.gameJapanese));
        addTag(song, "System", Gd3Tag::preferred(tag.system, tag.systemJapanese));
        addTag(song, "Author", Gd3Tag::preferred(tag.author, tag.authorJapanese));
        addTag(song, "Date", tag.date);
        addTag(song, "Ripper", tag.ripper);
        addTag(song, "Notes", tag.notes);
    }
    return song;
}

} // namespace songs
