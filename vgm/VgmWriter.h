// Builds a VGM file (version 1.71, 44100 samples per second) of the register
// writes one board received, so that what was played can be heard with
// any VGM player. Each position's chip is written as its model in the catalog,
// or as its alternate model when the format has no commands for its own (the
// SSG, a YMZ294, as an AY-3-8910 at half the board clock); a third chip of one
// model does not fit the format. Writes the format cannot carry (SSG registers
// above 0x0F, addresses above the chip's ports) are left out; board resets are
// not recorded.
#pragma once

#include "soundif/catalog/BoardLayout.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vgm {

class VgmWriter {
public:
    static constexpr double sampleRate = 44100.0;

    VgmWriter(const catalog::BoardLayout& board, std::uint32_t boardClock);

    // Records a write at timeMs milliseconds after the start of the recording.
    // Times that go backwards are taken as the time already reached.
    void write(double timeMs, int position, std::uint16_t address, std::uint8_t data);

    // Ends the recording with silence up to endMs, when that is later than the
    // last write, and gives the complete file. Called once, after the last write.
    std::vector<std::uint8_t> finish(double endMs);

    // Samples recorded so far; after finish, the length of the file.
    std::uint64_t samples() const { return samples_; }

private:
    // How the writes of one chip position go into the file.
    struct Target {
        const catalog::ChipModel* model = nullptr; // null: not recorded
        bool second = false;                       // the model's second chip
        std::uint32_t clock = 0;
    };

    static void appendWait(std::vector<std::uint8_t>& out, std::uint64_t samples);
    static std::uint64_t sampleAt(double timeMs);

    std::array<Target, catalog::maxChipPlaces> targets_{};
    std::vector<std::uint8_t> commands_;
    std::uint64_t samples_ = 0;
};

} // namespace vgm
