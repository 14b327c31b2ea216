// Test support: a register sink that records every write a chip family
// sends, in order, and the chip's state (the last value of each register).
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "tavroplay/FamilyFactory.h"

struct SentWrite {
    std::uint16_t address;
    std::uint8_t data;
    bool operator==(const SentWrite&) const = default;
};

class RecordingSink : public tavroplay::RegisterSink {
public:
    void write(std::uint16_t address, std::uint8_t data) override {
        writes.push_back({address, data});
        state[address] = data;
    }
    // The last value sent to each register: the chip's state.
    std::map<std::uint16_t, std::uint8_t> state;
    std::vector<SentWrite> writes;
};
