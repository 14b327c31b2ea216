// A CP/M-like test machine for running instruction exercisers: 64 KiB of RAM,
// a program loaded at 0x0100 and a console that collects the text printed
// through BDOS functions 2 and 9.
//
// The BDOS entry at 0x0005 jumps to a stub near the top of memory whose
// OUT (0),A hands the call to portOut, where C, E and DE are read from the
// CPU; the word at 0x0006 (the stack top) therefore points at the stub. A warm
// boot (jump to 0x0000) jumps on to 0xFFFF, which ends the run like a return.
#pragma once

#include "z80/Z80Cpu.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class CpmMachine final : public Z80Cpu {
public:
    static constexpr std::uint16_t loadAddress = 0x0100;
    static constexpr std::uint16_t bdosStub = 0xFE00;

    // Loads the program; false when the file cannot be read or does not fit.
    bool load(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        if (!in.good() && !in.eof()) return false;
        if (bytes.empty() || bytes.size() > bdosStub - loadAddress) return false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            memory[loadAddress + i] = static_cast<std::uint8_t>(bytes[i]);
        }
        const std::uint8_t boot[] = {0xC3,         0xFF, 0xFF, 0x00, 0x00, 0xC3, bdosStub & 0xFF,
                                     bdosStub >> 8};
        std::copy(std::begin(boot), std::end(boot), memory.begin());
        const std::uint8_t stub[] = {0xD3, 0x00, 0xC9}; // OUT (0),A; RET
        std::copy(std::begin(stub), std::end(stub), memory.begin() + bdosStub);
        return true;
    }

    // Runs the program from 0x0100 until it boots back to 0x0000.
    void run() {
        SP = bdosStub;
        callSubroutine(loadAddress);
    }

    std::uint8_t readByte(std::uint16_t address) override { return memory[address]; }
    void writeByte(std::uint16_t address, std::uint8_t value) override { memory[address] = value; }
    void portOut(std::uint16_t port, std::uint8_t) override {
        if ((port & 0xFF) != 0) return;
        const std::uint8_t function = BC & 0xFF;
        if (function == 2) console += static_cast<char>(DE & 0xFF);
        if (function == 9) {
            for (std::uint16_t a = DE; memory[a] != '$'; ++a)
                console += static_cast<char>(memory[a]);
        }
    }

    std::array<std::uint8_t, 0x10000> memory{};
    std::string console;
};

// The exerciser from the shared test data: $TONRIG_SHARED/testdata, or the
// shared folder beside the source tree.
inline std::filesystem::path zexdocPath() {
    const char* shared = std::getenv("TONRIG_SHARED");
    const std::filesystem::path base =
        shared != nullptr ? std::filesystem::path(shared)
                          : std::filesystem::path(TONRIG_SOURCE_DIR) / ".." / "shared";
    return base / "testdata" / "zexdoc.com";
}
