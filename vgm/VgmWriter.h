// Builds a VGM file (version 1.71, 44100 samples per second) of the register
// writes one board received, so that what was played can be heard with any
// VGM player. The board is an SSG at position 0, written as an AY-3-8910 at
// half the board clock (the YMZ294 is register compatible), and two FM chips
// at positions 1 and 2: two YM2151 (KX7M) or two YM2413 (TRQ05). Writes the format cannot carry
// (SSG registers above 0x0F, addresses with bit 8 set) are left out; board resets are not recorded.
#pragma once

#include <cstdint>
#include <vector>

namespace vgm {

class VgmWriter {
public:
    static constexpr double sampleRate = 44100.0;

    enum class FmPair { ym2151, ym2413 };

    VgmWriter(FmPair fm, std::uint32_t boardClock) : fm_(fm), clock_(boardClock) {}

    // Records a write at timeMs milliseconds after the start of the recording.
    // Times that go backwards are taken as the time already reached.
    void write(double timeMs, int position, std::uint16_t address, std::uint8_t data);

    // Ends the recording with silence up to endMs, when that is later than the
    // last write, and gives the complete file. Called once, after the last write.
    std::vector<std::uint8_t> finish(double endMs);

    // Samples recorded so far; after finish, the length of the file.
    std::uint64_t samples() const { return samples_; }

private:
    static void appendWait(std::vector<std::uint8_t>& out, std::uint64_t samples);
    static std::uint64_t sampleAt(double timeMs);

    FmPair fm_;
    std::uint32_t clock_;
    std::vector<std::uint8_t> commands_;
    std::uint64_t samples_ = 0;
};

} // namespace vgm
