// tavroplay's command line; see CommandLine.h.
#include "tavroplay/CommandLine.h"

#include <cctype>
#include <charconv>
#include <fstream>

namespace tavroplay {

const char* const usageText[] = {
    "Plays VGM, S98 and MDX files (.vgm, .vgz, .s98, .mdx, .m3u playlists) on the sound chips of "
    "the",
    "boards.",
    "",
    "  tavroplay [options] FILE...",
    "",
    "  --loops N     plays a looping file's loop N times, then fades out (default 2)",
    "  --fade S      fades out over S seconds (default 3; 0 stops at the loop's end)",
    "  --quiet       shows only errors",
    "  --wav OUT     renders to a 48 kHz WAV file with the software chips instead",
    "  --list        lists the boards, their chips, the timing threads' scheduling and the",
    "                devices attached, and exits",
    "  --list FILE...  lists each file's chips, length, loop, tags and peak write rate",
    "                without playing it",
    "",
    "Keys while playing: space pause, n next file, p previous file, q quit.",
    nullptr,
};

namespace {

std::string lowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
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

std::vector<PlayItem> readPlaylist(const std::filesystem::path& playlist) {
    std::ifstream in(playlist, std::ios::binary);
    if (!in) {
        std::error_code code;
        return {{playlist,
                 std::filesystem::exists(playlist, code) ? "cannot be opened" : "no such file"}};
    }
    std::vector<PlayItem> items;
    bool first = true;
    for (std::string line; std::getline(in, line);) {
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
        if (entry.is_relative()) entry = playlist.parent_path() / entry;
        if (lowerExtension(entry) == ".m3u" || lowerExtension(entry) == ".m3u8") {
            items.push_back({entry, "playlists inside playlists are not played"});
            continue;
        }
        items.push_back({entry, ""});
    }
    if (in.bad()) items.push_back({playlist, "cannot be read to its end"});
    return items;
}

void CommandLine::addFile(const std::filesystem::path& path) {
    const std::string extension = lowerExtension(path);
    if (extension == ".m3u" || extension == ".m3u8") {
        for (PlayItem& item : readPlaylist(path))
            items.push_back(std::move(item));
    } else {
        items.push_back({path, ""});
    }
}

std::optional<CommandLine> CommandLine::parse(const std::vector<std::string>& arguments,
                                              std::string& error) {
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
            line.addFile(pathFromUtf8(argument));
        } else if (argument == "--loops") {
            const std::string* text = value("--loops");
            double loops = 0;
            if (text == nullptr) return std::nullopt;
            if (!parseNumber(*text, loops) || loops < 1 || loops > 1000 ||
                loops != static_cast<int>(loops)) {
                error = "--loops takes a whole number from 1 to 1000, not \"" + *text + "\"";
                return std::nullopt;
            }
            line.loops = static_cast<int>(loops);
        } else if (argument == "--fade") {
            const std::string* text = value("--fade");
            if (text == nullptr) return std::nullopt;
            if (!parseNumber(*text, line.fadeSeconds) || line.fadeSeconds < 0 ||
                line.fadeSeconds > 600) {
                error = "--fade takes seconds from 0 to 600, not \"" + *text + "\"";
                return std::nullopt;
            }
        } else if (argument == "--wav") {
            const std::string* text = value("--wav");
            if (text == nullptr) return std::nullopt;
            line.wav = pathFromUtf8(*text);
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
            line.addFile(pathFromUtf8(argument));
        }
    }
    if (!line.list && !line.help && line.items.empty()) {
        error = "no file to play";
        return std::nullopt;
    }
    return line;
}

} // namespace tavroplay
