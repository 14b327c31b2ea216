// What tavroplay shows; see Display.h.
#include "tavroplay/Display.h"

#include <cstdio>

namespace tavroplay {

std::string formatTime(std::uint64_t samples) {
    const std::uint64_t seconds = samples / vgm::sampleRate;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                      static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned long long>(seconds / 60 % 60),
                      static_cast<unsigned long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%llu:%02llu",
                      static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
    return text;
}

std::vector<std::string> tagLines(const vgm::Gd3Tag& tag) {
    std::vector<std::string> lines;
    const auto add = [&lines](const char* label, const std::string& english,
                              const std::string& japanese) {
        const std::string& text = vgm::Gd3Tag::preferred(english, japanese);
        if (!text.empty()) lines.push_back(label + text);
    };
    add("Track:  ", tag.track, tag.trackJapanese);
    add("Game:   ", tag.game, tag.gameJapanese);
    add("System: ", tag.system, tag.systemJapanese);
    add("Author: ", tag.author, tag.authorJapanese);
    return lines;
}

std::string statusLine(const Position& position, std::uint64_t totalSamples, bool looping,
                       int loops, const std::vector<MeterChip>& chips, bool paused) {
    std::string line = formatTime(position.sample) + " / " + formatTime(totalSamples);
    if (paused)
        line += "  paused";
    else if (position.fading)
        line += "  fade  ";
    else if (looping)
        line += "  loop " + std::to_string(position.pass) + "/" + std::to_string(loops);
    for (const MeterChip& chip : chips)
        line += "  " + chip.label + " " + chip.chip->activity();
    return line;
}

} // namespace tavroplay
