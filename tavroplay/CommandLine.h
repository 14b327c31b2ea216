// CommandLine: tavroplay's options and the files to play, with .m3u
// playlists expanded in place (their entries relative to the playlist's own
// folder; blank lines and #-comments skipped), "-" read as a playlist from
// standard input (entries relative to the current folder) and folders
// expanded into their song files in name order. Playlists are read up to a
// size cap and never block (a FIFO is refused).
//
//   tavroplay [--loops N] [--fade S] [--shuffle] [--repeat] [--quiet] [--wav OUT] FILE...
//   tavroplay --list [FILE...]
#pragma once

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace tavroplay {

// One entry to play, or a fault found while reading the playlists (a
// playlist that cannot be read): the fault is reported in its turn.
struct PlayItem {
    std::filesystem::path path;
    std::string fault; // empty for a file to play
};

inline constexpr int maximumLoops = 1000;
inline constexpr double maximumFadeSeconds = 600;

struct CommandLine {
    int loops = 2; // 0: a looping file loops until the listener goes on
    double fadeSeconds = 3;
    bool shuffle = false;
    bool repeat = false;
    bool quiet = false;
    bool list = false;
    bool help = false;
    std::optional<std::filesystem::path> wav;
    std::vector<PlayItem> items;

    // Parses the arguments after the program name; nothing with error set
    // on a bad option.
    static std::optional<CommandLine> parse(const std::vector<std::string>& arguments,
                                            std::string& error,
                                            std::istream& standardInput = std::cin);

private:
    void addFile(const std::filesystem::path& path, std::istream& standardInput);
};

// The usage text, one line per entry.
extern const char* const usageText[];

// Reads a playlist: the entries, or a fault.
std::vector<PlayItem> readPlaylist(const std::filesystem::path& playlist);
std::vector<PlayItem> readPlaylist(std::istream& in);

} // namespace tavroplay
