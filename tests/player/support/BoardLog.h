// Test support: the virtual board's event log, one event per line:
// "<ms> <event> key=value ...". See tools/virtualboard/README.md.
#pragma once

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/PlayerLayout.h"

struct BoardEvent {
    double ms = 0;
    std::string name;
    std::map<std::string, std::string> fields;

    int number(const std::string& key) const { return std::stoi(fields.at(key), nullptr, 0); }
};

// A register write as it reached a chip.
struct BoardWrite {
    int position;
    int address;
    int data;
    bool operator==(const BoardWrite&) const = default;
};

inline std::vector<BoardEvent> readBoardLog(const std::filesystem::path& path) {
    std::vector<BoardEvent> events;
    for (const std::string& line : readLines(path)) {
        std::istringstream in(line);
        BoardEvent event;
        in >> event.ms >> event.name;
        for (std::string field; in >> field;) {
            const auto equals = field.find('=');
            if (equals != std::string::npos)
                event.fields[field.substr(0, equals)] = field.substr(equals + 1);
        }
        events.push_back(event);
    }
    return events;
}

inline BoardWrite writeOf(const BoardEvent& event) {
    return {event.number("pos"), event.number("addr"), event.number("data")};
}
