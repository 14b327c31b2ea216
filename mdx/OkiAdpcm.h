// OkiAdpcm: the OKI 4-bit ADPCM decoder (the MSM6258's algorithm, as its
// data sheet gives it): each nibble moves a 12-bit sample by
// (2 x magnitude + 1) x step / 8, its top bit the sign, and moves the step
// through a 49-step table of about +10% a step (16 x 1.1^n, rounded down),
// down one for magnitudes 0-3 and up 2, 4, 6 or 8 for 4-7. PDX data holds the
// low nibble first. The output is kept within 12 bits, as the chip's DAC.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace mdx {

class OkiAdpcm {
public:
    static constexpr int stepCount = 49;
    static constexpr int sampleMaximum = 2047;
    static constexpr int sampleMinimum = -2048;

    static constexpr std::array<int, stepCount> steps = [] {
        std::array<int, stepCount> table{};
        constexpr double firstStep = 16.0;
        constexpr double growth = 1.1;
        double value = firstStep;
        for (int i = 0; i < stepCount; ++i) {
            table[static_cast<std::size_t>(i)] = static_cast<int>(value);
            value *= growth;
        }
        return table;
    }();

    void reset() {
        sample_ = 0;
        stepIndex_ = 0;
    }
    // One nibble in, one 12-bit sample out.
    int decode(unsigned nibble);
    // Every nibble of the bytes, low nibble first, appended to out.
    void decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out);

private:
    int sample_ = 0;
    int stepIndex_ = 0;
};

} // namespace mdx
