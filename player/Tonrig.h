// Tonrig: the emulated machine the sound driver runs on. A Z80 with 64 KiB of
// plain RAM, the sound hardware's ports (two OPM chips, one PSG, the CTC) and
// the CTC itself. The play loop loads the driver and the music data into
// memory, calls the driver's entries, and runs one CTC tick per host
// millisecond with tick(), which also runs the driver's interrupt routines.
//
// Differences from real hardware: the CTC is not clocked by instructions,
// interrupts are delivered between driver calls without consulting the CPU's
// interrupt state or mode, and no chip is ever read (their ports read 0xFF).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "player/Ctc.h"
#include "player/IExternalChip.h"
#include "z80/Z80Cpu.h"

class Tonrig : public Z80Cpu {
public:
    // Where the player puts things in memory.
    static constexpr std::uint16_t driverAddress = 0x1800;
    static constexpr std::uint16_t driverEntryWithData = 0x1803;
    static constexpr std::uint16_t driverEntryWithoutData = 0x180F;
    static constexpr std::uint16_t dataAddress = 0x4000;
    static constexpr std::uint16_t titleAddress = 0x4029;
    static constexpr std::size_t memorySize = 65536;

    Tonrig() = default;
    virtual ~Tonrig();

    std::uint8_t readByte(std::uint16_t address) override { return memory[address]; }
    void writeByte(std::uint16_t address, std::uint8_t value) override { memory[address] = value; }
    void portOut(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t portIn(std::uint16_t port) override;

    // Copies the whole file to memory from address on. False, with memory
    // unchanged, when the file cannot be read, is empty or does not fit below
    // the end of memory.
    bool loadImage(std::uint16_t address, const std::filesystem::path& path);

    // The data's title: the bytes from titleAddress up to the first zero, or
    // up to the end of memory when there is none.
    std::string_view title() const;

    // One CTC tick, then the driver's routines for the channels it reports.
    void tick() { deliverInterrupts(ctc.advance()); }

    // Runs the routine of channel 1 (vector + 2) when flag bit 1 is set, then
    // that of channel 3 (vector + 6) when flag bit 3 is set. Channels 0 and 2
    // never run one.
    void deliverInterrupts(std::uint8_t flags);

    std::uint8_t opm1Latch = 0;
    std::uint8_t opm2Latch = 0;
    std::uint8_t psgLatch = 0;
    // Borrowed; null when the chip is not available.
    IExternalChip* opm1 = nullptr;
    IExternalChip* opm2 = nullptr;
    IExternalChip* psg = nullptr;
    Ctc ctc;
    std::array<std::uint8_t, memorySize> memory{};

private:
    void runVectoredRoutine(std::uint8_t offset);
};
