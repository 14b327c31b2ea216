// What tavroplay shows; see Display.h.
#include "tavroplay/Display.h"

#include <cstdio>

namespace tavroplay {

std::string terminalText(const std::string& text) {
    constexpr unsigned char firstPrintable = 0x20; // below: the C0 controls
    constexpr unsigned char delete_ = 0x7F;
    constexpr unsigned char c1Lead = 0xC2; // UTF-8 of U+0080-U+00BF
    constexpr unsigned char c1First = 0x80;
    constexpr unsigned char c1Last = 0x9F;
    std::string out;
    out.reserve(text.size());
    const auto escape = [&out](unsigned code) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", code);
        out += hex;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < firstPrintable || byte == delete_) {
            escape(byte);
        } else if (byte == c1Lead && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= c1First &&
                   static_cast<unsigned char>(text[i + 1]) <= c1Last) {
            escape(static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string speedText(std::uint64_t samples, double seconds) {
    if (seconds <= 0) return "x-";
    char text[32];
    std::snprintf(text, sizeof text, "x%.0f",
                  static_cast<double>(samples) / songs::sampleRate / seconds);
    return text;
}

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
        lines.push_back(label + terminalText(tag.value));
    }
    return lines;
}

std::string statusLine(const Position& position, std::uint64_t totalSamples, bool looping,
                       int loops, const std::vector<MeterChip>& chips, bool paused) {
    const bool endless = looping && loops == 0;
    std::string line =
        formatTime(position.sample) + " / " + (endless ? "endless" : formatTime(totalSamples));
    if (paused)
        line += "  paused";
    else if (position.fading)
        line += "  fade  ";
    else if (endless)
        line += "  loop " + std::to_string(position.pass);
    else if (looping)
        line += "  loop " + std::to_string(position.pass) + "/" + std::to_string(loops);
    for (const MeterChip& chip : chips)
        line += "  " + chip.label + " " + chip.chip->activity();
    return line;
}

} // namespace tavroplay
