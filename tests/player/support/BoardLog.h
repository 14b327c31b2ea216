// Test support: the virtual board's event log, one event per line:
// "<ms> <event> key=value ...". See tools/virtualboard/README.md.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/PlayerLayout.h"

#include <gtest/gtest.h>

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

inline std::size_t countOf(const std::vector<BoardEvent>& events, const char* name) {
    return static_cast<std::size_t>(std::count_if(
        events.begin(), events.end(), [name](const BoardEvent& e) { return e.name == name; }));
}

// A player's session on the board: opened once, every byte in bit-bang mode
// and every data phase with its address, and the last events a reset after
// the last register write, then the close.
inline void expectLeftInResetAndClosed(const std::vector<BoardEvent>& events) {
    EXPECT_EQ(countOf(events, "open"), 1u);
    EXPECT_EQ(countOf(events, "close"), 1u);
    EXPECT_EQ(countOf(events, "stray"), 0u);
    EXPECT_EQ(countOf(events, "ignored"), 0u);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().name, "close");
    const auto lastWrite = std::find_if(events.rbegin(), events.rend(),
                                        [](const BoardEvent& e) { return e.name == "write"; });
    const auto lastReset = std::find_if(events.rbegin(), events.rend(),
                                        [](const BoardEvent& e) { return e.name == "reset"; });
    ASSERT_NE(lastReset, events.rend());
    EXPECT_LT(lastReset, lastWrite) << "no reset after the last write";
    // The reset was a pulse: the chips were let out of it again.
    EXPECT_EQ(events.back().fields.count("reset"), 0u) << "the board is left held in reset";
}
