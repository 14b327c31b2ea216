// Listing songs; see SongListing.h.
#include "tavroplay/SongListing.h"

#include <cmath>

#include "songs/Song.h"
#include "tavroplay/Display.h"
#include "tavroplay/LinkLoad.h"
#include "tavroplay/Session.h"

namespace tavroplay {

namespace {

void listSong(const PlayItem& item, const songs::Song& song, std::ostream& out) {
    out << displayName(item.path) << ": " << song.format << '\n';
    std::string chips;
    for (std::size_t number = 0; number < song.chips.size(); ++number) {
        const songs::SongChip& chip = song.chips[number];
        chips += (chips.empty() ? "" : ", ") + chip.label() + " at " + std::to_string(chip.clock) +
                 " Hz";
        if (!song.writesTo(number)) chips += " (unused)";
    }
    out << "  Chips:  " << (chips.empty() ? "none" : chips) << '\n';
    out << "  Length: " << formatTime(song.length);
    if (song.loop && song.loopLength() != 0)
        out << ", looping from " << formatTime(song.loop->time);
    else
        out << ", no loop";
    out << '\n';
    for (const std::string& line : tagLines(song.tags))
        out << "  " << line << '\n';
    const LinkLoad load = measureLinkLoad(song);
    const double capacity = linkCapacity(defaultLinkSpeed);
    out << "  Writes: at most " << std::lround(load.peakWritesPerSecond) << " a second (at "
        << formatTime(load.peakAt) << "); the link carries " << std::lround(capacity)
        << " at Speed " << defaultLinkSpeed;
    if (load.peakWritesPerSecond > capacity) {
        const std::uint32_t speed = speedToCarry(load.peakWritesPerSecond);
        if (speed != 0)
            out << ": Speed " << speed << " would carry them";
        else
            out << ": no Speed up to 3000000 carries them";
    }
    out << '\n';
}

} // namespace

int listSongs(const std::vector<PlayItem>& items, std::ostream& out, std::ostream& faults) {
    int code = 0;
    for (const PlayItem& item : items) {
        std::string error = item.fault;
        std::optional<songs::Song> song;
        if (error.empty()) song = songs::loadSong(item.path, error);
        if (!song) {
            out << std::flush;
            faults << displayName(item.path) << ": " << error << std::endl;
            code = 1;
            continue;
        }
        listSong(item, *song, out);
    }
    out << std::flush;
    return code;
}

} // namespace tavroplay
