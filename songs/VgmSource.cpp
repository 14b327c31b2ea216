// A VGM file as a Song; see VgmSource.h.
#include "songs/VgmSource.h"

#include <array>
#include <cstdio>

namespace songs {

namespace {

constexpr std::uint8_t ym2149Family = 0x10;
constexpr std::uint8_t clockDividerFlag = 0x10;
constexpr int chipsPerKind = 2;

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

    const bool loops = file.header().loopStart != 0 && file.streamLoopSamples() != 0;
    vgm::CommandReader reader = file.commands();
    std::uint64_t time = 0;
    for (vgm::VgmEvent event = reader.next();
         event.kind != vgm::VgmEvent::end && event.kind != vgm::VgmEvent::fault;
         event = reader.next()) {
        if (loops && !song.loop && event.offset >= file.header().loopStart)
            song.loop = SongLoop{song.writes.size(), time};
        if (event.kind == vgm::VgmEvent::wait) time += event.samples;
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
