// The die-shot-derived YM2151 emulator in ../shared/reference driven as a chip
// would be: an address write, then the data two phases later, the rest of the
// frame's 32 slot phases, and the DAC's two values read at the frame's end.
// Only when the tests are built with it (TONRIG_HAVE_OPM_ORACLE).
#pragma once

#ifdef TONRIG_HAVE_OPM_ORACLE
#include "Ym2151Streams.h"

#include <cstdint>
#include <vector>

#include "opm.h"

namespace ym2151test {

// The DAC's level for a channel sum: the sum as the chip's floating-point word
// (10-bit mantissa, exponent 1 + the shift that fits it), then
// ((m - 512) << e) >> 1, as the oracle reports it.
inline int dacLevel(int sum) {
    const unsigned magnitude = static_cast<unsigned>(sum < 0 ? ~sum : sum);
    unsigned width = 0;
    while ((magnitude >> width) != 0)
        ++width;
    const unsigned exponent = width > 9 ? width - 8 : 1;
    return ((sum >> (exponent - 1)) * (1 << exponent)) >> 1;
}

// The oracle's output, left and right per frame, for the stream's writes.
inline std::vector<std::int16_t> runOracle(const Stream& stream, std::uint32_t frames) {
    static opm_t chip; // large; one test runs at a time
    OPM_Reset(&chip, 0);
    std::int32_t value[2] = {0, 0};
    const auto clockPhases = [&](int calls) {
        for (int i = 0; i < calls; ++i)
            OPM_Clock(&chip, value, nullptr, nullptr, nullptr);
    };
    constexpr int phasesPerFrame = 32;
    constexpr int preRollFrames = 3;
    constexpr int dataAfterAddress = 2;
    clockPhases(preRollFrames * phasesPerFrame);
    std::vector<std::int16_t> out(frames * 2);
    std::size_t next = 0;
    for (std::uint32_t f = 0; f < frames; ++f) {
        int used = 0;
        while (next < stream.writes().size() && stream.writes()[next].frame == f) {
            OPM_Write(&chip, 0, stream.writes()[next].address);
            clockPhases(dataAfterAddress);
            OPM_Write(&chip, 1, stream.writes()[next].data);
            used += dataAfterAddress;
            ++next;
        }
        clockPhases(phasesPerFrame - used);
        out[2 * f] = static_cast<std::int16_t>(value[0]);
        out[2 * f + 1] = static_cast<std::int16_t>(value[1]);
    }
    return out;
}

} // namespace ym2151test
#endif
