// CommandLine: tavroplay's options and the files to play, with .m3u
// playlists expanded in place (their entries relative to the playlist's own
// folder; blank lines and #-comments skipped).
//
//   tavroplay [--loops N] [--fade S] [--quiet] [--wav OUT.wav] FILE...
//   tavroplay --list [FILE...]
#pragma once

#include <filesystem>
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

struct CommandLine {
    int loops = 2;
    double fadeSeconds = 3;
    bool quiet = false;
    bool list = false;
    bool help = false;
    std::optional<std::filesystem::path> wav;
    std::vector<PlayItem> items;

    // Parses the arguments after the program name; nothing with error set
    // on a bad option.
    static std::optional<CommandLine> parse(const std::vector<std::string>& arguments,
                                            std::string& error);

private:
    void addFile(const std::filesystem::path& path);
};

// The usage text, one line per entry.
extern const char* const usageText[];

// Reads a playlist: the entries, or a fault.
std::vector<PlayItem> readPlaylist(const std::filesystem::path& playlist);

} // namespace tavroplay
