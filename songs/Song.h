// Song: one song file read into the form every player shares, whatever its
// format: the chips it names, its register writes in time order, each for
// one of those chips at a time on a 44,100 Hz clock, the loop point, the
// tags (UTF-8) and the length of one pass.
//
// A write's address is the chip's register (two-port chips: the second port
// 0x100 and up). An SN76489's writes are its data bytes at address 0 (the
// Game Gear stereo byte at address 1).
//
//   std::string error;
//   if (std::optional<songs::Song> song = songs::loadSong("a.s98", error)) ...
//
// Sources: VgmSource.h (.vgm, .vgz), S98Source.h (.s98); loadSong picks by
// the file's contents.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "songs/SongChip.h"

namespace songs {

inline constexpr std::uint32_t sampleRate = 44100;

struct SongWrite {
    std::uint64_t time; // samples from the start of the song
    std::uint16_t address;
    std::uint8_t chip; // index into Song::chips
    std::uint8_t data;
    bool operator==(const SongWrite&) const = default;
};

struct SongTag {
    std::string name; // "Title", "Game", "Artist", ...
    std::string value;
    bool operator==(const SongTag&) const = default;
};

struct SongLoop {
    std::size_t write;  // the first write of the loop (writes.size(): none in it)
    std::uint64_t time; // where the loop starts
};

// Sample data a song's ADPCM voices play (an MDX song's PDX samples,
// decoded): 12-bit samples at their rate.
struct SongPcm {
    std::vector<std::int16_t> samples;
    std::uint32_t rate = 0;
};

struct Song {
    std::string format; // "VGM 1.51", "S98 v3"
    std::vector<SongChip> chips;
    std::vector<SongWrite> writes;
    std::uint64_t length = 0; // samples of one pass, to the end command
    std::optional<SongLoop> loop;
    std::vector<SongTag> tags;
    // What was wrong with a file that plays all the same (a header field
    // off, a tag cut short), as one line; empty for a sound file.
    std::string warning;
    // The samples a ChipType::msm6258 chip's writes start.
    std::vector<SongPcm> pcm;

    // Whether the chip at index is written to at all.
    bool writesTo(std::size_t chip) const;
    // Samples of the loop; 0 without one.
    std::uint64_t loopLength() const { return loop ? length - loop->time : 0; }
};

// Reads a song file of any known format; nothing with error set (without the
// file name) when it cannot be read or is not a song.
std::optional<Song> loadSong(const std::filesystem::path& path, std::string& error);
std::optional<Song> parseSong(std::vector<std::uint8_t> bytes, std::string& error);

// Whether a file name's extension is one of the song formats' (.vgm, .vgz,
// .s98, any case).
bool isSongFileName(const std::filesystem::path& path);

} // namespace songs
