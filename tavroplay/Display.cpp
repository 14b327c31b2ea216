// What tavroplay shows; see Display.h.
#include "tavroplay/Display.h"

#include <cstdio>

namespace tavroplay {

std::string formatTime(std::uint64_t samples) {
    const std::uint64_t seconds = samples / songs::sampleRate;
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

std::vector<std::string> tagLines(const std::vector<songs::SongTag>& tags) {
    // "System: " is the widest of the usual names.
    constexpr std::size_t labelWidth = 8;
    std::vector<std::string> lines;
    for (const songs::SongTag& tag : tags) {
        std::string label = tag.name + ":";
        label.append(label.size() < labelWidth ? labelWidth - label.size() : 1, ' ');
        lines.push_back(label + tag.value);
    }
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
