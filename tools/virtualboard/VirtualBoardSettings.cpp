// Reading the virtual board's settings from the environment; see
// VirtualBoardSettings.h.
#include "tools/virtualboard/VirtualBoardSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace virtualboard {

namespace {

std::optional<unsigned long> number(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ')
        ++begin;
    char* end = nullptr;
    const unsigned long value = std::strtoul(begin, &end, 0);
    if (end == begin || *begin == '-') return std::nullopt;
    while (*end == ' ')
        ++end;
    if (*end != '\0') return std::nullopt;
    return value;
}

std::vector<std::string> fields(const char* text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string field; std::getline(stream, field, ',');)
        result.push_back(field);
    return result;
}

std::vector<std::int32_t> portList(const char* text) {
    std::vector<std::int32_t> ports;
    for (const std::string& field : fields(text)) {
        const auto port = number(field);
        if (port && *port > 0 && *port <= INT32_MAX)
            ports.push_back(static_cast<std::int32_t>(*port));
    }
    return ports;
}

} // namespace

VirtualBoardSettings readVirtualBoardSettings() {
    VirtualBoardSettings settings;
    if (const char* ports = std::getenv("TAVRO_VB_PORTS")) settings.ports = portList(ports);
    if (const char* busy = std::getenv("TAVRO_VB_BUSY")) settings.busyPorts = portList(busy);
    if (const char* models = std::getenv("TAVRO_VB_MODEL")) {
        for (std::string entry : fields(models)) {
            std::transform(entry.begin(), entry.end(), entry.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            const std::size_t colon = entry.find(':');
            const std::string name = colon == std::string::npos ? entry : entry.substr(colon + 1);
            const catalog::BoardLayout* board = catalog::findBoardLayout(name);
            if (board == nullptr) continue;
            if (colon == std::string::npos) {
                settings.board = board;
                continue;
            }
            const auto port = number(entry.substr(0, colon));
            if (port && *port > 0 && *port <= INT32_MAX)
                settings.boardByPort[static_cast<std::int32_t>(*port)] = board;
        }
    }
    if (const char* clock = std::getenv("TAVRO_VB_CLOCK")) {
        const auto value = number(clock);
        if (value && *value > 0 && *value <= UINT32_MAX)
            settings.clock = static_cast<std::uint32_t>(*value);
    }
    if (const char* masks = std::getenv("TAVRO_VB_MASKS")) {
        std::vector<std::uint8_t> values;
        for (const std::string& field : fields(masks)) {
            const auto value = number(field);
            if (value && *value > 0 && *value <= 0xFF)
                values.push_back(static_cast<std::uint8_t>(*value));
        }
        if (values.size() == 4) settings.masks = {values[0], values[1], values[2], values[3]};
    }
    if (const char* log = std::getenv("TAVRO_VB_LOG")) settings.logPath = log;
    if (const char* vgm = std::getenv("TAVRO_VB_VGM")) settings.vgmPath = vgm;
    if (const char* audio = std::getenv("TAVRO_VB_AUDIO")) settings.audioDevice = audio;
    if (const char* wav = std::getenv("TAVRO_VB_WAV")) settings.wavPath = wav;
    return settings;
}

} // namespace virtualboard
