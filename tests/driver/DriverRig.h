// DriverRig: the test bench for VELKAN.BIN. A Tonrig machine with the driver
// and a song loaded from the build tree (or a song given as bytes, or none),
// three chips that record every register write with the CTC tick it came
// in, and the player's own tick (CTC advance and interrupt delivery) to run
// time forward. The machine also notes every memory write that lands outside
// the driver's RAM and the stack.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player/Tonrig.h"

enum class Chip { Opm1, Opm2, Psg };

struct ChipWrite {
    Chip chip;
    int tick; // 0 while the entries run, then 1, 2, ... per CTC tick
    int reg;
    int value;
    bool operator==(const ChipWrite&) const = default;
};

// A chip that appends each write to a shared log.
class RecordingChip : public IExternalChip {
public:
    RecordingChip(Chip which, std::vector<ChipWrite>& log, const int& tick)
        : which_(which), log_(log), tick_(tick) {}
    ChipKind kind() override { return which_ == Chip::Psg ? ChipKind::Psg : ChipKind::Opm; }
    void finish() override {}
    int writeReg(int address, int data) override {
        log_.push_back({which_, tick_, address, data & 0xFF});
        return 0;
    }

private:
    Chip which_;
    std::vector<ChipWrite>& log_;
    const int& tick_;
};

// Tonrig that notes driver writes outside the driver's RAM and the stack.
class WatchedTonrig : public Tonrig {
public:
    static constexpr std::uint16_t ramBegin = 0xF000;
    static constexpr std::uint16_t ramEnd = 0xF100;
    static constexpr std::uint16_t stackBottom = 0xFF00;
    static constexpr std::uint16_t returnAddress = 0xFFFE;

    void writeByte(std::uint16_t address, std::uint8_t value) override;

    std::vector<std::uint16_t> strayWrites;
};

class DriverRig {
public:
    static std::filesystem::path image(const std::string& name);

    // Driver and, when given, the song file of that name from the build tree.
    explicit DriverRig(const std::optional<std::string>& song = std::nullopt);
    // Driver and a song given as bytes.
    explicit DriverRig(std::span<const std::uint8_t> song);

    // The player's start: 0x1800, then 0x1803 with a song or 0x180F without.
    // Records SP after each entry.
    void start();
    // Runs ticks CTC ticks through the player's tick.
    void run(int ticks);
    // Writes of one chip, optionally only those of a tick range [from, to).
    std::vector<ChipWrite> writesOf(Chip chip, int from = 0, int to = 1 << 30) const;

    WatchedTonrig machine;
    std::vector<ChipWrite> writes;
    std::vector<std::uint16_t> stackAfterEntries;
    bool loaded = false;
    int tick = 0;

private:
    void attachChips();

    bool withSong_ = false;
    RecordingChip opm1_{Chip::Opm1, writes, tick};
    RecordingChip opm2_{Chip::Opm2, writes, tick};
    RecordingChip psg_{Chip::Psg, writes, tick};
};
