// tavroplay's command line; see CommandLine.h.
#include "tavroplay/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iostream>
#include <string_view>

#include "common/WholeFile.h"
#include "songs/Song.h"

namespace tavroplay {

const char* const usageText[] = {
    "Plays VGM, S98 and MDX files (.vgm, .vgz, .s98, .mdx, .m3u playlists) on the sound chips of "
    "the",
    "boards.",
    "",
    "  tavroplay [options] FILE...",
    "",
    "  --loops N     plays a looping file's loop N times, then fades out (default 2;",
    "                0 loops it until you go on)",
    "  --fade S      fades out over S seconds (default 3; 0 stops at the loop's end)",
    "  --shuffle     plays the files in a random order",
    "  --repeat      plays the files again from the first after the last",
    "  --quiet       shows only errors",
    "  --wav OUT     renders to a 48 kHz WAV file with the software chips instead",
    "  --list        lists the boards, their chips, the timing threads' scheduling and the",
    "                devices attached, and exits",
    "  --list FILE...  lists each file's chips, length, loop, tags and peak write rate",
    "                without playing it",
    "",
    "A FILE may be a folder (its song files in name order) or - for a",
    "playlist read from standard input.",
    "",
    "Keys while playing: space pause, left/right arrow 5 s back/forward, n next file,",
    "p previous file, q quit.",
    nullptr,
};

namespace {

// Playlists are read up to this size (a few thousand entries take a few
// hundred kilobytes).
constexpr std::size_t maximumPlaylist = 4u << 20;

std::string lowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool isPlaylist(const std::filesystem::path& path) {
    const std::string extension = lowerExtension(path);
    return extension == ".m3u" || extension == ".m3u8";
}

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool parseNumber(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && at == end;
}

} // namespace

std::vector<PlayItem> playlistEntries(std::string_view text, const std::filesystem::path& folder,
                                      const std::filesystem::path& playlist) {
    std::vector<PlayItem> items;
    bool first = true;
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        std::string line(text.substr(0, lineEnd));
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        first = false;
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        std::size_t start = 0;
        while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start])))
            ++start;
        line.erase(0, start);
        if (line.empty() || line[0] == '#') continue;
        for (char& c : line)
            if (c == '\\') c = '/';
        std::filesystem::path entry = pathFromUtf8(line);
        if (entry.is_relative() && !folder.empty()) entry = folder / entry;
        if (isPlaylist(entry)) {
            items.push_back({entry, "playlists inside playlists are not played"});
            continue;
        }
        items.push_back({entry, ""});
    }
    if (items.empty() && !playlist.empty()) items.push_back({playlist, "holds no file to play"});
    return items;
}

std::vector<PlayItem> readPlaylist(const std::filesystem::path& playlist) {
    std::vector<std::uint8_t> bytes;
    const platform::FileFault fault = platform::readWholeFile(playlist, maximumPlaylist, bytes);
    if (fault == platform::FileFault::tooLarge)
        return {{playlist, "too large to be a playlist (over " +
                               std::to_string(maximumPlaylist >> 20) + " MB)"}};
    if (fault != platform::FileFault::none) return {{playlist, platform::fileFaultText(fault)}};
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return playlistEntries(text, playlist.parent_path(), playlist);
}

std::vector<PlayItem> readPlaylist(std::istream& in) {
    const std::filesystem::path name = "(standard input)";
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        if (text.size() + static_cast<std::size_t>(in.gcount()) > maximumPlaylist)
            return {{name, "too large to be a playlist (over " +
                               std::to_string(maximumPlaylist >> 20) + " MB)"}};
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return {{name, "cannot be read"}};
    return playlistEntries(text, {}, name);
}

std::vector<PlayItem> folderSongs(const std::filesystem::path& folder) {
    std::vector<PlayItem> items;
    std::error_code code;
    for (std::filesystem::directory_iterator entry(folder, code), end; !code && entry != end;
         entry.increment(code)) {
        if (songs::isSongFileName(entry->path()) && entry->is_regular_file(code))
            items.push_back({entry->path(), ""});
    }
    if (code) return {{folder, "cannot be read as a folder"}};
    std::sort(items.begin(), items.end(), [](const PlayItem& a, const PlayItem& b) {
        return a.path.filename().u8string() < b.path.filename().u8string();
    });
    if (items.empty()) items.push_back({folder, "holds no song file"});
    return items;
}

void CommandLine::addFile(const std::filesystem::path& path, std::istream& standardInput) {
    std::error_code code;
    if (path == "-") {
        for (PlayItem& item : readPlaylist(standardInput))
            items.push_back(std::move(item));
    } else if (isPlaylist(path)) {
        for (PlayItem& item : readPlaylist(path))
            items.push_back(std::move(item));
    } else if (std::filesystem::is_directory(path, code)) {
        for (PlayItem& item : folderSongs(path))
            items.push_back(std::move(item));
    } else {
        items.push_back({path, ""});
    }
}

std::optional<CommandLine> CommandLine::parse(const std::vector<std::string>& arguments,
                                              std::string& error, std::istream& standardInput) {
    CommandLine line;
    bool filesOnly = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!filesOnly && argument == "--") {
            filesOnly = true;
            continue;
        }
        const auto value = [&](const char* name) -> const std::string* {
            if (i + 1 < arguments.size()) return &arguments[++i];
            error = std::string(name) + " needs a value";
            return nullptr;
        };
        if (filesOnly) {
            line.addFile(pathFromUtf8(argument), standardInput);
        } else if (argument == "--loops") {
            const std::string* text = value("--loops");
            double loops = 0;
            if (text == nullptr) return std::nullopt;
            if (!parseNumber(*text, loops) || !(loops >= 0 && loops <= maximumLoops) ||
                loops != static_cast<int>(loops)) {
                error =
                    "--loops takes a whole number from 0 (endless) to 1000, not \"" + *text + "\"";
                return std::nullopt;
            }
            line.loops = static_cast<int>(loops);
        } else if (argument == "--fade") {
            const std::string* text = value("--fade");
            if (text == nullptr) return std::nullopt;
            // Written so that NaN fails too.
            if (!parseNumber(*text, line.fadeSeconds) ||
                !(line.fadeSeconds >= 0 && line.fadeSeconds <= maximumFadeSeconds)) {
                error = "--fade takes seconds from 0 to 600, not \"" + *text + "\"";
                return std::nullopt;
            }
        } else if (argument == "--wav") {
            const std::string* text = value("--wav");
            if (text == nullptr) return std::nullopt;
            line.wav = pathFromUtf8(*text);
        } else if (argument == "--shuffle") {
            line.shuffle = true;
        } else if (argument == "--repeat") {
            line.repeat = true;
        } else if (argument == "--quiet" || argument == "-q") {
            line.quiet = true;
        } else if (argument == "--list") {
            line.list = true;
        } else if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            error = "unknown option " + argument;
            return std::nullopt;
        } else {
            line.addFile(pathFromUtf8(argument), standardInput);
        }
    }
    if (line.wav && line.loops == 0) {
        error = "--loops 0 loops without end: give --wav a number of loops";
        return std::nullopt;
    }
    if (!line.list && !line.help && line.items.empty()) {
        error = "no file to play";
        return std::nullopt;
    }
    return line;
}

} // namespace tavroplay
