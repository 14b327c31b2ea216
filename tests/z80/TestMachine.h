// The machine the CPU tests run on: 64 KiB of RAM, a record of every port
// access, and a helper that runs a piece of code followed by RET and reports
// what the code alone cost.
#pragma once

#include "z80/Z80Cpu.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

class TestMachine : public Z80Cpu {
public:
    static constexpr std::uint16_t origin = 0x1000;

    struct PortAccess {
        std::uint16_t port;
        std::uint8_t value;
        bool operator==(const PortAccess&) const = default;
    };

    // Cycles and R increments of one run, the closing RET excluded.
    struct Cost {
        std::uint32_t cycles;
        unsigned r;
    };

    void load(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes)
            memory[address++] = b;
    }

    // Runs code at origin followed by RET (10 cycles, one R increment).
    Cost run(std::initializer_list<std::uint8_t> code) {
        load(origin, code);
        memory[origin + code.size()] = 0xC9;
        return call(origin, 10, 1);
    }

    // Runs the routine at target as it is; the cost includes everything.
    Cost call(std::uint16_t target, std::uint32_t trailingCycles = 0, unsigned trailingR = 0) {
        const auto cyclesBefore = static_cast<std::uint32_t>(cycles);
        const std::uint8_t rBefore = R;
        callSubroutine(target);
        return {cyclesBefore - static_cast<std::uint32_t>(cycles) - trailingCycles,
                static_cast<std::uint8_t>(R - rBefore - trailingR)};
    }

    std::uint8_t readByte(std::uint16_t address) override {
        ++readCount[address];
        return memory[address];
    }
    void writeByte(std::uint16_t address, std::uint8_t value) override {
        memory[address] = value;
        writes.push_back(address);
    }
    void portOut(std::uint16_t port, std::uint8_t value) override {
        outputs.push_back({port, value});
    }
    std::uint8_t portIn(std::uint16_t port) override {
        inputs.push_back(port);
        return inputValue;
    }

    std::uint8_t a() const { return AF >> 8; }
    std::uint8_t f() const { return AF & 0xFF; }
    std::uint8_t b() const { return BC >> 8; }
    void setA(std::uint8_t v) { AF = static_cast<std::uint16_t>((AF & 0x00FF) | v << 8); }
    void setF(std::uint8_t v) { AF = static_cast<std::uint16_t>((AF & 0xFF00) | v); }

    std::array<std::uint8_t, 0x10000> memory{};
    std::array<unsigned, 0x10000> readCount{};
    std::vector<std::uint16_t> writes;
    std::vector<PortAccess> outputs;
    std::vector<std::uint16_t> inputs;
    std::uint8_t inputValue = 0;
};
